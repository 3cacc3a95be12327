// The parts of a report: banner, one block per frame, end line. One code path
// for the analyzer's writer thread and the offline report command.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>

#include "session/capture_time.h"

// Banner lines 1 to 5; created is the local date and time of the run.
void WriteReportBanner(const std::tm& created);
// The local date and time now, as the banner's created.
std::tm LocalTimeNow();
// One frame block: header line, link-layer lines, decoder lines, dump,
// separator and empty line. frame holds the captured bytes (at most 1514);
// storedLength is the length as stored; number is the frame's place in the
// report, from 0. No byte outside frame is ever read.
void WriteFrameBlock(std::span<const uint8_t> frame, uint32_t storedLength, CaptureTime time, uint32_t number);
// "*** End of file " and 64 asterisks.
void WriteReportEnd();
