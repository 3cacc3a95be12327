// Helpers for the report and offline tests: the report output captured as
// text, a frame block's lines, the golden files, and frames stored into the
// session buffer. Frames are built with tests/support/frames.h, files with
// tests/support/scratch_files.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session/capture_time.h"
#include "tests/support/frames.h"
#include "tests/support/scratch_files.h"

using Lines = std::vector<std::string>;
inline const std::string kDumpHeader = "HEX data:" + std::string(51, ' ') + "ASCII data:";

// Everything write() sends to the report output, bytes as written.
std::string CaptureOutput(const std::function<void()>& write);
// The lines of a report text, each of which must end with CR LF.
Lines SplitCrLf(const std::string& text);
// The lines of one frame block between its header line and its separator; the
// stored length is the frame's size unless given.
Lines BlockBody(const Bytes& frame, int64_t storedLength = -1);
// The bytes a block's dump shows (the hex part of the lines after "HEX data:").
Bytes DumpedBytes(const Lines& block);

// A file of tests/report/golden, where the report's expected outputs are kept.
std::string GoldenFile(const std::string& name);
// A frame kept there as hex text with "#" comments.
Bytes ReadGoldenFrame(const std::string& name);

// Store the frame's first 1514 bytes into the session buffer's current slot and move on.
void StoreFrame(const Bytes& frame, CaptureTime time = {});
