#include "report_runs.h"

#include <algorithm>
#include <fcntl.h>
#include <pty.h>
#include <regex>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "report/report_writer.h"
#include "session/capture_time.h"
#include "session/session_buffer.h"

CommandResult RunQuarnReport(const std::vector<std::string>& arguments, const std::string& directory,
                             const std::string& stdoutPath, Terminal terminal) {
    const std::string outPath = directory + "/.stdout", errPath = directory + "/.stderr";
    int pty = -1, side = -1;
    if (terminal != Terminal::None && openpty(&pty, &side, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv{const_cast<char*>(QUARN_REPORT_BINARY)};
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        if (pty >= 0) close(pty);
        const int flags = O_WRONLY | O_CREAT | O_TRUNC;
        const int in = open("/dev/null", O_RDONLY);
        const int out = terminal == Terminal::Both ? side
                                                   : open((stdoutPath.empty() ? outPath : stdoutPath).c_str(), flags, 0644);
        const int err = terminal != Terminal::None ? side : open(errPath.c_str(), flags, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(directory.c_str()) != 0) _exit(127);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    CommandResult result;
    if (pty >= 0) {
        close(side);
        char chunk[4096];
        // Until EIO, once the child has closed its side.
        for (ssize_t got; (got = read(pty, chunk, sizeof chunk)) > 0;) result.err.append(chunk, static_cast<size_t>(got));
        close(pty);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (stdoutPath.empty() && terminal != Terminal::Both) result.out = ReadFile(outPath);
    if (terminal == Terminal::None) result.err = ReadFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

std::string AnalyzerReport(const std::vector<CapturedFrame>& frames, bool nanoseconds, const std::string& directory) {
    if (!SessionBuffer::Allocate(std::max<uint32_t>(1, static_cast<uint32_t>(frames.size())), false))
        throw std::runtime_error("session buffer not allocated");
    SessionBuffer::ClearCount();
    SessionBuffer::Rewind();
    for (const CapturedFrame& frame : frames) {
        timespec when = frame.when;
        if (!nanoseconds) when.tv_nsec = when.tv_nsec / 1000 * 1000;
        StoreFrame(frame.bytes, LocalCaptureTime(when));
    }
    const std::string path = directory + "/.analyzer-output.txt";
    StartReport(nullptr, path.c_str());
    WaitReportEnd();
    SessionBuffer::FreeAll();
    std::string report = ReadFile(path);
    std::remove(path.c_str());
    return report;
}

std::string WithoutCreatedLine(const std::string& report) {
    return std::regex_replace(report, std::regex("\\*   Created [^\r]*\r\n"), "", std::regex_constants::format_first_only);
}
