// The whole report run over a real session buffer: file, window text, status
// line, messages, and the count asked afresh before every frame.
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <latch>
#include <atomic>
#include <mutex>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "app/status.h"
#include "report/report_writer.h"
#include "report_test_support.h"
#include "session/session_buffer.h"
#include "tests/support/require_live.h"

namespace {

const std::string kEndLine = "*** End of file " + std::string(64, '*');

// Records what a run sends to the status line, the operator and the window
// (read once the writer thread has ended).
struct Recorder : StatusSeam, MessageSeam, ReportTextArea {
    void SetStatusText(std::string_view text) override { Add(statuses, text); }
    void SetSessionControlsEnabled(bool) override {}
    void SetFrameCounterText(std::string_view) override {}
    void ShowMessage(std::string_view text) override { Add(messages, text); }
    void ShowMessageBox(std::string_view text, std::string_view) override { Add(messages, text); }
    void RequestQuit() override {}
    void ShowReportText(std::string text) override
    {
        Add(shown, text);
        writingWhenShown = IsReportWriting();
    }
    void Add(Lines& list, std::string_view text)
    {
        std::lock_guard lock(mutex);
        list.emplace_back(text);
    }
    std::mutex mutex;
    Lines statuses, messages, shown;
    std::atomic<bool> writingWhenShown = false;
};

// Frames of an unknown type, each dump starting with its two-byte tag.
void StoreTaggedFrames(uint16_t first, uint16_t last)
{
    for (uint32_t tag = first; tag <= last; ++tag)
        StoreFrame(PadTo(
            Join({EthernetHeader(0x9000), Bytes{static_cast<uint8_t>(tag >> 8), static_cast<uint8_t>(tag)}}), 60));
}

// Tags of the frames a report lists, in order.
std::vector<uint16_t> ReportedTags(const std::string& report)
{
    std::vector<uint16_t> tags;
    const Lines lines = SplitCrLf(report);
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].rfind("HEX data:", 0) == 0)
            tags.push_back(
                static_cast<uint16_t>(std::stoul(lines[i + 1].substr(0, 2) + lines[i + 1].substr(3, 2), nullptr, 16)));
    return tags;
}

std::vector<uint16_t> Sequence(uint16_t first, uint16_t last)
{
    std::vector<uint16_t> tags;
    for (uint32_t tag = first; tag <= last; ++tag)
        tags.push_back(static_cast<uint16_t>(tag));
    return tags;
}

// A 64 KiB file system over a fresh directory (needs root), gone at the end.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& where) : where_(where)
    {
        mounted_ = mkdir(where.c_str(), 0700) == 0
            && mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted_)
            umount2(where_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }

private:
    std::string where_;
    bool mounted_ = false;
};

class ReportWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterStatusSeam(&recorder_);
        RegisterMessageSeam(&recorder_);
        SetReportClock([] {
            std::tm t{};
            t.tm_mday = 7, t.tm_mon = 2, t.tm_year = 99, t.tm_hour = 14, t.tm_min = 5;
            return t;
        });
        SessionBuffer::ClearCount();
    }
    void TearDown() override
    {
        WaitReportEnd();
        SetReportClock(nullptr);
        RegisterStatusSeam(nullptr);
        RegisterMessageSeam(nullptr);
        SessionBuffer::ClearCount();
        SessionBuffer::FreeAll();
    }
    // A whole run; returns the file.
    std::string Run()
    {
        StartReport(&recorder_, path_.c_str());
        WaitReportEnd();
        EXPECT_FALSE(IsReportWriting());
        return ReadFile(path_);
    }

    // A run of 5000 frames (about 2 MB of report) into a file where writing
    // fails with ENOSPC: it ends as any run ends, then tells which file failed
    // and why. Returns what the window showed.
    std::string RunIntoAFullFile(const std::string& path)
    {
        EXPECT_TRUE(SessionBuffer::Allocate(5000, false));
        SessionBuffer::Rewind();
        StoreTaggedFrames(0, 4999);
        StartReport(&recorder_, path.c_str());
        WaitReportEnd();
        EXPECT_FALSE(IsReportWriting());
        EXPECT_EQ(recorder_.statuses, (Lines{std::string(kStatusWriting), std::string(kStatusIdle)}));
        EXPECT_EQ(recorder_.messages, Lines{"Error writing file " + path + ": No space left on device"});
        EXPECT_EQ(recorder_.shown.size(), 1u);
        return recorder_.shown.empty() ? "" : recorder_.shown[0];
    }

    ScratchDirectory dir_;
    const std::string path_ = dir_ / "output.txt";
    Recorder recorder_;
};

