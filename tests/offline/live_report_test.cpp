// quarn-report -i on the capture end of a private veth pair (root): its report
// is the report of its own capture file, that file is what tcpdump reads, and
// a capture stopped by a signal or a time limit still leaves both whole.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "filter/frame_filter.h"
#include "offline_test_support.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/require_live.h"

namespace {

using namespace std::chrono_literals;

// The frames of a capture file as tcpdump prints them in hexadecimal (-xx),
// one per frame, in file order.
std::vector<Bytes> TcpdumpFrames(const std::string& path)
{
    std::istringstream lines(quarn::test::CommandOutput("tcpdump -r '" + path + "' -nn -xx 2>/dev/null"));
    std::vector<Bytes> frames;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("\t0x", 0) != 0) {
            frames.emplace_back(); // a frame's header line
            continue;
        }
        if (frames.empty())
            break;
        const Bytes bytes = Hex(line.substr(line.find(':') + 1));
        frames.back().insert(frames.back().end(), bytes.begin(), bytes.end());
    }
    return frames;
}

class LiveReport : public testing::Test {
protected:
    void SetUp() override
    {
        QUARN_REQUIRE_LIVE();
        net = std::make_unique<quarn::test::LiveNet>();
        ASSERT_TRUE(net->Ready()) << net->Error();
    }
    // The report of a capture file, as quarn-report writes it from the file.
    static std::string ReportOf(const ScratchDirectory& dir, const std::string& file)
    {
        const CommandResult run = RunQuarnReport({file, "-o", ".from-file.txt"}, dir.path());
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        std::string report = ReadFile(dir / ".from-file.txt");
        std::remove((dir / ".from-file.txt").c_str());
        return report;
    }

    std::unique_ptr<quarn::test::LiveNet> net;
};

// Session mode, N = 100, 100 frames: the capture ends by itself; its report
// equals the report of its -w file, apart from the "Created" line, and tcpdump
// reads the same 100 frames, byte for byte, from that file. So it is for root
// and for an ordinary user in the capture group, who captures through the
// capture helper.
TEST_F(LiveReport, SessionReportIsTheReportOfItsCaptureFile)
{
    for (const bool member : {false, true}) {
        SCOPED_TRACE(member ? "a member of the capture group" : "root");
        ScratchDirectory dir;
        std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
        const std::vector<Bytes> frames = SendableFrames(100);
        CommandResult run;
        const auto capture = [&] {
            RunningReport running = CaptureWhileSending(
                {"-i", net->AdapterName(), "-c", "100", "-o", "live.txt", "-w", "live.pcap"}, dir.path(), *net, frames);
            run = FinishQuarnReport(running);
        };
        if (member)
            ASSERT_TRUE(quarn::test::RunAsOrdinaryUser({QUARN_CAPTURE_GID}, capture));
        else
            capture();
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_TRUE(run.err.ends_with("\nquarn-report: Received 100, kept 100, refused by the filters 0, lost 0\n"))
            << run.err;

        const std::string report = ReadFile(dir / "live.txt");
        EXPECT_EQ(CountOf(report, "--- Packet received:"), 100);
        EXPECT_EQ(WithoutCreatedLine(report), WithoutCreatedLine(ReportOf(dir, "live.pcap")));
        EXPECT_EQ(TcpdumpFrames(dir / "live.pcap"), frames);
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"live.pcap", "live.txt"}));
    }
}

// A continuous capture of 120 frames into 50 slots, ended by Ctrl-C, SIGTERM
// or --seconds: the report and the file hold the 50 newest frames in the
// report's order (from the first slot: 100 to 119, then 70 to 99). A second
// stop signal that comes while the capture ends costs nothing. A report that
// cannot be written does not cost the file. Any other ending signal ends the
// program and leaves neither output nor temporary.
TEST_F(LiveReport, EndingsOfAContinuousCapture)
{
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        int signal; // 0: none sent
        std::string output = "ring.txt";
        int second = 0; // sent with the first, both while the program is stopped
    } cases[] = {
        {"Ctrl-C", {}, SIGINT},
        {"SIGTERM", {}, SIGTERM},
        {"Ctrl-C and SIGTERM at once", {}, SIGINT, "ring.txt", SIGTERM},
        {"--seconds", {"--seconds", "1"}, 0},
        {"a full disk", {}, SIGINT, "/dev/full"},
        {"SIGHUP", {}, SIGHUP},
    };
    const std::vector<Bytes> frames = SendableFrames(120);
    std::vector<Bytes> newest(frames.begin() + 100, frames.end());
    newest.insert(newest.end(), frames.begin() + 70, frames.begin() + 100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDirectory dir;
        std::vector<std::string> arguments
            = {"-i", net->CaptureInterface(), "--ring", "50", "-o", c.output, "-w", "ring.pcap"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        RunningReport running = CaptureWhileSending(arguments, dir.path(), *net, frames);
        if (c.signal != 0) {
            std::this_thread::sleep_for(300ms); // the frames are in
            // It takes one when it goes on; the other is pending as the capture ends.
            if (c.second != 0)
                kill(running.pid, SIGSTOP);
            kill(running.pid, c.signal);
            if (c.second != 0) {
                kill(running.pid, c.second);
                kill(running.pid, SIGCONT);
            }
        }
        const CommandResult run = FinishQuarnReport(running);
        if (c.signal == SIGHUP) {
            EXPECT_EQ(run.signal, SIGHUP);
            EXPECT_EQ(dir.Names(), std::vector<std::string>{});
            continue;
        }
        EXPECT_TRUE(run.err.ends_with("\nquarn-report: Received 120, kept 120, refused by the filters 0, lost 0\n"))
            << run.err;
        EXPECT_EQ(FramesOf(dir / "ring.pcap"), newest);
        if (c.output == "/dev/full") {
            EXPECT_EQ(run.exitStatus, 1);
            EXPECT_NE(run.err.find("\nquarn-report: /dev/full: write error: No space left on device\n"),
                      std::string::npos)
                << run.err;
            EXPECT_EQ(dir.Names(), std::vector<std::string>{"ring.pcap"});
            continue;
        }
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        const std::string report = ReadFile(dir / "ring.txt");
        EXPECT_EQ(CountOf(report, "--- Packet received:"), 50);
        EXPECT_EQ(report.substr(report.size() - 82, 18), "*** End of file **");
        EXPECT_EQ(WithoutCreatedLine(report), WithoutCreatedLine(ReportOf(dir, "ring.pcap")));
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"ring.pcap", "ring.txt"}));
    }
}

