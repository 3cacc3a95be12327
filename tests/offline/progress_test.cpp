// The progress line: shown on a terminal for a large capture file, cleared at
// the end, and never mixed into the report or shown for small files.
#include <gtest/gtest.h>

#include <regex>

#include "offline_test_support.h"

namespace {

// Full-size frames whose IP header claims little payload: a file above the
// progress line's threshold (about 8.9 MB) whose report stays small.
void WriteLargeCapture(const std::string& path, size_t cutAtEnd = 0)
{
    CapturedFrame frame = MixedFrames()[0];
    frame.bytes.resize(1514, 0xEE);
    const Bytes file = PcapFile(std::vector<CapturedFrame>(5800, frame));
    WriteFile(path, Bytes(file.begin(), file.end() - static_cast<long>(cutAtEnd)));
}

TEST(ProgressLine, LargeFileShowsProgressAndClearsIt)
{
    ScratchDirectory dir;
    WriteLargeCapture(dir / "large");
    const CommandResult run
        = RunQuarnReport({"large", "-o", "report.txt"}, dir.path(), {.terminal = Terminal::StandardError});
    const std::string& shown = run.err;
    ASSERT_EQ(run.exitStatus, 0) << shown;
    EXPECT_EQ(shown.rfind("\rquarn-report: 0 frames, 0%", 0), 0u) << shown;
    // The last thing on the terminal blanks the line and returns the cursor.
    std::smatch last;
    ASSERT_TRUE(std::regex_search(shown, last, std::regex("\r(quarn-report: [^\r]*)\r( +)\r$"))) << shown;
    EXPECT_GE(last[2].length(), last[1].length());
    EXPECT_EQ(shown.find('\n'), std::string::npos);

    const std::string report = ReadFile(dir / "report.txt");
    EXPECT_EQ(report.find("quarn-report"), std::string::npos);
    EXPECT_NE(report.find("Assigned number: 05799 ---"), std::string::npos);
}

TEST(ProgressLine, ClearedBeforeAnErrorMessage)
{
    ScratchDirectory dir;
    WriteLargeCapture(dir / "large", 100); // cut in the last frame
    const CommandResult run = RunQuarnReport({"large"}, dir.path(), {.terminal = Terminal::StandardError});
    EXPECT_EQ(run.exitStatus, 1);
    const size_t message = run.err.find("quarn-report: large: reading stopped at frame 5799: ");
    ASSERT_NE(message, std::string::npos) << run.err;
    ASSERT_GT(message, 2u);
    EXPECT_EQ(run.err.substr(message - 2, 2), " \r") << "the progress line is blanked first";
}

TEST(ProgressLine, NotMixedIntoAReportOnTheSameTerminal)
{
    ScratchDirectory dir;
    WriteLargeCapture(dir / "large");
    const CommandResult run = RunQuarnReport({"large", "-o", "-"}, dir.path(), {.terminal = Terminal::Both});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.err.find("Assigned number: 05799 ---"), std::string::npos);
    EXPECT_EQ(run.err.find("quarn-report"), std::string::npos);
}

TEST(ProgressLine, SmallFileShowsNothing)
{
    ScratchDirectory dir;
    WriteFile(dir / "small", PcapFile(MixedFrames()));
    const CommandResult run = RunQuarnReport({"small"}, dir.path(), {.terminal = Terminal::StandardError});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 0);
}

} // namespace
