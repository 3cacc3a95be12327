// The report's output file and its line primitive.
//
// One report output is open at a time (the analyzer's writer thread, or the
// offline report command). Lines are built whole by the caller and written with
// CR LF; output is buffered and written in large pieces.
#pragma once

#include <string_view>

// Create (truncate) the file at path; false when it cannot be created.
bool OpenReportOutput(const char* path);
// Write to an already open descriptor (not closed by CloseReportOutput).
void AttachReportOutput(int fd);
// Write the text's bytes, then CR LF.
void WriteReportLine(std::string_view text);
// Flush and close; false when any write failed.
bool CloseReportOutput();
// The errno of the first write that failed since the output was opened (0:
// none). Once a write has failed nothing more is written, so a run can stop
// at once instead of decoding the rest for nothing.
int ReportOutputError();
