// Support for the window tests: operator messages recorded instead of shown,
// and the windows built the way the program builds them, reachable through
// their globals.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/messages.h"

struct RecordedMessage {
    std::string text;
    std::string caption;
};

// Installed for its lifetime; no modal box is ever shown.
class MessageRecorder : public MessageSeam {
public:
    MessageRecorder();
    ~MessageRecorder() override;
    void ShowMessage(std::string_view text) override;
    void ShowMessageBox(std::string_view text, std::string_view caption) override;
    void RequestQuit() override {}

    std::vector<RecordedMessage> messages;
    // Runs inside each message box, while it would be on screen.
    std::function<void()> whileShown;
};

// Form2 to Form6 created in the program's order, and deleted again; both
// filter slots cleared.
class Windows {
public:
    Windows();
    ~Windows();
};
