// Operator messages, reached through a seam so that the engine shows them
// without a window toolkit and no test ever blocks on a modal box.
#pragma once

#include <string_view>

inline constexpr std::string_view kApplicationTitle = "Quarn Analyzer";

class MessageSeam {
public:
    virtual ~MessageSeam() = default;
    // The simple message dialog: the text, one "OK" button, no icon, captioned
    // with the application title. Returns when it has been dismissed.
    virtual void ShowMessage(std::string_view text) = 0;
    // The system message box with an explicit caption and an "OK" button.
    virtual void ShowMessageBox(std::string_view text, std::string_view caption) = 0;
    // Ask the application to end as soon as its message loop runs.
    virtual void RequestQuit() = 0;
};

// Install the seam (null: messages go to standard error, prefixed with their caption).
void RegisterMessageSeam(MessageSeam* seam);

void ShowMessage(std::string_view text);
void ShowMessageBox(std::string_view text, std::string_view caption);
void RequestQuit();
// True once RequestQuit has been called while no seam was installed.
bool QuitRequested();
