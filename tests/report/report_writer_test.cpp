// The whole report run over a real session buffer: file, window text, status
// line, messages, and the count asked afresh before every frame.
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <latch>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "app/status.h"
#include "report/report_writer.h"
#include "report_test_support.h"
#include "session/session_buffer.h"

namespace {

using Lines = std::vector<std::string>;

class RecordingStatus : public StatusSeam {
public:
    void SetStatusText(std::string_view text) override {
        std::lock_guard lock(mutex_);
        texts_.emplace_back(text);
    }
    void SetSessionControlsEnabled(bool) override {}
    void SetFrameCounterText(std::string_view) override {}
    Lines Texts() {
        std::lock_guard lock(mutex_);
        return texts_;
    }

private:
    std::mutex mutex_;
    Lines texts_;
};

class RecordingMessages : public MessageSeam {
public:
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ShowMessageBox(std::string_view text, std::string_view) override { messages.emplace_back(text); }
    void RequestQuit() override {}
    Lines messages;
};

class RecordingArea : public ReportTextArea {
public:
    void ShowReportText(std::string text) override {
        std::lock_guard lock(mutex_);
        texts_.push_back(std::move(text));
        writingWhenShown_ = IsReportWriting();
    }
    Lines Texts() {
        std::lock_guard lock(mutex_);
        return texts_;
    }
    bool WritingWhenShown() {
        std::lock_guard lock(mutex_);
        return writingWhenShown_;
    }

private:
    std::mutex mutex_;
    Lines texts_;
    bool writingWhenShown_ = false;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Store frame into the current slot's own buffer and move on.
void StoreFrame(const Bytes& frame, CaptureTime time = {}) {
    uint8_t* buffer = SessionBuffer::CurrentFrame();
    std::memcpy(buffer, frame.data(), frame.size());
    SessionBuffer::Store(buffer, static_cast<uint32_t>(frame.size()), time);
    SessionBuffer::Advance();
}

// A 60-byte frame of an unknown type whose dump starts with its two-byte tag.
Bytes TaggedFrame(uint16_t tag) {
    return PadTo(Join({EthernetHeader(0x9000), Bytes{static_cast<uint8_t>(tag >> 8), static_cast<uint8_t>(tag)}}),
                 60);
}

// Tags of the frames a report lists, in order, from the first dump line of each block.
std::vector<uint16_t> ReportedTags(const std::string& report) {
    std::vector<uint16_t> tags;
    const Lines lines = SplitCrLf(report);
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].rfind("HEX data:", 0) == 0)
            tags.push_back(static_cast<uint16_t>(std::stoul(lines[i + 1].substr(0, 2), nullptr, 16) << 8 |
                                                  std::stoul(lines[i + 1].substr(3, 2), nullptr, 16)));
    return tags;
}

const std::string kEndLine = "*** End of file " + std::string(64, '*');

class ReportWriter : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/quarn-report-writer-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        path_ = dir_ + "/output.txt";
        RegisterStatusSeam(&status_);
        RegisterMessageSeam(&messages_);
        SetReportClock([] { return WorkedExampleReportTime(); });
        SessionBuffer::ClearCount();
    }
    void TearDown() override {
        WaitReportEnd();
        SetReportClock(nullptr);
        RegisterStatusSeam(nullptr);
        RegisterMessageSeam(nullptr);
        SessionBuffer::ClearCount();
        SessionBuffer::FreeAll();
        unlink(path_.c_str());
        rmdir(dir_.c_str());
    }
    // A whole run; returns the file.
    std::string Run() {
        StartReport(&area_, path_.c_str());
        WaitReportEnd();
        EXPECT_FALSE(IsReportWriting());
        return ReadFile(path_);
    }

    std::string dir_, path_;
    RecordingStatus status_;
    RecordingMessages messages_;
    RecordingArea area_;
};

TEST_F(ReportWriter, OneFrameReportFileWindowAndStatusLine) {
    ASSERT_TRUE(SessionBuffer::Allocate(100, false));
    SessionBuffer::Rewind();
    StoreFrame(SynFrame(), WorkedExampleCaptureTime());

    EXPECT_EQ(Run(), kOneFrameReport);
    std::string shown = kOneFrameReport;
    for (size_t at; (at = shown.find("\r\n")) != std::string::npos;) shown.replace(at, 2, "\n");
    EXPECT_EQ(area_.Texts(), Lines{shown});
    EXPECT_TRUE(area_.WritingWhenShown()) << "the window is filled before the flag drops";
    EXPECT_EQ(status_.Texts(), (Lines{std::string(kStatusWriting), std::string(kStatusIdle)}));
    EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(ReportWriter, EmptyBufferGivesSixLinesAndReplacesAnOldFile) {
    {
        std::ofstream old(path_, std::ios::binary);
        old << std::string(100000, 'x');
    }
    ASSERT_TRUE(SessionBuffer::Allocate(10, false));
    const Lines lines = SplitCrLf(Run());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "*   Created 07-03-1999 at 14:05                                                *");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], kEndLine);
}

