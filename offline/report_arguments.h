// The command line of quarn-report: FILE [-o OUT], --help, --version.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kUsageLine = "usage: quarn-report FILE [-o OUT]";
inline constexpr std::string_view kVersionLine = "quarn-report 1.0";
inline constexpr std::string_view kDefaultOutput = "output.txt";

struct ReportArguments {
    enum class Action { Report, Help, Version };
    Action action = Action::Report;
    std::string input;                          // capture file; "-" reads standard input
    std::string output{kDefaultOutput};         // report file; "-" writes standard output
};

// Parse argv[1..argc-1]. On a bad command line returns false and sets problem
// to a short description (without the usage line).
bool ParseReportArguments(int argc, const char* const* argv, ReportArguments& arguments,
                          std::string& problem);
