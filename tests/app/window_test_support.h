// What the main window's tests share: an operator-message recorder, a session
// buffer filled without a capture, a private working directory for output.txt,
// and the program's windows built as the program builds them.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/messages.h"

namespace quarn::test {

struct RecordedMessage {
    std::string text;
    std::string caption;
    bool operator==(const RecordedMessage&) const = default;
};

// Records every operator message instead of showing a modal box.
class MessageRecorder final : public MessageSeam {
public:
    MessageRecorder() { RegisterMessageSeam(this); }
    ~MessageRecorder() override { RegisterMessageSeam(nullptr); }

    void ShowMessage(std::string_view text) override;
    void ShowMessageBox(std::string_view text, std::string_view caption) override;
    void RequestQuit() override;

    std::vector<RecordedMessage> Messages() const;
    int QuitRequests() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<RecordedMessage> m_messages;
    int m_quitRequests = 0;
};

// A simple message dialog as the recorder sees it (caption: the title).
RecordedMessage SimpleMessage(std::string_view text);

// Builds a session-mode buffer of capacity slots and stores count frames in it,
// as a capture would; frame i is 60 bytes with source MAC 02:00:00:00:00:<i>.
void FillSessionBuffer(uint32_t capacity, uint32_t count);
// Clears the count and releases the slots.
void EmptySessionBuffer();

// Runs the event loop until done() holds or timeoutMs pass; returns done().
bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// A fresh directory made current for the object's lifetime, removed afterwards.
class TemporaryWorkingDirectory {
public:
    TemporaryWorkingDirectory();
    ~TemporaryWorkingDirectory();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
};

std::string ReadFile(const std::string& path);
// Occurrences of needle in text.
int CountOf(const std::string& text, const std::string& needle);

// The program's windows, built in the program's order and reachable through
// Form1, Form3 and Form7, and torn down with no worker left running.
class ProgramWindows {
public:
    ProgramWindows();
    ~ProgramWindows();
};

} // namespace quarn::test
