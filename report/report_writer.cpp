// The report run: banner on the calling thread, frame blocks on the writer
// thread, then the file read back into the text area.
#include "report/report_writer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <span>
#include <string>
#include <thread>

#include "app/messages.h"
#include "app/status.h"
#include "app/worker_threads.h"
#include "files/file_destination.h"
#include "report/report_block.h"
#include "report/report_output.h"
#include "session/session_buffer.h"

namespace {

std::atomic<bool> writing{false};
// A run still going when the program ends is finished, not cut off: its end is
// WaitReportEnd.
std::thread writerThread;
ReportTextArea* textArea = nullptr;
// The run's file: opened on the user-interface thread, then the writer
// thread's alone, which commits it (or discards it after a failed write).
FileDestination output;
std::atomic<std::tm (*)()> clockOverride{nullptr};

std::tm BannerTime()
{
    if (auto clock = clockOverride.load())
        return clock();
    return LocalTimeNow();
}

// The report as the window shows it, read back from the run's new file before
// it takes its name, as far as it reached: lines split at CR LF, joined with
// '\n'. Output that is no regular file cannot be read back: an empty text.
std::string ReadBack(int fd)
{
    std::string text;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return text;
    text.resize(static_cast<size_t>(info.st_size));
    size_t used = 0;
    while (used < text.size()) {
        const ssize_t n = ::pread(fd, text.data() + used, text.size() - used, static_cast<off_t>(used));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        used += static_cast<size_t>(n);
    }
    text.resize(used);
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
    bool written = CloseReportOutput();
    std::string problem = written ? std::string() : std::strerror(ReportOutputError());
    // The window shows what landed, also when a failed run leaves the old file
    // in place, and the run ends as any run does.
    std::string text = ReadBack(output.fd);
    if (written)
        written = CommitFileDestination(output, problem);
    else
        DiscardFileDestination(output);
    if (textArea)
        textArea->ShowReportText(std::move(text));
    writing.store(false);
    ShowReportStatus(false);
    if (!written)
        ShowMessage(WriteErrorMessage(output.name, problem));
}

// A new run starts from the first slot, once a finished run's thread is joined.
void PrepareRun(ReportTextArea* area)
{
    RegisterWorkerEnd(WaitReportEnd);
    if (writerThread.joinable())
        writerThread.join();
    textArea = area;
    SessionBuffer::Rewind();
}

void BeginRun(FileDestination&& destination)
{
    output = std::move(destination);
    AttachReportOutput(output.fd);
    ShowReportStatus(true);
    writing.store(true);
    WriteReportBanner(BannerTime());
    writerThread = std::thread(WriteReportFrames);
}

} // namespace

void SetReportClock(std::tm (*clock)()) { clockOverride.store(clock); }

void StartReport(ReportTextArea* area, const char* fileName)
{
    PrepareRun(area);
    FileDestination destination;
    std::string problem;
    // A regular file only: a FIFO would hold the window until someone reads it.
    if (!OpenFileDestination(fileName, destination, problem, DirectOutput::Refused)) {
        ShowMessage(destination.refused ? WriteErrorMessage(fileName, problem) : std::string(kErrorOpeningFile));
        return;
    }
    BeginRun(std::move(destination));
}

void StartReport(ReportTextArea* area, FileDestination destination)
{
    PrepareRun(area);
    BeginRun(std::move(destination));
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
    return WriteErrorMessage(fileName, std::string_view(std::strerror(reason)));
}

std::string WriteErrorMessage(std::string_view fileName, std::string_view problem)
{
    std::string message(kErrorWritingFile);
    message.append(fileName);
    message += ": ";
    message.append(problem);
    return message;
}

void WaitReportEnd()
{
    if (writerThread.joinable())
        writerThread.join();
}

void ShowReportStatus(bool on) { SetStatusLine(on ? kStatusWriting : kStatusIdle); }