TEST_F(ReportWriter, OneFrameReportFileWindowAndStatusLine)
{
    ASSERT_TRUE(SessionBuffer::Allocate(100, false));
    SessionBuffer::Rewind();
    StoreFrame(SynFrame(), {.minute = 41, .hour = 9, .hundredths = 25, .second = 7});

    // The worked example of a whole one-frame report: the SYN frame captured at
    // 9:41:07.25, reported on 7 March 1999 at 14:05.
    const std::string expected = ReadFile(GoldenFile("syn_report.txt"));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(Run(), expected);
    std::string shown;
    for (char c : expected)
        if (c != '\r')
            shown += c;
    EXPECT_EQ(recorder_.shown, Lines{shown});
    EXPECT_TRUE(recorder_.writingWhenShown) << "the window is filled before the flag drops";
    EXPECT_EQ(recorder_.statuses, (Lines{std::string(kStatusWriting), std::string(kStatusIdle)}));
    EXPECT_TRUE(recorder_.messages.empty());
}

TEST_F(ReportWriter, EmptyBufferGivesSixLinesAndReplacesAnOldFile)
{
    std::ofstream(path_, std::ios::binary) << std::string(100000, 'x');
    ASSERT_TRUE(SessionBuffer::Allocate(10, false));
    const Lines lines = SplitCrLf(Run());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "*   Created 07-03-1999 at 14:05                                                *");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], kEndLine);
}

// Session mode lists the frames in capture order; continuous mode starts at the
// first slot, which holds the oldest frame once the ring has wrapped, and lists
// only the counted frames (the last case reuses the wrapped ring, its later slots
// still holding older frames). A second run writes the same file.
TEST_F(ReportWriter, FramesInReadOrderEveryRun)
{
    const struct {
        bool continuous;
        uint16_t stored;
        std::vector<uint16_t> listed;
    } cases[] = {
        {false, 10, Sequence(1, 10)}, {true, 25, {21, 22, 23, 24, 25, 16, 17, 18, 19, 20}}, {true, 7, Sequence(1, 7)}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        if (i == 0 || c.continuous != cases[i - 1].continuous) {
            ASSERT_TRUE(SessionBuffer::Allocate(10, c.continuous));
        }
        SessionBuffer::ClearCount();
        SessionBuffer::Rewind();
        StoreTaggedFrames(1, c.stored);
        const std::string first = Run();
        EXPECT_EQ(ReportedTags(first), c.listed) << c.stored;
        EXPECT_EQ(Run(), first);
    }
    EXPECT_NE(Run().find("Assigned number: 00006 ---"), std::string::npos);
}

