// quarn-report: the analyzer's report of a pcap or pcapng file (FILE [-o OUT]),
// or of a live capture without a desktop (-i ADAPTER ...).
#include <cstdio>
#include <string>

#include "files/output_signals.h"
#include "offline/adapter_list.h"
#include "offline/live_capture.h"
#include "offline/offline_report.h"
#include "offline/parallel_blocks.h"
#include "offline/report_arguments.h"

namespace {

constexpr const char* kHelp = "Write the Quarn Analyser report of every frame of a pcap or pcapng capture\n"
                              "file of Ethernet frames, in the format of the analyzer's output.txt; or\n"
                              "capture live on an adapter, as the analyzer does, and write its report.\n"
                              "\n"
                              "  FILE              capture file to read (\"-\": standard input)\n"
                              "  -o, --output OUT  report file (default: output.txt; \"-\": standard output)\n"
                              "  -j, --jobs N      decode the capture file's frames on N threads (1 to 256;\n"
                              "                    default: one per core this process may use); the report\n"
                              "                    is the same, 1 decodes on the one thread that writes\n"
                              "  -D, --list-adapters\n"
                              "                    list the adapters, as the analyzer names them, and exit\n"
                              "  -i, --adapter ADAPTER\n"
                              "                    capture on ADAPTER (as listed, or its interface name)\n"
                              "  -c, --session N   session mode: N slots (1 to 5000, default 100); the\n"
                              "                    capture ends by itself when they are full\n"
                              "      --ring N      continuous mode: keep the newest N frames (1 to 5000)\n"
                              "      --seconds S   end the capture after S seconds\n"
                              "      --filter1 SETTINGS, --filter2 SETTINGS\n"
                              "                    the filter window's Filter 1 and Filter 2, enabled\n"
                              "  -w, --write FILE  also save the kept frames as a pcap file (\"-\": standard\n"
                              "                    output)\n"
                              "  -h, --help        show this help and exit\n"
                              "      --version     show the version and exit\n"
                              "\n"
                              "A capture ends when the session is full, after --seconds, or on Ctrl-C or\n"
                              "SIGTERM; then the report and the -w file are written, and one line on\n"
                              "standard error gives the frames received, kept, refused by the filters and\n"
                              "lost. Capturing needs root or membership of the group quarn-capture.\n"
                              "\n"
                              "SETTINGS: items separated by commas, one for each control of a filter:\n"
                              "  mac-src=MAC, mac-dst=MAC    MAC addresses (twelve hexadecimal digits)\n"
                              "  ip-src=IP, ip-dst=IP        IP addresses (as 10.0.0.1)\n"
                              "  ipx-src=NODE, ipx-dst=NODE  IPX node addresses (as 00:1a:2b:3c:4d:5e)\n"
                              "  ip, tcp, udp, icmp, ipx, netbeui\n"
                              "                              the protocol boxes (tcp, udp, icmp tick ip)\n"
                              "for example --filter1 mac-src=00:1a:2b:3c:4d:5e,tcp,ip-dst=10.0.0.1\n"
                              "\n"
                              "Exit status: 0 when the report is written, 1 when the capture cannot be read\n"
                              "to its end or cannot run, or an output cannot be written (an existing one is\n"
                              "then left as it was), 2 for a bad command line or an output that is the\n"
                              "capture file itself.\n";

} // namespace

int main(int argc, char** argv)
{
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
    case ReportArguments::Action::ListAdapters:
        return ListAdapters();
    case ReportArguments::Action::Capture:
        return CaptureAndReport(arguments);
    case ReportArguments::Action::Report:
        break;
    }
    return WriteOfflineReport(arguments.input, arguments.output, arguments.jobs != 0 ? arguments.jobs : UsableCores());
}