// --filter1 and --filter2 are the capture's two slots: it keeps what the
// engine keeps with the same slots made field by field (without the window).
TEST_F(LiveReport, BothFilterOptionsJudgeTheCapture)
{
    std::vector<Bytes> frames = SendableFrames(30);
    std::copy_n(Hex("02 00 00 00 00 AA").begin(), 6, frames[0].begin() + 6);
    FrameFilter fromFirst, ipx;
    fromFirst.Enabled = fromFirst.MACSourceOn = true;
    std::copy_n(frames[0].begin() + 6, 6, fromFirst.MACSource);
    ipx.Enabled = ipx.ProtoIPX = true;
    PublishFilters(fromFirst, ipx);
    std::vector<Bytes> kept;
    for (const Bytes& frame : frames)
        if (AcceptFrame(PadTo(frame, 1514).data())) // as a receive buffer holds it
            kept.push_back(frame);
    // Each slot keeps frames the other does not.
    ASSERT_FALSE(PassesFilter(ipx, PadTo(frames[0], 1514).data()));
    ASSERT_GT(kept.size(), 1u);
    ASSERT_LT(kept.size(), frames.size());
    ScratchDirectory dir;
    RunningReport running
        = CaptureWhileSending({"-i", net->CaptureInterface(), "--ring", "100", "--seconds", "1", "-o", "report.txt",
                               "-w", "kept.pcap", "--filter1", "mac-src=02:00:00:00:00:aa", "--filter2", "ipx"},
                              dir.path(), *net, frames);
    const CommandResult run = FinishQuarnReport(running);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(FramesOf(dir / "kept.pcap"), kept);
}

// Held back (stopped) while a burst of full-size frames larger than its
// adapter's ring arrives, a capture really loses frames; its end line counts
// them exactly: lost = sent - received, the rest kept.
TEST_F(LiveReport, FramesLostWhileHeldBackAreCountedExactly)
{
    ScratchDirectory dir;
    RunningReport running
        = StartQuarnReport({"-i", net->CaptureInterface(), "--ring", "100", "-o", "/dev/null"}, dir.path());
    ASSERT_TRUE(CaptureStarted(running));
    kill(running.pid, SIGSTOP);
    const Bytes frame = PadTo(SendableFrames(1)[0], 1514);
    long long sent = 0;
    for (int n = 0; n < 50'000; ++n) // 64 MiB hold about 42,000 of them
        sent += net->Send(frame) ? 1 : 0;
    kill(running.pid, SIGCONT);
    std::this_thread::sleep_for(2s); // the ring is read empty
    kill(running.pid, SIGINT);
    const CommandResult run = FinishQuarnReport(running);
    ASSERT_EQ(run.exitStatus, 0) << run.err;

    std::smatch counts;
    ASSERT_TRUE(std::regex_search(run.err, counts,
                                  std::regex("\\nquarn-report: Received ([0-9,]+), kept ([0-9,]+), refused by the "
                                             "filters 0, lost ([0-9,]+)\\n$")))
        << run.err;
    const auto number = [&](int i) { return std::stoll(std::regex_replace(counts[i].str(), std::regex(","), "")); };
    EXPECT_GT(number(3), 0) << "the burst fitted the ring";
    EXPECT_EQ(number(3), sent - number(1));
    EXPECT_EQ(number(2), number(1));
}

// -D lists the adapters as the analyzer names them (here the capture end is
// the only one); a user outside the capture group is told in one line why -i
// cannot capture, and what to do, and no file is left.
TEST_F(LiveReport, AdaptersAndTheRightToCapture)
{
    ScratchDirectory dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    const CommandResult list = RunQuarnReport({"-D"}, dir.path());
    EXPECT_EQ(list.exitStatus, 0);
    EXPECT_EQ(list.out, net->AdapterName() + "\n");

    CommandResult refused;
    ASSERT_TRUE(quarn::test::RunAsOrdinaryUser(
        {}, [&] { refused = RunQuarnReport({"-i", net->CaptureInterface()}, dir.path()); }));
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.err, "quarn-report: " + net->AdapterName()
                               + ": not a member of quarn-capture: sudo adduser nobody quarn-capture, then log in "
                                 "again\n");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{});
}

} // namespace
