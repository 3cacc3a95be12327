// The report's output file and its line primitive.
//
// One report output is open at a time (the analyzer's writer thread, or the
// offline report command). Lines are built whole by the caller and written with
// CR LF; output is buffered and written in large pieces. A thread that decodes
// frame blocks for another to write (quarn-report -j) collects its lines in
// memory instead; the writing thread then hands them on with WriteReportText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Write to an open descriptor (not closed by CloseReportOutput).
void AttachReportOutput(int fd);
// Write the text's bytes, then CR LF.
void WriteReportLine(std::string_view text);
// From now on the calling thread's lines are appended to text (with CR LF)
// instead of going to the output; null sends them to the output again.
void CollectReportLines(std::string* text);
// Write collected lines, after any buffered ones.
void WriteReportText(std::string_view text);
// Flush and detach; false when any write failed.
bool CloseReportOutput();
// The errno of the first write that failed since the output was opened (0:
// none). Once a write has failed nothing more is written, so a run can stop
// at once instead of decoding the rest for nothing.
int ReportOutputError();
// Bytes handed to the output since it was opened (buffered or written, and
// also those a failed write kept from the file), and how many of them reached
// the file: a failed write stops the report at the first byte not landed.
uint64_t ReportBytesTaken();
uint64_t ReportBytesLanded();