TEST_F(ReportWriter, SessionModeListsFramesInCaptureOrderEveryTime) {
    ASSERT_TRUE(SessionBuffer::Allocate(10, false));
    SessionBuffer::Rewind();
    for (uint16_t tag = 1; tag <= 10; ++tag) StoreFrame(TaggedFrame(tag));
    const std::string first = Run();
    EXPECT_EQ(ReportedTags(first), (std::vector<uint16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_NE(first.find("Assigned number: 00009 ---"), std::string::npos);
    EXPECT_EQ(Run(), first);
}

TEST_F(ReportWriter, ContinuousModeStartsAtTheFirstSlot) {
    ASSERT_TRUE(SessionBuffer::Allocate(10, true));
    SessionBuffer::Rewind();
    for (uint16_t tag = 1; tag <= 25; ++tag) StoreFrame(TaggedFrame(tag));
    EXPECT_EQ(ReportedTags(Run()), (std::vector<uint16_t>{21, 22, 23, 24, 25, 16, 17, 18, 19, 20}));

    SessionBuffer::ClearCount();
    SessionBuffer::Rewind();
    for (uint16_t tag = 1; tag <= 7; ++tag) StoreFrame(TaggedFrame(tag));
    EXPECT_EQ(ReportedTags(Run()), (std::vector<uint16_t>{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(ReportWriter, FileThatCannotBeCreatedShowsTheMessageAndNothingElse) {
    ASSERT_TRUE(SessionBuffer::Allocate(10, false));
    const std::string missing = dir_ + "/no-such-directory/output.txt";
    StartReport(&area_, missing.c_str());
    EXPECT_FALSE(IsReportWriting());
    WaitReportEnd();
    EXPECT_EQ(messages_.messages, Lines{std::string(kErrorOpeningFile)});
    EXPECT_TRUE(status_.Texts().empty());
    EXPECT_TRUE(area_.Texts().empty());
}

TEST_F(ReportWriter, ProgramEndingDuringARunFinishesTheFile) {
    ASSERT_TRUE(SessionBuffer::Allocate(5000, false));
    SessionBuffer::Rewind();
    for (uint16_t tag = 0; tag < 5000; ++tag) StoreFrame(TaggedFrame(tag));
    EXPECT_EXIT(
        {
            StartReport(nullptr, path_.c_str());
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const std::string report = ReadFile(path_);
    EXPECT_EQ(ReportedTags(report).size(), 5000u);
    EXPECT_EQ(SplitCrLf(report).back(), kEndLine);
}

// The report goes into a pipe that the test leaves full until after Clear
// buffer: the writer is held mid-run, deterministically, while the count drops.
TEST_F(ReportWriter, ClearBufferDuringARunEndsTheFileWithItsEndLine) {
    ASSERT_TRUE(SessionBuffer::Allocate(5000, false));
    SessionBuffer::Rewind();
    for (uint16_t tag = 0; tag < 5000; ++tag) StoreFrame(TaggedFrame(tag));
    ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);

    std::latch started(1), full(1), cleared(1);
    std::string received;
    std::thread reader([&] {
        const int fd = open(path_.c_str(), O_RDONLY);
        const int capacity = fcntl(fd, F_GETPIPE_SZ);
        int pending = 0;
        started.wait();
        // (Stop waiting if the run ends first; the checks below then fail.)
        while (ioctl(fd, FIONREAD, &pending) == 0 && pending < capacity && IsReportWriting()) usleep(1000);
        full.count_down();
        cleared.wait();
        char chunk[65536];
        ssize_t n;
        while ((n = read(fd, chunk, sizeof chunk)) > 0) received.append(chunk, static_cast<size_t>(n));
        close(fd);
        // Let the writer's read-back of the pipe see an empty file.
        close(open(path_.c_str(), O_WRONLY));
    });
    StartReport(&area_, path_.c_str());
    started.count_down();
    full.wait();
    EXPECT_TRUE(IsReportWriting());
    SessionBuffer::ClearCount();
    cleared.count_down();
    WaitReportEnd();
    reader.join();

    EXPECT_FALSE(IsReportWriting());
    const std::vector<uint16_t> tags = ReportedTags(received);
    ASSERT_GT(tags.size(), 0u);
    ASSERT_LT(tags.size(), 5000u);
    for (size_t i = 0; i < tags.size(); ++i) ASSERT_EQ(tags[i], i);
    const Lines lines = SplitCrLf(received);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], std::string(80, '-'));
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back(), kEndLine);
    EXPECT_EQ(status_.Texts().back(), kStatusIdle);
}

} // namespace
