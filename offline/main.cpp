// quarn-report FILE [-o OUT]: the analyzer's report of a pcap or pcapng file.
#include <cstdio>
#include <string>

#include "files/output_signals.h"
#include "offline/offline_report.h"
#include "offline/report_arguments.h"

namespace {

constexpr const char* kHelp =
    "Write the Quarn Analyser report of every frame of a pcap or pcapng capture\n"
    "file of Ethernet frames, in the format of the analyzer's output.txt.\n"
    "\n"
    "  FILE              capture file to read (\"-\": standard input)\n"
    "  -o, --output OUT  report file (default: output.txt; \"-\": standard output)\n"
    "  -h, --help        show this help and exit\n"
    "      --version     show the version and exit\n"
    "\n"
    "Exit status: 0 when the report is written, 1 when the capture cannot be read\n"
    "to its end or the report cannot be written (an existing OUT is then left as it\n"
    "was), 2 for a bad command line or an OUT that is the capture file itself.\n";

} // namespace

int main(int argc, char** argv) {
    SetUpOutputSignals();
    ReportArguments arguments;
    std::string problem;
    if (!ParseReportArguments(argc, argv, arguments, problem)) {
        std::fprintf(stderr, "quarn-report: %s\n%s\n", problem.c_str(), kUsageLine.data());
        return kExitUsage;
    }
    switch (arguments.action) {
    case ReportArguments::Action::Help:
        std::printf("%s\n\n%s", kUsageLine.data(), kHelp);
        return std::fflush(stdout) == 0 ? kExitReported : kExitFailed;
    case ReportArguments::Action::Version:
        std::printf("%s\n", kVersionLine.data());
        return std::fflush(stdout) == 0 ? kExitReported : kExitFailed;
    case ReportArguments::Action::Report:
        break;
    }
    return WriteOfflineReport(arguments.input, arguments.output);
}
