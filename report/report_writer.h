// The report writer: turns the frames held in the session buffer into the text
// report "output.txt" and hands the finished file to the output window.
//
// StartReport opens the file and writes the banner on the calling
// (user-interface) thread, then starts the writer thread, which writes one block
// per stored frame (asking the session buffer's count afresh before each), the
// end line, closes the file, reads it back and hands its text to the text area.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

inline constexpr std::string_view kReportFileName = "output.txt";
inline constexpr std::string_view kErrorOpeningFile = "Error opening file...";

// The output window's text area, as the writer sees it.
class ReportTextArea {
public:
    virtual ~ReportTextArea() = default;
    // Replace the whole text with the report read back from disk, its lines
    // split at CR LF and joined with '\n'. Called on the writer thread.
    virtual void ShowReportText(std::string text) = 0;
};

// Start a report run (user-interface thread; not while a capture runs or a
// report is being written). When the file cannot be created: "Error opening
// file..." through the operator-message seam, and nothing else happens.
void StartReport(ReportTextArea* area, const char* fileName);
// True from a successful StartReport until the writer thread's last step.
bool IsReportWriting();
// Wait for a running writer thread to finish (tests, program exit).
void WaitReportEnd();
// The clock the banner's "Created" line reads (local date and time); null
// restores the real local time. Lets tests fix the banner.
void SetReportClock(std::tm (*clock)());
// Status line: kStatusWriting when on, kStatusIdle when off.
void ShowReportStatus(bool on);
