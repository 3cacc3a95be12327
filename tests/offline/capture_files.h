// Capture files written by hand for the report command's tests: pcap (micro-
// or nanosecond time stamps) and pcapng (section header, interface description,
// enhanced packet blocks), and the Ethernet frames to fill them with.
#pragma once

#include <ctime>

#include "tests/report/report_test_support.h"

struct CapturedFrame {
    Bytes bytes;             // as stored in the file (the captured length)
    uint32_t wireLength = 0; // original length; 0 means bytes.size()
    timespec when{};
};

inline constexpr uint32_t kLinkEthernet = 1;
inline constexpr uint32_t kLinkLinuxCooked = 113;

Bytes PcapFile(const std::vector<CapturedFrame>& frames, bool nanoseconds = false,
               uint32_t linkType = kLinkEthernet);
Bytes PcapngFile(const std::vector<CapturedFrame>& frames, bool nanoseconds = false,
                 uint32_t linkType = kLinkEthernet);

// One frame of every kind the report tells apart, with varied time stamps: IP
// with TCP, UDP and ICMP echo, an IP fragment, ARP, IPX in Ethernet II and in
// raw 802.3, SNAP, IEEE 802.2, a runt, and a frame longer than 1514 bytes.
std::vector<CapturedFrame> MixedFrames();
