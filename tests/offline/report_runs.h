// Running the real quarn-report binary, and the report the analyzer's own
// writer makes of the same frames held in its session buffer.
#pragma once

#include <string>
#include <vector>

#include "capture_files.h"

struct CommandResult {
    int exitStatus = -1; // -1: did not exit normally
    std::string out;
    std::string err;
};

enum class Terminal { None, StandardError, Both };

// Run quarn-report with arguments in directory, standard input from /dev/null.
// Standard output goes to stdoutPath when given, else is returned in out. With
// a terminal, standard error (and standard output too, for Both) goes to a
// pseudo-terminal, and err is everything the terminal received.
CommandResult RunQuarnReport(const std::vector<std::string>& arguments, const std::string& directory,
                             const std::string& stdoutPath = "", Terminal terminal = Terminal::None);

// The report the analyzer's writer makes when the session buffer holds these
// frames, stored as the capture stores them (at most 1514 bytes each), with
// time stamps cut to the file's resolution.
std::string AnalyzerReport(const std::vector<CapturedFrame>& frames, bool nanoseconds,
                           const std::string& directory);

// The report without its "Created" line, which tells the time of the run.
std::string WithoutCreatedLine(const std::string& report);