// A file that cannot be created, and a name that is no regular file (refused
// before it is opened: a FIFO would hold the window until someone read it),
// each give one message and nothing else; nothing lands in the FIFO.
TEST_F(ReportWriter, FileThatCannotBeCreatedShowsTheMessageAndNothingElse)
{
    ASSERT_TRUE(SessionBuffer::Allocate(10, false));
    const std::string fifo = dir_ / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); // a write lands instead of waiting
    ASSERT_EQ(symlink("/dev/full", path_.c_str()), 0);
    const std::string refused = ": is not a regular file; not written";
    const struct {
        std::string name, message;
    } cases[] = {
        {dir_ / "no-such-directory/output.txt", std::string(kErrorOpeningFile)},
        {fifo, "Error writing file " + fifo + refused},
        {path_, "Error writing file " + path_ + refused},
        {"/dev/null", "Error writing file /dev/null" + refused},
    };
    for (const auto& c : cases) {
        recorder_.messages.clear();
        StartReport(&recorder_, c.name.c_str());
        EXPECT_FALSE(IsReportWriting());
        WaitReportEnd();
        EXPECT_EQ(recorder_.messages, Lines{c.message});
    }
    EXPECT_TRUE(recorder_.statuses.empty());
    EXPECT_TRUE(recorder_.shown.empty());
    int pending = -1;
    EXPECT_TRUE(ioctl(reader, FIONREAD, &pending) == 0 && pending == 0) << "written into the FIFO";
    close(reader);
}

// The window shows the part of the report that landed on the full disk, the
// old report keeps its name, and no temporary is left.
TEST_F(ReportWriter, WriteErrorOnAFullFileSystemIsToldAfterTheRun)
{
    QUARN_REQUIRE_LIVE();
    SmallFileSystem small(dir_ / "small");
    ASSERT_TRUE(small.Mounted()) << std::strerror(errno);
    const std::string path = dir_ / "small/output.txt";
    WriteFile(path, std::string_view("old"));
    const std::string shown = RunIntoAFullFile(path);
    EXPECT_EQ(shown.rfind(std::string(80, '*') + "\n", 0), 0u);
    EXPECT_NE(shown.find("Assigned number: 00000"), std::string::npos);
    EXPECT_EQ(shown.find("*** End of file"), std::string::npos);
    EXPECT_TRUE(ReadFile(path) == "old") << "the old report was not kept";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "small"), {}), 1);
}

// A 5000-frame report, far larger than the output's buffer, arrives whole and in order.
TEST_F(ReportWriter, ProgramEndingDuringARunFinishesTheFile)
{
    ASSERT_TRUE(SessionBuffer::Allocate(5000, false));
    SessionBuffer::Rewind();
    StoreTaggedFrames(0, 4999);
    EXPECT_EXIT(
        {
            StartReport(nullptr, path_.c_str());
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const std::string report = ReadFile(path_);
    EXPECT_EQ(ReportedTags(report), Sequence(0, 4999));
    EXPECT_EQ(SplitCrLf(report).back(), kEndLine);
}

// The report goes into a pipe that the test leaves full until after Clear
// buffer: the writer is held mid-run, deterministically, while the count drops.
TEST_F(ReportWriter, ClearBufferDuringARunEndsTheFileWithItsEndLine)
{
    ASSERT_TRUE(SessionBuffer::Allocate(5000, false));
    SessionBuffer::Rewind();
    StoreTaggedFrames(0, 4999);
    ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);

    std::latch started(1), full(1), cleared(1);
    std::string received;
    std::thread reader([&] {
        const int fd = open(path_.c_str(), O_RDONLY);
        const int capacity = fcntl(fd, F_GETPIPE_SZ);
        int pending = 0;
        started.wait();
        // (Stop waiting if the run ends first; the checks below then fail.)
        while (ioctl(fd, FIONREAD, &pending) == 0 && pending < capacity && IsReportWriting())
            usleep(1000);
        full.count_down();
        cleared.wait();
        char chunk[65536];
        for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
            received.append(chunk, static_cast<size_t>(n));
        close(fd);
    });
    // Only a regular file is taken by name: the pipe is handed over opened.
    FileDestination pipe;
    std::string problem;
    EXPECT_TRUE(OpenFileDestination(path_, pipe, problem)) << problem;
    StartReport(&recorder_, std::move(pipe));
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
    EXPECT_EQ(tags, Sequence(0, static_cast<uint16_t>(tags.size() - 1)));
    const Lines lines = SplitCrLf(received);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Lines(lines.end() - 3, lines.end()), (Lines{std::string(80, '-'), "", kEndLine}));
    EXPECT_EQ(recorder_.statuses.back(), kStatusIdle);
}

} // namespace
