// The session buffer saved as a pcap file: read back with libpcap, it holds the
// stored frames in the report's order, whole, with their times to the
// nanosecond; a save that fails leaves no file and an old one untouched.
#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "files/save_capture.h"
#include "session/capture_time.h"
#include "session/session_buffer.h"
#include "tests/support/capture_files.h"
#include "tests/support/scratch_files.h"

// Every rename and every sync of a directory by the code under test, in order,
// as "rename NEW" and "fsync DIRECTORY": the test is linked with
// --wrap=rename,--wrap=fsync, which sends those calls here.
std::vector<std::string> fileEvents;

extern "C" int __real_rename(const char* from, const char* to);
extern "C" int __real_fsync(int fd);

extern "C" int __wrap_rename(const char* from, const char* to)
{
    const int result = __real_rename(from, to);
    if (result == 0)
        fileEvents.push_back(std::string("rename ") + to);
    return result;
}

extern "C" int __wrap_fsync(int fd)
{
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
        fileEvents.push_back("fsync " + std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)).string());
    return __real_fsync(fd);
}

namespace {

// Frame n: n in its first byte and throughout, 60 + 61 * n bytes long up to a
// full 1514, captured n seconds and n * 1,000,003 ns after 2023-11-14 22:13:20 UTC.
Bytes FrameNumber(uint32_t n) { return Bytes(std::min<size_t>(60 + 61 * n, kFrameBufferSize), uint8_t(n)); }
timespec MomentOf(uint32_t n) { return {1'700'000'000 + n, long(n) * 1'000'003}; }

class SaveCapture : public ::testing::Test {
protected:
    void TearDown() override
    {
        SessionBuffer::ClearCount();
        SessionBuffer::FreeAll();
    }
    // A continuous buffer of capacity slots after frames 1..stored were kept.
    void Fill(uint32_t capacity, uint32_t stored)
    {
        ASSERT_TRUE(SessionBuffer::Allocate(capacity, true));
        SessionBuffer::ClearCount();
        SessionBuffer::Rewind();
        for (uint32_t n = 1; n <= stored; ++n) {
            const Bytes frame = FrameNumber(n);
            uint8_t* buffer = SessionBuffer::CurrentFrame();
            std::copy(frame.begin(), frame.end(), buffer);
            SessionBuffer::Store(buffer, uint32_t(frame.size()), LocalCaptureTime(MomentOf(n)), MomentOf(n));
            SessionBuffer::Advance();
        }
    }
    ScratchDirectory directory;
};

TEST_F(SaveCapture, FramesReadBackInTheReportsOrderWholeAndToTheNanosecond)
{
    // 25 frames through 10 slots: the first slot holds frame 21, the report
    // reads 21..25, then 16..20.
    ASSERT_NO_FATAL_FAILURE(Fill(10, 25));
    std::string problem;
    fileEvents.clear();
    ASSERT_TRUE(SaveSessionCapture(directory / "saved.pcap", problem)) << problem;
    const ReadBackCapture saved = ReadCaptureFile(directory / "saved.pcap");
    ASSERT_EQ(saved.error, "");
    EXPECT_EQ(saved.linkType, DLT_EN10MB);
    EXPECT_EQ(saved.snapLength, int(kFrameBufferSize));
    const std::vector<uint32_t> order = {21, 22, 23, 24, 25, 16, 17, 18, 19, 20};
    ASSERT_EQ(saved.frames.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const CapturedFrame& frame = saved.frames[i];
        EXPECT_EQ(frame.bytes, FrameNumber(order[i])) << i;
        EXPECT_EQ(frame.wireLength, FrameNumber(order[i]).size()) << i;
        EXPECT_EQ(frame.when.tv_sec, MomentOf(order[i]).tv_sec) << i;
        EXPECT_EQ(frame.when.tv_nsec, MomentOf(order[i]).tv_nsec) << i;
    }
    EXPECT_EQ(directory.Names(), std::vector<std::string>{"saved.pcap"}) << "no temporary left";
    // The new name reaches the disk too: the directory is synced after the rename.
    EXPECT_EQ(fileEvents,
              (std::vector<std::string>{"rename " + directory / "saved.pcap",
                                        "fsync " + std::filesystem::canonical(directory.path()).string()}));

    // Only the stored frames: after Clear buffer there are none.
    SessionBuffer::ClearCount();
    ASSERT_TRUE(SaveSessionCapture(directory / "saved.pcap", problem)) << problem;
    const ReadBackCapture empty = ReadCaptureFile(directory / "saved.pcap");
    EXPECT_EQ(empty.error, "");
    EXPECT_TRUE(empty.frames.empty());
}

TEST_F(SaveCapture, AFailedSaveSaysWhyAndLeavesAnOldFileAsItWas)
{
    ASSERT_NO_FATAL_FAILURE(Fill(10, 10));
    WriteFile(directory / "old.pcap", Bytes{'o', 'l', 'd'});
    struct rlimit previous {};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const struct {
        std::string path;
        rlim_t fileSizeLimit; // 0: none
        std::string problem;
    } cases[] = {
        {directory / "old.pcap", 1000, "write error: File too large"},
        {directory / "missing/new.pcap", 0, "cannot create a file beside it: No such file or directory"},
        {directory.path(), 0, "is a directory"},
        {"/dev/full", 0, "is not a regular file; not written"},
    };
    for (const auto& c : cases) {
        struct rlimit limit = previous;
        if (c.fileSizeLimit != 0)
            limit.rlim_cur = c.fileSizeLimit;
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string problem;
        EXPECT_FALSE(SaveSessionCapture(c.path, problem)) << c.path;
        setrlimit(RLIMIT_FSIZE, &previous);
        EXPECT_EQ(problem, c.problem) << c.path;
    }
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(ReadFile(directory / "old.pcap"), "old");
    EXPECT_EQ(directory.Names(), std::vector<std::string>{"old.pcap"}) << "no temporary left";
}

} // namespace
