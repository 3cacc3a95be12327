#include "tests/app/window_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "capture/capture.h"
#include "report/report_writer.h"
#include "report/window/tform3.h"
#include "session/session_buffer.h"

namespace quarn::test {

void MessageRecorder::ShowMessage(std::string_view text)
{
    std::lock_guard lock(m_mutex);
    m_messages.push_back({std::string(text), std::string(kApplicationTitle)});
}

void MessageRecorder::ShowMessageBox(std::string_view text, std::string_view caption)
{
    std::lock_guard lock(m_mutex);
    m_messages.push_back({std::string(text), std::string(caption)});
}

void MessageRecorder::RequestQuit()
{
    std::lock_guard lock(m_mutex);
    ++m_quitRequests;
}

std::vector<RecordedMessage> MessageRecorder::Messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

int MessageRecorder::QuitRequests() const
{
    std::lock_guard lock(m_mutex);
    return m_quitRequests;
}

void MessageRecorder::Clear()
{
    std::lock_guard lock(m_mutex);
    m_messages.clear();
    m_quitRequests = 0;
}

RecordedMessage SimpleMessage(std::string_view text)
{
    return {std::string(text), std::string(kApplicationTitle)};
}

void FillSessionBuffer(uint32_t capacity, uint32_t count)
{
    SessionBuffer::ClearCount();
    if (!SessionBuffer::Allocate(capacity, false))
        std::abort();
    SessionBuffer::Rewind();
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* frame = AllocateFrameBuffer();
        const uint8_t bytes[14] = {0x02, 0, 0, 0, 0, 0x01, 0x02, 0, 0, 0, 0, static_cast<uint8_t>(i),
                                   0x88, 0xB5};
        std::fill(frame, frame + kFrameBufferSize, uint8_t{0});
        std::copy(std::begin(bytes), std::end(bytes), frame);
        uint8_t* previous = SessionBuffer::CurrentFrame();
        SessionBuffer::Store(frame, 60, CaptureTime{});
        FreeFrameBuffer(previous);
        SessionBuffer::Advance();
    }
}

void EmptySessionBuffer()
{
    SessionBuffer::ClearCount();
    SessionBuffer::FreeAll();
}

bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

TemporaryWorkingDirectory::TemporaryWorkingDirectory()
{
    m_previous = std::filesystem::current_path().string();
    std::string pattern = (std::filesystem::temp_directory_path() / "quarn-window-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    m_path = pattern;
    std::filesystem::current_path(m_path);
}

TemporaryWorkingDirectory::~TemporaryWorkingDirectory()
{
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int CountOf(const std::string& text, const std::string& needle)
{
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

ProgramWindows::ProgramWindows()
{
    Form1 = new TForm1;
    Form3 = new TForm3;
    Form7 = new TForm7;
}

ProgramWindows::~ProgramWindows()
{
    if (IsCapturing())
        StopCapture();
    WaitCaptureEnd();
    WaitReportEnd();
    QCoreApplication::processEvents();
    delete Form7;
    Form7 = nullptr;
    delete Form3;
    Form3 = nullptr;
    delete Form1;
    EmptySessionBuffer();
    ResetFrameCounter();
}

} // namespace quarn::test
