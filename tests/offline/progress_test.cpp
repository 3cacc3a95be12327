// The progress line: shown on a terminal for a large capture file, cleared at
// the end, and never mixed into the report or shown for small files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture_files.h"
#include "report_runs.h"

namespace {

// Run quarn-report with standard error (and standard output too, when asked)
// on a terminal; returns what the terminal received, and sets the exit status.
std::string StandardErrorOnTerminal(const std::vector<std::string>& arguments,
                                    const std::string& directory, int& exitStatus,
                                    bool outputToo = false) {
    int terminal = -1;
    int side = -1;
    if (openpty(&terminal, &side, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv{const_cast<char*>(QUARN_REPORT_BINARY)};
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(terminal);
        const int null = open("/dev/null", O_RDWR);
        if (null < 0 || chdir(directory.c_str()) != 0) _exit(127);
        dup2(null, STDIN_FILENO);
        dup2(outputToo ? side : null, STDOUT_FILENO);
        dup2(side, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(side);
    std::string received;
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(terminal, chunk, sizeof chunk);
        if (got <= 0) break; // EIO once the child has closed its side
        received.append(chunk, static_cast<size_t>(got));
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return received;
}

// Full-size frames whose IP header claims little payload: a file above the
// progress line's threshold whose report stays small.
void WriteLargeCapture(const std::string& path) {
    CapturedFrame frame = MixedFrames()[0];
    frame.bytes.resize(1514, 0xEE);
    WriteFile(path, PcapFile(std::vector<CapturedFrame>(5800, frame))); // about 8.9 MB
}

TEST(ProgressLine, LargeFileShowsProgressAndClearsIt) {
    ScratchDirectory dir;
    WriteLargeCapture(dir / "large");

    int status = -1;
    const std::string shown = StandardErrorOnTerminal({"large", "-o", "report.txt"}, dir.path(), status);
    ASSERT_EQ(status, 0) << shown;
    EXPECT_EQ(shown.rfind("\rquarn-report: 0 frames, 0%", 0), 0u) << shown;
    // The last thing on the terminal blanks the line and returns the cursor.
    const size_t lastLine = shown.rfind("\rquarn-report: ");
    ASSERT_NE(lastLine, std::string::npos);
    const size_t width = shown.find('\r', lastLine + 1) - lastLine - 1;
    ASSERT_EQ(shown.back(), '\r');
    const size_t blankStart = shown.rfind('\r', shown.size() - 2);
    const std::string blank = shown.substr(blankStart + 1, shown.size() - blankStart - 2);
    EXPECT_GE(blank.size(), width);
    EXPECT_EQ(blank.find_first_not_of(' '), std::string::npos) << blank;
    EXPECT_EQ(shown.find('\n'), std::string::npos);

    const std::string report = ReadFile(dir / "report.txt");
    EXPECT_EQ(report.find("quarn-report"), std::string::npos);
    EXPECT_NE(report.find("Assigned number: 05799 ---"), std::string::npos);
}

TEST(ProgressLine, ClearedBeforeAnErrorMessage) {
    ScratchDirectory dir;
    WriteLargeCapture(dir / "large");
    const std::string file = ReadFile(dir / "large");
    WriteFile(dir / "large", Bytes(file.begin(), file.end() - 100)); // cut in the last frame
    int status = -1;
    const std::string shown = StandardErrorOnTerminal({"large"}, dir.path(), status);
    EXPECT_EQ(status, 1);
    const size_t message = shown.find("quarn-report: large: reading stopped at frame 5799: ");
    ASSERT_NE(message, std::string::npos) << shown;
    ASSERT_GT(message, 2u);
    EXPECT_EQ(shown.substr(message - 2, 2), " \r") << "the progress line is blanked first";
}

TEST(ProgressLine, NotMixedIntoAReportOnTheSameTerminal) {
    ScratchDirectory dir;
    WriteLargeCapture(dir / "large");
    int status = -1;
    const std::string shown = StandardErrorOnTerminal({"large", "-o", "-"}, dir.path(), status, true);
    EXPECT_EQ(status, 0);
    EXPECT_NE(shown.find("Assigned number: 05799 ---"), std::string::npos);
    EXPECT_EQ(shown.find("quarn-report"), std::string::npos);
}

TEST(ProgressLine, SmallFileShowsNothing) {
    ScratchDirectory dir;
    WriteFile(dir / "small", PcapFile(MixedFrames()));
    int status = -1;
    EXPECT_EQ(StandardErrorOnTerminal({"small"}, dir.path(), status), "");
    EXPECT_EQ(status, 0);
}

} // namespace
