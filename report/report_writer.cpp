// The report run: banner on the calling thread, frame blocks on the writer
// thread, then the file read back into the text area.
#include "report/report_writer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <span>
#include <string>
#include <thread>

#include "app/messages.h"
#include "app/status.h"
#include "app/worker_threads.h"
#include "report/report_block.h"
#include "report/report_output.h"
#include "session/session_buffer.h"

namespace {

std::atomic<bool> writing{false};
// A run still going when the program ends is finished, not cut off: its end is
// WaitReportEnd.
std::thread writerThread;
ReportTextArea* textArea = nullptr;
std::string reportPath;
std::atomic<std::tm (*)()> clockOverride{nullptr};

std::tm BannerTime()
{
    if (auto clock = clockOverride.load())
        return clock();
    return LocalTimeNow();
}

// The file as the window shows it: lines split at CR LF, joined with '\n'.
// Only a regular file is read back, and only as far as it reached when opened:
// a pipe, a device such as /dev/full or a file someone keeps appending to
// would otherwise block or be read for ever. Anything else: an empty text.
std::string ReadBack(const std::string& path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return text;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return text;
    }
    text.resize(static_cast<size_t>(info.st_size));
    size_t used = 0;
    while (used < text.size()) {
        const ssize_t n = ::read(fd, text.data() + used, text.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        used += static_cast<size_t>(n);
    }
    text.resize(used);
    ::close(fd);
    // Drop the CR of every CR LF, in place.
    size_t out = 0;
    for (size_t in = 0; in < text.size();) {
        const size_t cr = text.find("\r\n", in);
        const size_t end = cr == std::string::npos ? text.size() : cr;
        if (out != in)
            std::memmove(&text[out], &text[in], end - in);
        out += end - in;
        in = cr == std::string::npos ? end : cr + 1; // keep the LF
    }
    text.resize(out);
    return text;
}

// One block per stored frame from the current slot on, then the end line.
void WriteStoredFrames()
{
    // The count is asked afresh before every frame: Clear buffer ends the list.
    // A failed write ends it too: nothing more would land.
    for (uint32_t n = 0; n < SessionBuffer::Count() && ReportOutputError() == 0; ++n) {
        const uint8_t* frame = SessionBuffer::CurrentFrame();
        const uint32_t length = SessionBuffer::CurrentLength();
        const std::span<const uint8_t> bytes
            = frame ? std::span<const uint8_t>(frame, std::min(length, kFrameBufferSize)) : std::span<const uint8_t>();
        WriteFrameBlock(bytes, length, SessionBuffer::CurrentTime(), n);
        SessionBuffer::Advance();
    }
    WriteReportEnd();
}

void WriteReportFrames()
{
    WriteStoredFrames();
    const bool written = CloseReportOutput();
    const int reason = ReportOutputError();
    // The window shows what landed, and the run ends as any run does.
    if (textArea)
        textArea->ShowReportText(ReadBack(reportPath));
    writing.store(false);
    ShowReportStatus(false);
    if (!written)
        ShowMessage(WriteErrorMessage(reportPath, reason));
}

} // namespace

void SetReportClock(std::tm (*clock)()) { clockOverride.store(clock); }

void StartReport(ReportTextArea* area, const char* fileName)
{
    RegisterWorkerEnd(WaitReportEnd);
    // A finished run's thread is joined before a new one starts.
    if (writerThread.joinable())
        writerThread.join();
    textArea = area;
    SessionBuffer::Rewind();
    if (!OpenReportOutput(fileName)) {
        ShowMessage(kErrorOpeningFile);
        return;
    }
    reportPath = fileName;
    ShowReportStatus(true);
    writing.store(true);
    WriteReportBanner(BannerTime());
    writerThread = std::thread(WriteReportFrames);
}

bool IsReportWriting() { return writing.load(); }

bool WriteSessionReport(int fd)
{
    SessionBuffer::Rewind();
    AttachReportOutput(fd);
    WriteReportBanner(BannerTime());
    WriteStoredFrames();
    return CloseReportOutput();
}

std::string WriteErrorMessage(std::string_view fileName, int reason)
{
    std::string message(kErrorWritingFile);
    message.append(fileName);
    message += ": ";
    message += std::strerror(reason);
    return message;
}

void WaitReportEnd()
{
    if (writerThread.joinable())
        writerThread.join();
}

void ShowReportStatus(bool on) { SetStatusLine(on ? kStatusWriting : kStatusIdle); }
