#include "report_runs.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "report/report_writer.h"
#include "session/capture_time.h"
#include "session/session_buffer.h"

namespace {

class DiscardingTextArea final : public ReportTextArea {
public:
    void ShowReportText(std::string) override {}
};

} // namespace

CommandResult RunQuarnReport(const std::vector<std::string>& arguments,
                             const std::string& directory, const std::string& stdoutPath) {
    const std::string outPath = directory + "/.stdout";
    const std::string errPath = directory + "/.stderr";
    const std::string target = stdoutPath.empty() ? outPath : stdoutPath;
    std::vector<char*> argv;
    std::string program = QUARN_REPORT_BINARY;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(directory.c_str()) != 0) _exit(127);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    CommandResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (stdoutPath.empty()) result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

std::string AnalyzerReport(const std::vector<CapturedFrame>& frames, bool nanoseconds,
                           const std::string& directory) {
    if (!SessionBuffer::Allocate(std::max<uint32_t>(1, static_cast<uint32_t>(frames.size())), false))
        throw std::runtime_error("session buffer not allocated");
    SessionBuffer::ClearCount();
    SessionBuffer::Rewind();
    for (const CapturedFrame& frame : frames) {
        const uint32_t length =
            std::min<uint32_t>(static_cast<uint32_t>(frame.bytes.size()), kFrameBufferSize);
        uint8_t* buffer = AllocateFrameBuffer();
        std::memcpy(buffer, frame.bytes.data(), length);
        timespec when = frame.when;
        if (!nanoseconds) when.tv_nsec = when.tv_nsec / 1000 * 1000;
        uint8_t* spare = SessionBuffer::CurrentFrame();
        SessionBuffer::Store(buffer, length, LocalCaptureTime(when));
        FreeFrameBuffer(spare);
        SessionBuffer::Advance();
    }
    const std::string path = directory + "/.analyzer-output.txt";
    DiscardingTextArea area;
    StartReport(&area, path.c_str());
    WaitReportEnd();
    SessionBuffer::FreeAll();
    std::string report = ReadFile(path);
    std::remove(path.c_str());
    return report;
}

std::string WithoutCreatedLine(const std::string& report) {
    // Banner line 3 is the only one that depends on when the report is made.
    size_t start = 0;
    for (int line = 0; line < 2; ++line) {
        start = report.find("\r\n", start);
        if (start == std::string::npos) return report;
        start += 2;
    }
    const size_t end = report.find("\r\n", start);
    if (end == std::string::npos || report.compare(start, 12, "*   Created ") != 0) return report;
    return report.substr(0, start) + report.substr(end + 2);
}

ScratchDirectory::ScratchDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quarn-report-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDirectory::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
