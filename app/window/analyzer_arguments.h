// The analyzer's command line, once Qt has taken its own options (-platform
// NAME, -style NAME, ...): -i ADAPTER chooses the adapter to capture on instead
// of the first, FILE is a capture file to open at start, --help explains.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kAnalyzerUsage = "usage: analyzer [-i ADAPTER] [FILE]";
inline constexpr std::string_view kAnalyzerHelp
    = "Capture the Ethernet frames seen by a network adapter into a session buffer,\n"
      "and write a decoded, human-readable report of them (output.txt), in the\n"
      "windows of Quarn Analyzer.\n"
      "\n"
      "  -i, --adapter ADAPTER  capture on ADAPTER, as quarn-report -D lists it\n"
      "                         (\\Device\\eth0) or by its interface name (eth0),\n"
      "                         instead of the first adapter\n"
      "  FILE                   open this pcap or pcapng capture file into the\n"
      "                         session buffer, as \"Open capture...\" does\n"
      "  -h, --help             show this help and exit\n"
      "\n"
      "Qt's own options, such as -platform NAME, are taken as well.\n"
      "\n"
      "Exit status: 0 when the main window is closed; 1 when ADAPTER does not\n"
      "exist, no adapter can be bound or there is no graphical session; 2 for\n"
      "a bad command line.\n";
// The exit statuses of a refused command line: an ADAPTER that is not listed,
// and a command line that cannot be read.
inline constexpr int kExitNoSuchAdapter = 1;
inline constexpr int kExitBadCommandLine = 2;

struct AnalyzerArguments {
    bool help = false;
    std::string adapter;     // as given: listed name or bare interface name; empty: the first
    std::string captureFile; // to open at start; empty: none
};

// Parse argv[1..argc-1]. On a bad command line returns false and sets problem
// to a short description (without the usage line).
bool ParseAnalyzerArguments(int argc, char** argv, AnalyzerArguments& arguments, std::string& problem);
// Whether --help or -h stands anywhere on the command line: help needs
// neither Qt nor a graphical session.
bool AsksForHelp(int argc, char** argv);
// The adapter-name list's name for given (listed or bare). When there is
// none, false with problem naming given, followed by the adapters that exist,
// one a line.
bool ChooseAdapter(const std::string& given, std::string& listed, std::string& problem);
