// The analyzer's own command line, run as a program: what it refuses ends it
// before any window is shown (a capture file it names is not even looked
// for), with one message and its exit status; Qt's options are taken before
// the program's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/window/analyzer_arguments.h"
#include "tests/support/command_run.h"
#include "tests/support/scratch_files.h"

namespace {

struct CommandLine {
    const char* what;
    std::vector<std::string> arguments;
    int exitStatus;
    std::string out;       // standard output, whole
    std::string errBegins; // standard error begins so
};

void PrintTo(const CommandLine& line, std::ostream* out) { *out << line.what; }

class AnalyzerCommandLineTest : public testing::TestWithParam<CommandLine> {};

TEST_P(AnalyzerCommandLineTest, EndsBeforeAnyWindowWithItsStatus)
{
    const CommandLine& line = GetParam();
    ScratchDirectory directory;
    // A window that opened by mistake would keep the program running: the
    // time limit ends it, and the status then tells.
    std::vector<std::string> arguments{"20", QUARN_ANALYZER_BINARY};
    arguments.insert(arguments.end(), line.arguments.begin(), line.arguments.end());
    // Qt warns on standard error without a runtime directory of the user's.
    const CommandResult result
        = RunCommand("/usr/bin/timeout", arguments, directory.path(),
                     {.environment = {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + directory.path()}});
    EXPECT_EQ(result.exitStatus, line.exitStatus) << result.err;
    EXPECT_EQ(result.out, line.out);
    EXPECT_EQ(result.err.substr(0, line.errBegins.size()), line.errBegins);
    EXPECT_EQ(result.err.empty(), line.errBegins.empty()) << result.err;
}

const std::string kHelp = std::string(kAnalyzerUsage) + "\n\n" + std::string(kAnalyzerHelp);
const std::string kUsage = std::string(1, '\n').append(kAnalyzerUsage).append("\n");

INSTANTIATE_TEST_SUITE_P(
    Refusals, AnalyzerCommandLineTest,
    testing::Values(
        CommandLine{"Help", {"--help"}, 0, kHelp, ""},
        CommandLine{"AdapterWithoutName", {"-i"}, 2, "", "analyzer: -i needs an adapter name" + kUsage},
        CommandLine{"QtTakesItsOptionsFirst",
                    {"-platform", "offscreen", "-i"},
                    2,
                    "",
                    "analyzer: -i needs an adapter name" + kUsage},
        CommandLine{"UnknownOption", {"--bogus=1"}, 2, "", "analyzer: unknown option --bogus" + kUsage},
        CommandLine{"EmptyAdapter", {"-i", ""}, 2, "", "analyzer: empty adapter name" + kUsage},
        CommandLine{"TwoAdapters", {"-i", "a", "-i", "b"}, 2, "", "analyzer: -i given more than once" + kUsage},
        CommandLine{
            "TwoCaptureFiles", {"a.pcap", "--", "b.pcap"}, 2, "", "analyzer: more than one capture file" + kUsage},
        CommandLine{"UnknownAdapter", {"-i", "nosuch0"}, 1, "", "analyzer: no adapter named nosuch0; "}),
    [](const testing::TestParamInfo<CommandLine>& info) { return info.param.what; });

} // namespace
