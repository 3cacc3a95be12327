// The report run: banner on the calling thread, frame blocks on the writer
// thread, then the file read back into the text area.
#include "report/report_writer.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <thread>

#include "app/messages.h"
#include "app/status.h"
#include "report/report_block.h"
#include "report/report_output.h"
#include "session/session_buffer.h"

namespace {

std::atomic<bool> writing{false};
std::thread writerThread;
ReportTextArea* textArea = nullptr;
std::string reportPath;
std::atomic<std::tm (*)()> clockOverride{nullptr};

std::tm LocalTimeNow() {
    if (auto clock = clockOverride.load()) return clock();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// The file as the window shows it: lines split at CR LF, joined with '\n'.
// Unreadable: an empty text.
std::string ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string text;
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text.push_back(raw[i]);
    }
    return text;
}

void WriteReportFrames() {
    // The count is asked afresh before every frame: Clear buffer ends the list.
    for (uint32_t n = 0; n < SessionBuffer::Count(); ++n) {
        const uint8_t* frame = SessionBuffer::CurrentFrame();
        const uint32_t length = SessionBuffer::CurrentLength();
        const std::span<const uint8_t> bytes =
            frame ? std::span<const uint8_t>(frame, std::min(length, kFrameBufferSize))
                  : std::span<const uint8_t>();
        WriteFrameBlock(bytes, length, SessionBuffer::CurrentTime(), n);
        SessionBuffer::Advance();
    }
    WriteReportEnd();
    CloseReportOutput(); // write errors are not reported; the window shows what landed
    if (textArea) textArea->ShowReportText(ReadBack(reportPath));
    writing.store(false);
    ShowReportStatus(false);
}

} // namespace

void SetReportClock(std::tm (*clock)()) { clockOverride.store(clock); }

void StartReport(ReportTextArea* area, const char* fileName) {
    // A finished run's thread is joined before a new one starts.
    if (writerThread.joinable()) writerThread.join();
    textArea = area;
    SessionBuffer::Rewind();
    if (!OpenReportOutput(fileName)) {
        ShowMessage(kErrorOpeningFile);
        return;
    }
    reportPath = fileName;
    ShowReportStatus(true);
    writing.store(true);
    WriteReportBanner(LocalTimeNow());
    writerThread = std::thread(WriteReportFrames);
}

bool IsReportWriting() { return writing.load(); }

void WaitReportEnd() {
    if (writerThread.joinable()) writerThread.join();
}

void ShowReportStatus(bool on) { SetStatusLine(on ? kStatusWriting : kStatusIdle); }
