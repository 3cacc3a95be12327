// The Qt side of operator messages: modal message boxes and the quit request.
#pragma once

#include <QString>

#include "app/messages.h"

class QtMessageSeam final : public MessageSeam {
public:
    // The simple message dialog: no icon, captioned "Quarn Analyzer".
    void ShowMessage(std::string_view text) override;
    // The system message box with its own caption.
    void ShowMessageBox(std::string_view text, std::string_view caption) override;
    // Posted, so the program ends as soon as its message loop runs, even when
    // asked before the loop has started. The loop ends with status 1: the
    // program could not do its work.
    void RequestQuit() override;
};

// End the message loop, whatever windows are open. Qt's quit() would first ask
// every window to close and keep the loop running when one refuses, as the
// filter window does (its OK is the only way out).
void EndMessageLoop();

// The error box for an exception that escaped: stop icon, the application title
// as caption, the message followed by ".".
void ShowErrorBox(const QString& message);
