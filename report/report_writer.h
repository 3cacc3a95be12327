// The report writer: turns the frames held in the session buffer into the text
// report "output.txt" and hands the finished file to the output window.
//
// StartReport opens the file and writes the banner on the calling
// (user-interface) thread, then starts the writer thread, which writes one block
// per stored frame (asking the session buffer's count afresh before each), the
// end line, closes the file, reads it back and hands its text to the text area.
// The file is written beside its name and takes it only once whole
// (files/file_destination.h): a run that fails leaves an old report as it was.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "files/file_destination.h"

inline constexpr std::string_view kReportFileName = "output.txt";
inline constexpr std::string_view kErrorOpeningFile = "Error opening file...";
// Told after a run in which a write failed, and for a name that is refused
// (not a regular file, or planted by another user), followed by the file name,
// ": " and the reason.
inline constexpr std::string_view kErrorWritingFile = "Error writing file ";

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
// file..." through the operator-message seam, and nothing else happens; the
// same with kErrorWritingFile and the reason when the name is refused. When a
// write fails, the run stops there, ends as usual (window, flag, status line)
// and then tells the operator which file failed and why.
void StartReport(ReportTextArea* area, const char* fileName);
// The same run into an output already opened (a pipe, for a test to hold the
// writer); the writer thread commits or discards it.
void StartReport(ReportTextArea* area, FileDestination output);
// The same report written whole on the calling thread, to a descriptor the
// caller has opened and closes (the command-line capture's report): banner,
// one block per stored frame from the first slot, end line. Not while a
// capture runs or a report is being written. False when a write failed;
// ReportOutputError() tells why.
bool WriteSessionReport(int fd);
// True from a successful StartReport until the writer thread's last step.
bool IsReportWriting();
// Wait for a running writer thread to finish (tests, program exit).
void WaitReportEnd();
// The clock the banner's "Created" line reads (local date and time); null
// restores the real local time. Lets tests fix the banner.
void SetReportClock(std::tm (*clock)());
// "Error writing file output.txt: No space left on device" for reason ENOSPC.
std::string WriteErrorMessage(std::string_view fileName, int reason);
std::string WriteErrorMessage(std::string_view fileName, std::string_view problem);
// Status line: kStatusWriting when on, kStatusIdle when off.
void ShowReportStatus(bool on);
