// Helpers for the report tests: frames built from the bytes the report prints,
// and the report output captured as text.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "session/capture_time.h"

using Bytes = std::vector<uint8_t>;

// "02 00 0A" -> {0x02, 0x00, 0x0A}; blanks and line breaks are ignored.
Bytes Hex(std::string_view text);
// Concatenation of pieces.
Bytes Join(std::initializer_list<Bytes> pieces);
// frame padded with zero bytes to size.
Bytes PadTo(Bytes frame, size_t size);
// Ethernet header with the worked examples' addresses and the given type/length.
Bytes EthernetHeader(uint16_t typeOrLength, std::string_view destination = "02 00 00 11 22 33",
                     std::string_view source = "02 00 00 44 55 66");

// Everything write() sends to the report output, bytes as written.
std::string CaptureOutput(const std::function<void()>& write);
// The lines of a report text, each of which must end with CR LF.
std::vector<std::string> SplitCrLf(const std::string& text);
// Lines joined with CR LF after each.
std::string JoinCrLf(const std::vector<std::string>& lines);

// The lines of one frame block between its header line and its separator.
std::vector<std::string> BlockBody(const Bytes& frame);
std::vector<std::string> BlockBody(const Bytes& frame, uint32_t storedLength);

// The worked example of a whole one-frame report: a 60-byte TCP SYN with one
// 4-byte option captured at 9:41:07.25, reported on 7 March 1999 at 14:05.
Bytes SynFrame();
CaptureTime WorkedExampleCaptureTime();
std::tm WorkedExampleReportTime();
extern const char kOneFrameReport[];
