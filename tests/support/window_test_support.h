// Support for the window tests: operator messages recorded instead of shown, the
// windows built as the program builds them (reachable through their globals), and
// what the main window's tests need besides. Scratch files come with it.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <latch>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/messages.h"
#include "app/window/file_dialogs.h"
#include "report/report_writer.h"
#include "tests/support/scratch_files.h"

class QWidget;

// A window's control by the name its form gives it: those names are part of
// what the windows must have. A missing control, or one of another class,
// fails the test that asks for it.
template <class Control>
Control* Find(const QObject* window, const char* name)
{
    if (auto* control = window->findChild<Control*>(QString::fromLatin1(name)))
        return control;
    throw std::logic_error(std::string("no control ") + name);
}

struct RecordedMessage {
    std::string text;
    std::string caption;
    bool operator==(const RecordedMessage&) const = default;
};

// Installed for its lifetime; no modal box is ever shown.
class MessageRecorder : public MessageSeam {
public:
    MessageRecorder() { RegisterMessageSeam(this); }
    ~MessageRecorder() override { RegisterMessageSeam(nullptr); }
    void ShowMessage(std::string_view text) override { ShowMessageBox(text, kApplicationTitle); }
    void ShowMessageBox(std::string_view text, std::string_view caption) override;
    void RequestQuit() override { ++quitRequests; }

    std::vector<RecordedMessage> messages;
    int quitRequests = 0;
    // Runs inside each message box, while it would be on screen.
    std::function<void()> whileShown;

private:
    std::mutex m_mutex; // workers may report too
};

// Answers one file dialog ("Save capture as..." or "Open capture...") with a
// fixed file name (empty: cancelled) for its lifetime, counting the questions;
// the other dialog goes to the answer installed before, if any. No file dialog
// is ever shown.
class DialogAnswer : public FileDialogSeam {
public:
    DialogAnswer(FileDialog dialog, QString answer)
        : which(dialog), fileName(std::move(answer)), before(RegisterFileDialogSeam(this))
    {}
    ~DialogAnswer() override { RegisterFileDialogSeam(before); }
    QString AskFileName(QWidget* parent, FileDialog dialog) override
    {
        if (dialog != which)
            return before ? before->AskFileName(parent, dialog) : QString();
        ++asked;
        return fileName;
    }
    const FileDialog which;
    QString fileName;
    int asked = 0;

private:
    FileDialogSeam* const before;
};
struct SaveDialogAnswer : DialogAnswer {
    explicit SaveDialogAnswer(QString answer) : DialogAnswer(FileDialog::SaveCapture, std::move(answer)) {}
};
struct OpenDialogAnswer : DialogAnswer {
    explicit OpenDialogAnswer(QString answer) : DialogAnswer(FileDialog::OpenCapture, std::move(answer)) {}
};

// Holds the report writer in its last step until released, so a test can act
// while the writer certainly still runs.
struct HeldTextArea final : ReportTextArea {
    void ShowReportText(std::string) override
    {
        entered.count_down();
        released.wait();
    }
    std::latch entered{1}, released{1};
};

// The simple message dialog as the recorder sees it (caption: the title).
inline RecordedMessage SimpleMessage(std::string_view text)
{
    return {std::string(text), std::string(kApplicationTitle)};
}

// Form2 to Form6 created in the program's order, and deleted again; both filter
// slots cleared.
struct Windows {
    Windows();
    ~Windows();
};

// The seven windows built as the program builds them (Form1 binds the adapter
// of that listed name, or the first); torn down as the program ends, with the
// session buffer emptied.
struct ProgramWindows {
    explicit ProgramWindows(const std::string& adapter = {});
    ~ProgramWindows();
};

// A session-mode buffer of capacity slots holding count stored 60-byte frames.
void FillSessionBuffer(uint32_t capacity, uint32_t count);

// Every group box of the window as drawn: each control inside it lies clear of
// its frame lines and of its title, and the frame's top line stops short of the
// title on either side. Found in a picture of each box alone, without its controls.
void ExpectGroupBoxesClear(QWidget* window);

// The main window's "Session" group: enabled in window text, or (during a
// capture) disabled in grey while Start, Stop and Filters stay enabled.
void ExpectSessionGroup(bool enabled);
