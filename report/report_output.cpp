// The report's output: one open file (or attached descriptor) at a time, fed
// whole lines that are gathered in a large buffer and written with write(2) in
// big pieces.
#include "report/report_output.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

constexpr size_t kFlushAt = 256 * 1024;

int outputFd = -1;
bool ownsFd = false;
bool writeFailed = false;
std::string pending;

void WriteAll(const char* data, size_t size) {
    while (size > 0 && outputFd >= 0) {
        ssize_t done = ::write(outputFd, data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            writeFailed = true;
            return;
        }
        data += done;
        size -= static_cast<size_t>(done);
    }
}

void Flush() {
    WriteAll(pending.data(), pending.size());
    pending.clear();
}

void Begin(int fd, bool owns) {
    outputFd = fd;
    ownsFd = owns;
    writeFailed = false;
    pending.clear();
    pending.reserve(kFlushAt + 4096);
}

} // namespace

bool OpenReportOutput(const char* path) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    Begin(fd, true);
    return true;
}

void AttachReportOutput(int fd) { Begin(fd, false); }

void WriteReportLine(std::string_view text) {
    pending.append(text);
    pending.append("\r\n", 2);
    if (pending.size() >= kFlushAt) Flush();
}

bool CloseReportOutput() {
    Flush();
    if (ownsFd && outputFd >= 0 && ::close(outputFd) != 0) writeFailed = true;
    outputFd = -1;
    ownsFd = false;
    return !writeFailed;
}
