// Helpers for the report and offline tests: frames built from the bytes the
// report prints, and the report output captured as text.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "session/capture_time.h"

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
inline const std::string kDumpHeader = "HEX data:" + std::string(51, ' ') + "ASCII data:";

// "02 00 0A" -> {0x02, 0x00, 0x0A}; anything but hex digits is ignored.
Bytes Hex(std::string_view text);
Bytes Join(std::initializer_list<Bytes> pieces);
Bytes PadTo(Bytes frame, size_t size); // zero bytes up to size
// Ethernet header with the worked examples' addresses and the given type/length.
Bytes EthernetHeader(uint16_t typeOrLength, std::string_view destination = "02 00 00 11 22 33");

struct IpHeader {
    uint8_t ihl = 5;
    uint16_t flagsAndOffset = 0x4000;
    uint8_t protocol = 6;
};
// Ethernet II IPv4 frame from 192.168.1.10 to 192.168.1.20; option bytes (IHL
// above 5) count 1, 2, 3, ... and the payload follows them.
Bytes IpFrame(IpHeader h, const Bytes& payload);
// The worked example's 60-byte TCP SYN with one 4-byte option.
Bytes SynFrame();

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

void WriteFile(const std::string& path, const Bytes& bytes);
std::string ReadFile(const std::string& path);

// Store the frame's first 1514 bytes into the session buffer's current slot and move on.
void StoreFrame(const Bytes& frame, CaptureTime time = {});

// A fresh directory, removed with everything in it by the destructor.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> Names() const; // sorted

private:
    std::string path_;
};
