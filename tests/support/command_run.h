// Runs of a command-line program as an operator would start them, for the
// tests of quarn-report and quarn-db.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CommandResult {
    int exitStatus = -1; // -1: did not exit normally
    int signal = 0;      // the signal that ended it, 0 if none
    std::string out, err;
};

enum class Terminal { None, StandardError, Both };

// How a program is started, beyond its arguments and working directory.
struct RunSetup {
    std::string stdinPath = "/dev/null"; // relative paths from the directory
    // Standard output goes to this file when given, else is returned in out.
    std::string stdoutPath = "";
    // With a terminal, standard error (and standard output too, for Both) goes
    // to a pseudo-terminal, and err is everything the terminal received.
    Terminal terminal = Terminal::None;
    uint64_t fileSizeLimit = 0;                // bytes (RLIMIT_FSIZE); 0: no limit
    std::vector<int> ignoredSignals = {};      // ignored when it starts, as under nohup
    std::vector<std::string> environment = {}; // "NAME=value", added to the test's own
};

struct RunningCommand {
    int pid = -1;
    int pty = -1;
    std::string directory;
    RunSetup setup;
};

// Start binary with arguments in directory, in the test's environment;
// FinishCommand waits for it. RunCommand does both.
RunningCommand StartCommand(const std::string& binary, const std::vector<std::string>& arguments,
                            const std::string& directory, const RunSetup& setup = {});
CommandResult FinishCommand(RunningCommand& run);
CommandResult RunCommand(const std::string& binary, const std::vector<std::string>& arguments,
                         const std::string& directory, const RunSetup& setup = {});
