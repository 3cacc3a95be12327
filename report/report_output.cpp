// The report's output: one attached descriptor at a time, fed whole lines that
// are gathered in a large buffer and written with write(2) in big pieces.
#include "report/report_output.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr size_t kFlushAt = 256 * 1024;

int outputFd = -1;
int writeError = 0;
std::string pending;
uint64_t taken = 0;  // bytes handed to the output since it was opened
uint64_t landed = 0; // of those, the bytes written to the file
// The lines of the frame blocks a decoding thread writes, when it collects them.
thread_local std::string* collected = nullptr;

// Returns how many bytes were written.
size_t WriteAll(const char* data, size_t size)
{
    const size_t whole = size;
    while (size > 0 && outputFd >= 0 && writeError == 0) {
        ssize_t done = ::write(outputFd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            // A write that takes nothing would be retried for ever.
            writeError = done < 0 ? errno : EIO;
            break;
        }
        data += done;
        size -= static_cast<size_t>(done);
        landed += static_cast<uint64_t>(done);
    }
    return whole - size;
}

void Flush()
{
    WriteAll(pending.data(), pending.size());
    pending.clear();
}

void Begin(int fd)
{
    outputFd = fd;
    writeError = 0;
    taken = 0;
    landed = 0;
    pending.clear();
    pending.reserve(kFlushAt + 4096);
}

} // namespace

void AttachReportOutput(int fd) { Begin(fd); }

void CollectReportLines(std::string* text) { collected = text; }

void WriteReportLine(std::string_view text)
{
    if (collected != nullptr) {
        collected->append(text);
        collected->append("\r\n", 2);
        return;
    }
    pending.append(text);
    pending.append("\r\n", 2);
    taken += text.size() + 2;
    if (pending.size() >= kFlushAt)
        Flush();
}

void WriteReportText(std::string_view text)
{
    taken += text.size();
    // Large pieces go straight out: copying them into the buffer gains nothing.
    if (pending.size() + text.size() < kFlushAt) {
        pending.append(text);
        return;
    }
    Flush();
    WriteAll(text.data(), text.size());
}

bool CloseReportOutput()
{
    Flush();
    outputFd = -1;
    return writeError == 0;
}

int ReportOutputError() { return writeError; }

uint64_t ReportBytesTaken() { return taken; }

uint64_t ReportBytesLanded() { return landed; }
