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

// Run quarn-report with arguments in directory; stdin from /dev/null unless
// input is given, stdout to a file unless stdoutPath names another target.
CommandResult RunQuarnReport(const std::vector<std::string>& arguments,
                             const std::string& directory,
                             const std::string& stdoutPath = "");

// The report the analyzer's writer makes when the session buffer holds these
// frames, stored as the capture stores them (at most 1514 bytes each), with
// time stamps cut to the file's resolution.
std::string AnalyzerReport(const std::vector<CapturedFrame>& frames, bool nanoseconds,
                           const std::string& directory);

// The report without its "Created" line, which tells the time of the run.
std::string WithoutCreatedLine(const std::string& report);

// A fresh directory, removed with everything in it by the destructor.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> Names() const;

private:
    std::string path_;
};
