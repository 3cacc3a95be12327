// quarn-report, run as a program over capture files written here: its report
// equals the analyzer writer's report of the same frames, and failures leave
// no report that looks complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <regex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "offline_test_support.h"

namespace {

struct Format {
    const char* name;
    bool pcapng, nanoseconds;
};

class EveryFormat : public testing::TestWithParam<Format> {};

// The report equals the analyzer's report of the same frames, and its header
// lines show the time stamps in local time and the lengths as stored. TZ is five
// and a half hours east of UTC (see main): 03:41:07 UTC is 9:11:07. A file with
// no frames gives the banner and end line only.
TEST_P(EveryFormat, ReportEqualsTheAnalyzersReportOfTheSameFrames)
{
    ScratchDirectory dir;
    const std::vector<CapturedFrame> frames = MixedFrames();
    const Format& format = GetParam();
    const auto file = [&](const std::vector<CapturedFrame>& f) {
        return format.pcapng ? PcapngFile(f, format.nanoseconds) : PcapFile(f, format.nanoseconds);
    };
    WriteFile(dir / "capture", file(frames));

    const CommandResult run = RunQuarnReport({"capture", "-o", "report.txt"}, dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");

    const std::string report = ReadFile(dir / "report.txt");
    const std::string expected = AnalyzerReport(frames, format.nanoseconds, dir.path());
    EXPECT_EQ(CountOf(expected, "--- Packet received:"), static_cast<int>(frames.size()));
    EXPECT_EQ(WithoutCreatedLine(report), WithoutCreatedLine(expected));
    for (const char* header : {
             "--- Packet received:  9:11:07.25 --- Length: 0060 --- Assigned number: 00000 ---\r\n",
             "--- Packet received:  9:11:08.99 --- Length: 0074 --- Assigned number: 00002 ---\r\n",
             "--- Packet received: 10:03:20.00 --- Length: 0060 --- Assigned number: 00004 ---\r\n",
             "--- Packet received: 10:03:24.00 --- Length: 0010 --- Assigned number: 00009 ---\r\n",
             "--- Packet received: 10:03:25.07 --- Length: 1514 --- Assigned number: 00010 ---\r\n",
         })
        EXPECT_EQ(CountOf(report, header), 1) << header;

    WriteFile(dir / "empty", file({}));
    ASSERT_EQ(RunQuarnReport({"empty", "-o", "empty.txt"}, dir.path()).exitStatus, 0);
    const std::string empty = ReadFile(dir / "empty.txt");
    EXPECT_EQ(CountOf(empty, "\r\n"), 6);
    EXPECT_EQ(WithoutCreatedLine(empty), WithoutCreatedLine(AnalyzerReport({}, false, dir.path())));

    // Seconds are unsigned: 2^31 is 2038-01-19 03:14:08 UTC, 2^32 - 1 is
    // 2106-02-07 06:28:15 UTC.
    WriteFile(dir / "late", file({{SynFrame(), 0, {2147483648, 0}}, {SynFrame(), 0, {4294967295, 990'000'000}}}));
    ASSERT_EQ(RunQuarnReport({"late", "-o", "late.txt"}, dir.path()).exitStatus, 0);
    const std::string late = ReadFile(dir / "late.txt");
    EXPECT_EQ(CountOf(late, "--- Packet received:  8:44:08.00 --- Length: 0060 --- Assigned number: 00000 ---\r\n"), 1);
    EXPECT_EQ(CountOf(late, "--- Packet received: 11:58:15.99 --- Length: 0060 --- Assigned number: 00001 ---\r\n"), 1);
}

INSTANTIATE_TEST_SUITE_P(CaptureFormats, EveryFormat,
                         testing::Values(Format{"pcap_microseconds", false, false},
                                         Format{"pcap_nanoseconds", false, true},
                                         Format{"pcapng_microseconds", true, false},
                                         Format{"pcapng_nanoseconds", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QuarnReport, NumbersEveryFrameWithoutTheSessionLimit)
{
    ScratchDirectory dir;
    WriteFile(dir / "many", PcapFile(std::vector<CapturedFrame>(5002, MixedFrames()[9]))); // runts
    ASSERT_EQ(RunQuarnReport({"many"}, dir.path()).exitStatus, 0);
    const std::string report = ReadFile(dir / "output.txt");
    EXPECT_EQ(CountOf(report, "--- Packet received:"), 5002);
    EXPECT_EQ(CountOf(report, "Assigned number: 05001 ---\r\n"), 1);
    EXPECT_EQ(report.substr(report.size() - 82, 18), "*** End of file **");
}

// The default output is output.txt, whose banner tells the time of the run;
// "-o -" writes the same report to standard output and no file.
TEST(QuarnReport, DefaultOutputAndStandardOutput)
{
    ScratchDirectory dir;
    WriteFile(dir / "capture", PcapngFile(MixedFrames(), true));
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(RunQuarnReport({"capture"}, dir.path()).exitStatus, 0);
    const std::time_t after = std::time(nullptr);
    const std::string report = ReadFile(dir / "output.txt");
    std::smatch created;
    ASSERT_TRUE(std::regex_search(report, created,
                                  std::regex("\r\n(\\*   Created (\\d\\d-\\d\\d-\\d{4} at \\d\\d:\\d\\d) +\\*)\r\n")));
    EXPECT_EQ(created[1].length(), 80);
    auto format = [](std::time_t when) {
        char text[32];
        std::strftime(text, sizeof text, "%d-%m-%Y at %H:%M", std::localtime(&when));
        return std::string(text);
    };
    EXPECT_TRUE(created[2] == format(before) || created[2] == format(after)) << created[2];

    const CommandResult run = RunQuarnReport({"-o", "-", "capture"}, dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(WithoutCreatedLine(run.out), WithoutCreatedLine(report));

    // "-" reads the capture from standard input.
    const CommandResult fromInput = RunQuarnReport({"-", "-o", "input.txt"}, dir.path(), {.stdinPath = "capture"});
    ASSERT_EQ(fromInput.exitStatus, 0) << fromInput.err;
    EXPECT_EQ(WithoutCreatedLine(ReadFile(dir / "input.txt")), WithoutCreatedLine(report));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"capture", "input.txt", "output.txt"}));
}

// The report goes through a link to the file it replaces, which keeps its mode,
// and into a pipe, which stays a pipe.
TEST(QuarnReport, OutputThroughALinkOrIntoAPipe)
{
    ScratchDirectory dir;
    WriteFile(dir / "capture", PcapFile(MixedFrames()));
    const std::string expected = WithoutCreatedLine(AnalyzerReport(MixedFrames(), false, dir.path()));
    WriteFile(dir / "kept.txt", Bytes(100000, 'x')); // longer than the new report
    chmod((dir / "kept.txt").c_str(), 0640);
    ASSERT_EQ(symlink("kept.txt", (dir / "link.txt").c_str()), 0);
    ASSERT_EQ(RunQuarnReport({"capture", "-o", "link.txt"}, dir.path()).exitStatus, 0);
    struct stat st {};
    ASSERT_EQ(lstat((dir / "link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat((dir / "kept.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(WithoutCreatedLine(ReadFile(dir / "kept.txt")), expected);

    // A new OUT gets the mode a plain creation would give: 0666 less the umask.
    for (const mode_t mask : {022, 027, 077, 002}) {
        const mode_t before = umask(mask);
        const int status = RunQuarnReport({"capture", "-o", "new.txt"}, dir.path()).exitStatus;
        umask(before);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(stat((dir / "new.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask) << "umask " << std::oct << mask;
        std::remove((dir / "new.txt").c_str());
    }

    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(dir / "pipe"); });
    const CommandResult run = RunQuarnReport({"capture", "-o", "pipe"}, dir.path());
    reader.join();
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    ASSERT_EQ(lstat((dir / "pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(WithoutCreatedLine(received), expected);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"capture", "kept.txt", "link.txt", "pipe"}));
}

// OUT that is the capture being read, by its name, through a link or with the
// capture on standard input: refused in one line, status 2, nothing touched.
TEST(QuarnReport, RefusesToWriteOverTheCaptureBeingRead)
{
    const struct {
        std::vector<std::string> arguments;
        std::string stdinPath;
    } cases[] = {
        {{"capture", "-o", "capture"}, "/dev/null"},
        {{"capture", "-o", "link"}, "/dev/null"},
        {{"-", "-o", "capture"}, "capture"},
    };
    ScratchDirectory dir;
    const Bytes capture = PcapFile(MixedFrames());
    WriteFile(dir / "capture", capture);
    ASSERT_EQ(symlink("capture", (dir / "link").c_str()), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const CommandResult run = RunQuarnReport(c.arguments, dir.path(), {.stdinPath = c.stdinPath});
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_TRUE(std::regex_match(run.err, std::regex("quarn-report: [a-z]+: is the same file as [^\n]+\n")))
            << run.err;
        EXPECT_EQ(ReadFile(dir / "capture"), std::string(capture.begin(), capture.end()));
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"capture", "link"}));
    }
}

// On a full disk (here a file-size limit, whose SIGXFSZ is ignored) the run
// stops at the first failed write, says why in one line, names the first frame
// whose lines did not all land (found frames later, or at the last write),
// leaves the old report as it was and no temporary; decoded on one thread or
// on two, in blocks small enough that many are in flight.
TEST(QuarnReport, StopsAtTheFirstWriteError)
{
    ScratchDirectory dir;
    WriteFile(dir / "many", PcapFile(std::vector<CapturedFrame>(20000, MixedFrames()[9]))); // runts
    WriteFile(dir / "few", PcapFile(MixedFrames()));
    std::map<std::string, std::vector<size_t>> at; // where each frame's lines begin in a whole report, then the end
    for (const char* file : {"many", "few"}) {
        ASSERT_EQ(RunQuarnReport({file, "-o", "whole.txt"}, dir.path()).exitStatus, 0);
        const std::string whole = ReadFile(dir / "whole.txt");
        for (size_t i = whole.find("--- Packet"); i != std::string::npos; i = whole.find("--- Packet", i + 1))
            at[file].push_back(i);
        at[file].push_back(whole.find("*** End of file"));
        std::remove((dir / "whole.txt").c_str());
    }
    const struct {
        const char* what;
        const char* file;
        uint64_t limit; // bytes
        bool old;       // over an old report
    } cases[] = {
        {"inside a frame", "many", 100000, true},
        {"between frames 1999 and 2000", "many", at["many"][2000], false},
        {"between the banner and frame 0", "many", at["many"][0], false},
        {"inside the last piece", "few", at["few"][6] + 10, true},
        {"between frames 4 and 5, in the last piece", "few", at["few"][5], false},
    };
    for (const auto& c : cases)
        for (const char* jobs : {"1", "2"}) {
            SCOPED_TRACE(std::string(c.what) + ", -j " + jobs);
            if (c.old)
                WriteFile(dir / "report.txt", std::string_view("old"));
            // The first frame whose lines end past the limit.
            const std::vector<size_t>& starts = at[c.file];
            const auto stop = std::upper_bound(starts.begin() + 1, starts.end(), c.limit) - (starts.begin() + 1);
            const CommandResult run
                = RunQuarnReport({c.file, "-o", "report.txt", "-j", jobs}, dir.path(),
                                 {.fileSizeLimit = c.limit, .environment = {"QUARN_REPORT_BLOCK_FRAMES=5"}});
            EXPECT_EQ(run.exitStatus, 1);
            EXPECT_EQ(run.err,
                      "quarn-report: report.txt: write error: File too large (stopped at frame " + std::to_string(stop)
                          + ")\n");
            if (c.old) {
                EXPECT_EQ(ReadFile(dir / "report.txt"), "old");
                EXPECT_EQ(dir.Names(), (std::vector<std::string>{"few", "many", "report.txt"}));
                std::remove((dir / "report.txt").c_str());
            } else {
                EXPECT_EQ(dir.Names(), (std::vector<std::string>{"few", "many"}));
            }
        }

    // A failure that only close() reports (a network or quota file system
    // finding it late) fails the run too, and the old report stays.
    WriteFile(dir / "report.txt", std::string_view("old"));
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(std::string("-j ") + jobs);
        const CommandResult late = RunQuarnReport(
            {"few", "-o", "report.txt", "-j", jobs}, dir.path(),
            {.environment = {"LD_PRELOAD=" QUARN_CLOSE_FAILURE_SHIM, "QUARN_FAIL_CLOSE=/.report.txt.",
                             // The shim comes before the sanitizer's runtime.
                             std::string("ASAN_OPTIONS=verify_asan_link_order=0:") + (sanitizer ? sanitizer : "")}});
        EXPECT_EQ(late.exitStatus, 1);
        EXPECT_EQ(late.err, "quarn-report: report.txt: write error: Input/output error\n");
        EXPECT_EQ(ReadFile(dir / "report.txt"), "old");
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"few", "many", "report.txt"}));
    }
}

// Decoded on several threads, in blocks of a few frames so that many are in
// flight at once, the report is byte for byte the report decoded on one: every
// frame kept with the golden outputs and the mixed frames, many times over,
// numbered on and with time stamps that move on.
TEST(QuarnReport, EveryThreadCountWritesTheSameReport)
{
    std::vector<Bytes> kinds;
    for (const auto& entry : std::filesystem::directory_iterator(GoldenFile("")))
        if (entry.path().extension() == ".hex")
            kinds.push_back(ReadGoldenFrame(entry.path().filename()));
    ASSERT_GT(kinds.size(), 30u);
    for (const CapturedFrame& frame : MixedFrames())
        kinds.push_back(frame.bytes);
    std::vector<CapturedFrame> frames;
    for (long i = 0; i < 2000; ++i)
        frames.push_back(
            {kinds[static_cast<size_t>(i) % kinds.size()], 0, {1'000'000'000 + i * 7, i * 499'999 % 1'000'000'000}});
    ScratchDirectory dir;
    WriteFile(dir / "capture", PcapngFile(frames, true));

    const CommandResult one = RunQuarnReport({"capture", "-j", "1", "-o", "one.txt"}, dir.path());
    ASSERT_EQ(one.exitStatus, 0) << one.err;
    const std::string expected = WithoutCreatedLine(ReadFile(dir / "one.txt"));
    ASSERT_EQ(CountOf(expected, "--- Packet received:"), 2000);
    for (const char* jobs : {"2", "3"}) {
        for (const char* blockFrames : {"1", "7", "256"}) {
            SCOPED_TRACE(std::string("-j ") + jobs + ", blocks of " + blockFrames);
            const CommandResult run
                = RunQuarnReport({"capture", "--jobs", jobs, "-o", "many.txt"}, dir.path(),
                                 {.environment = {std::string("QUARN_REPORT_BLOCK_FRAMES=") + blockFrames}});
            ASSERT_EQ(run.exitStatus, 0) << run.err;
            EXPECT_EQ(run.err, "");
            const std::string report = WithoutCreatedLine(ReadFile(dir / "many.txt"));
            const auto [differ, _] = std::mismatch(report.begin(), report.end(), expected.begin(), expected.end());
            EXPECT_TRUE(report == expected) << "first difference at byte " << differ - report.begin() << " of "
                                            << report.size() << " (" << expected.size() << " expected)";
        }
    }
}

// The writing end of a pipe, once the command has opened the reading end (at
// most 10 s); -1 if it never does.
int OpenFeed(const std::string& path)
{
    for (int tries = 0; tries < 1000; ++tries, usleep(10'000)) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 && fcntl(fd, F_SETFL, 0) == 0)
            return fd;
        if (fd >= 0)
            close(fd);
    }
    return -1;
}

void Feed(int fd, const Bytes& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0);
        done += static_cast<size_t>(n);
    }
}

// Whether a temporary report appears within 10 s.
bool TemporaryAppears(const ScratchDirectory& dir)
{
    for (int tries = 0; tries < 1000; ++tries, usleep(10'000))
        for (const std::string& name : dir.Names())
            if (name.rfind(".report.txt.", 0) == 0)
                return true;
    return false;
}

// A signal that ends the program leaves no temporary behind. A signal ignored
// when the program started (as under nohup) stays ignored, and SIGPIPE and
// SIGXFSZ sent by kill change nothing: those runs complete; on one decoding
// thread or on two. The capture comes through a pipe held open by the test, so
// the signal lands mid-run.
TEST(QuarnReport, SignalsDuringARun)
{
    const struct {
        int signal;
        bool ignoredAtStart, ends;
    } cases[] = {
        {SIGHUP, false, true},  {SIGINT, false, true},  {SIGQUIT, false, true},  {SIGTERM, false, true},
        {SIGUSR1, false, true}, {SIGUSR2, false, true}, {SIGALRM, false, true},  {SIGVTALRM, false, true},
        {SIGPROF, false, true}, {SIGHUP, true, false},  {SIGPIPE, false, false}, {SIGXFSZ, false, false},
    };
    const std::vector<CapturedFrame> frames = MixedFrames();
    const Bytes file = PcapFile(frames);
    const long firstFrame = 24 + 16 + static_cast<long>(frames[0].bytes.size());
    for (const auto& c : cases)
        for (const char* jobs : {"1", "2"}) {
            SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.ignoredAtStart ? ", ignored at start" : "") + ", -j "
                         + jobs);
            ScratchDirectory dir;
            ASSERT_EQ(mkfifo((dir / "feed").c_str(), 0600), 0);
            RunSetup setup;
            if (c.ignoredAtStart)
                setup.ignoredSignals = {c.signal};
            RunningReport running = StartQuarnReport({"feed", "-o", "report.txt", "-j", jobs}, dir.path(), setup);
            const int feed = OpenFeed(dir / "feed");
            EXPECT_GE(feed, 0);
            if (feed >= 0) {
                Feed(feed, Bytes(file.begin(), file.begin() + firstFrame));
                EXPECT_TRUE(TemporaryAppears(dir));
                kill(running.pid, c.signal);
                if (!c.ends)
                    Feed(feed, Bytes(file.begin() + firstFrame, file.end()));
                close(feed);
            }
            const CommandResult run = FinishQuarnReport(running);
            if (c.ends) {
                EXPECT_EQ(run.signal, c.signal);
                EXPECT_EQ(dir.Names(), std::vector<std::string>{"feed"});
            } else {
                EXPECT_EQ(run.exitStatus, 0) << run.err;
                EXPECT_EQ(CountOf(ReadFile(dir / "report.txt"), "--- Packet received:"),
                          static_cast<int>(frames.size()));
                EXPECT_EQ(dir.Names(), (std::vector<std::string>{"feed", "report.txt"}));
            }
        }
}

// A capture that cannot be read to its end: one line naming the file (and the
// frame where reading stopped), status 1, the old report untouched, no
// temporary left behind.
struct BadCapture {
    const char* name;
    Bytes file;
    std::string mustTell;
};

std::vector<BadCapture> BadCaptures()
{
    const std::vector<CapturedFrame> frames = MixedFrames();
    const Bytes pcap = PcapFile(frames);
    const Bytes pcapng = PcapngFile(frames);
    // Offsets of frame 4 in the pcap file: 24-byte file header, 16-byte record headers.
    size_t frame4 = 24;
    for (int i = 0; i < 4; ++i)
        frame4 += 16 + frames[i].bytes.size();
    Bytes hugeRecord = pcap;
    std::fill_n(hugeRecord.begin() + static_cast<long>(frame4) + 8, 3, 0xFF); // captured length 0x7FFFFFFF
    hugeRecord[frame4 + 11] = 0x7F;
    return {
        {"truncated_in_frame_data", Bytes(pcap.begin(), pcap.begin() + frame4 + 16 + 20), "frame 4"},
        {"truncated_in_record_header", Bytes(pcap.begin(), pcap.begin() + frame4 + 7), "frame 4"},
        {"truncated_pcapng", Bytes(pcapng.begin(), pcapng.end() - 30), "frame 11"},
        {"corrupt_record_length", hugeRecord, "frame 4"},
        {"other_link_type", PcapFile(frames, false, kLinkLinuxCooked), "LINUX_SLL"},
        {"other_link_type_pcapng", PcapngFile(frames, false, kLinkLinuxCooked), "LINUX_SLL"},
        {"zero_bytes", {}, "bad"},
        {"not_a_capture", Bytes(200, 'A'), "bad"},
    };
}

TEST(QuarnReport, UnreadableCaptureLeavesOldReportAndNoTemporary)
{
    for (const BadCapture& bad : BadCaptures())
        for (const char* jobs : {"1", "2"}) {
            SCOPED_TRACE(std::string(bad.name) + ", -j " + jobs);
            ScratchDirectory dir;
            WriteFile(dir / "bad", bad.file);
            WriteFile(dir / "output.txt", Bytes{'o', 'l', 'd'});
            const CommandResult run
                = RunQuarnReport({"bad", "-j", jobs}, dir.path(), {.environment = {"QUARN_REPORT_BLOCK_FRAMES=2"}});
            EXPECT_EQ(run.exitStatus, 1);
            EXPECT_EQ(run.err.rfind("quarn-report: bad: ", 0), 0u) << run.err;
            EXPECT_EQ(CountOf(run.err, "\n"), 1) << run.err;
            EXPECT_EQ(run.err.back(), '\n');
            EXPECT_NE(run.err.find(bad.mustTell), std::string::npos) << run.err;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(ReadFile(dir / "output.txt"), "old");
            EXPECT_EQ(dir.Names(), (std::vector<std::string>{"bad", "output.txt"}));
        }
}

// Exit status and what each stream says, in a directory holding only a good
// capture, which must hold nothing else afterwards. Patterns are regular expressions.
TEST(QuarnReport, CommandLinesAndTheirErrors)
{
    const char* usage = "usage: quarn-report FILE \\[-o OUT\\] \\[-j N\\]\n";
    const struct {
        std::vector<std::string> arguments;
        std::string stdoutPath; // standard output to this instead of a file
        int status;
        std::string err, out;
    } cases[] = {
        {{"absent.pcap"}, "", 1, "^quarn-report: absent\\.pcap: ", "^$"},
        {{"capture", "-o", "no/such/dir/report.txt"}, "", 1, "^quarn-report: no/such/dir/report\\.txt: ", "^$"},
        {{"capture", "-o", "/dev/full"}, "", 1, "/dev/full", "^$"},
        {{"capture", "-o", "-"}, "/dev/full", 1, "write error", ""},
        {{}, "", 2, usage, "^$"},
        {{"a.pcap", "b.pcap"}, "", 2, usage, "^$"},
        {{"a.pcap", "-o"}, "", 2, usage, "^$"},
        {{"--bogus", "a.pcap"}, "", 2, usage, "^$"},
        {{"a.pcap", "-o", "x", "-o", "y"}, "", 2, usage, "^$"},
        {{"a.pcap", "-o", ""}, "", 2, usage, "^$"},
        {{"-o", "x"}, "", 2, usage, "^$"},
        {{"capture", "-j", "0"}, "", 2, "^quarn-report: -j needs a number of threads from 1 to 256, not \"0\"\n", "^$"},
        {{"capture", "--jobs", "257"},
         "",
         2,
         "^quarn-report: --jobs needs a number of threads from 1 to 256, not \"257\"\n",
         "^$"},
        {{"capture", "--jobs=2x"}, "", 2, "^quarn-report: --jobs needs a number of threads", "^$"},
        {{"capture", "-j", "-1"}, "", 2, "^quarn-report: -j needs a number of threads", "^$"},
        {{"capture", "-j"}, "", 2, "^quarn-report: -j needs a number\n", "^$"},
        {{"capture", "-j2", "-j", "2"}, "", 2, "^quarn-report: -j given more than once\n", "^$"},
        {{"capture", "--jobs=256", "-o", "-"}, "", 0, "^$", "Assigned number: 00011 ---\r\n"},
        // A live capture's options, refused before anything is captured.
        {{"-c", "10", "capture"}, "", 2, "^quarn-report: -c is for a live capture: it needs -i ADAPTER\n", "^$"},
        {{"capture", "--filter1", "ip"}, "", 2, "^quarn-report: --filter1 is for a live capture", "^$"},
        {{"-i", "eth0", "capture"}, "", 2, "^quarn-report: -i captures live: give no capture file with it\n", "^$"},
        {{"-i", "eth0", "-c", "0"},
         "",
         2,
         "^quarn-report: -c needs a number of frames from 1 to 5000, not \"0\"\n",
         "^$"},
        {{"-i", "eth0", "--ring", "5001"},
         "",
         2,
         "^quarn-report: --ring needs a number of frames from 1 to 5000",
         "^$"},
        {{"-i", "eth0", "-c", "10", "--ring", "10"}, "", 2, "^quarn-report: give one buffer size", "^$"},
        {{"-i", "eth0", "--seconds", "0"}, "", 2, "^quarn-report: --seconds needs a whole number", "^$"},
        {{"-i", "eth0", "--filter1", "mac-src=00:1a:2b:3c:4d"},
         "",
         2,
         "^quarn-report: --filter1: mac-src: Invalid MAC address",
         "^$"},
        {{"-i", "eth0", "--filter2", "ip,arp"}, "", 2, "^quarn-report: --filter2: arp: unknown item", "^$"},
        {{"-i", "eth0", "-w", "-", "-o", "-"},
         "",
         2,
         "^quarn-report: -o and -w cannot both write to standard output",
         "^$"},
        {{"-i", "eth0", "-w", "same", "-o", "same"}, "", 2, "^quarn-report: -o and -w name the same file\n", "^$"},
        {{"-i"}, "", 2, "^quarn-report: -i needs an adapter name\n", "^$"},
        {{"-i", "no-such-adapter0"},
         "",
         1,
         "^quarn-report: no adapter named no-such-adapter0 \\(quarn-report -D lists them\\)\n$",
         "^$"},
        {{"--help"}, "", 0, "^$", std::string("^") + usage},
        {{"--version"}, "", 0, "^$", "^quarn-report 1\\.0\n$"},
    };
    ScratchDirectory dir;
    WriteFile(dir / "capture", PcapFile(MixedFrames()));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const CommandResult run = RunQuarnReport(c.arguments, dir.path(), {.stdoutPath = c.stdoutPath});
        EXPECT_EQ(run.exitStatus, c.status);
        EXPECT_TRUE(std::regex_search(run.err, std::regex(c.err))) << run.err;
        EXPECT_TRUE(std::regex_search(run.out, std::regex(c.out))) << run.out;
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"capture"});
    }
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "a device must be written, never replaced";
}

} // namespace

int main(int argc, char** argv)
{
    // A zone with a half-hour offset, the same for this process and the command.
    setenv("TZ", "QRT-5:30", 1);
    tzset();
    signal(SIGPIPE, SIG_IGN); // a command that died early must not end the test feeding it
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
