// The main window's status line, its "Session" controls and its received-frames
// counter label, as the engine sees them.
//
// The capture thread, the report writer thread and the user-interface thread all
// change these. The engine never touches a widget: it calls the free functions
// below, which forward to the StatusSeam that the main window registers (the Qt
// side hands every call over to the user-interface thread, in order). Tests
// register a recorder instead.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::string_view kStatusIdle = "Status: Doing nothing...";
inline constexpr std::string_view kStatusAllocating = "Status: Allocating memory...";
inline constexpr std::string_view kStatusCapturing = "Status: Sniffing packets from network...";
inline constexpr std::string_view kStatusWriting = "Status: Creating output file output.txt...";

class StatusSeam {
public:
    virtual ~StatusSeam() = default;
    // Replace the single panel of the status line with text.
    virtual void SetStatusText(std::string_view text) = 0;
    // Enable or disable the six session controls (RadioGroup2, SpeedButton4,
    // SpeedButton5, Edit1, UpDown1, Label23, in this order) after setting the
    // "Session" group's font colour: window text when enabled, grey text when not.
    virtual void SetSessionControlsEnabled(bool enabled) = 0;
    // Show the received-frames counter label's text.
    virtual void SetFrameCounterText(std::string_view text) = 0;
};

// Install the seam (null: updates are dropped). Called once by the main window
// while it is built; safe to call from any thread.
void RegisterStatusSeam(StatusSeam* seam);

void ShowCaptureStatus(bool on);    // kStatusCapturing / kStatusIdle
void ShowAllocationStatus(bool on); // kStatusAllocating / kStatusIdle
void DisableSessionControls();
void EnableSessionControls();
// Write a status text: one of the four above (the report writer's
// ShowReportStatus uses it), or what an opened capture file held.
void SetStatusLine(std::string_view text);
// Show a counter value as decimal text ("%d").
void ShowFrameCounter(int32_t value);
