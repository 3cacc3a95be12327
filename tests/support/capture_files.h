// Capture files written by hand: pcap (micro- or nanosecond time stamps) and
// pcapng (section header, interface description, enhanced packet blocks). A
// pcap file can also be written a record at a time, for files too large to
// hold in memory. And capture files read back as libpcap reads them. No
// GoogleTest, so the benchmarks can use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/frames.h"

inline constexpr uint32_t kLinkEthernet = 1;
inline constexpr uint32_t kLinkLinuxCooked = 113;

Bytes PcapFile(const std::vector<CapturedFrame>& frames, bool nanoseconds = false, uint32_t linkType = kLinkEthernet);
Bytes PcapngFile(const std::vector<CapturedFrame>& frames, bool nanoseconds = false, uint32_t linkType = kLinkEthernet);

// A pcap file piece by piece: the file header, then one record a frame.
Bytes PcapHeader(bool nanoseconds = false, uint32_t linkType = kLinkEthernet);
void AppendPcapRecord(Bytes& file, const CapturedFrame& frame, bool nanoseconds = false);

// A capture file as libpcap reads it, time stamps to the nanosecond.
struct ReadBackCapture {
    std::string error; // why libpcap could not open it; empty when it could
    int linkType = -1;
    int snapLength = -1;
    std::vector<CapturedFrame> frames;
};
ReadBackCapture ReadCaptureFile(const std::string& path);
