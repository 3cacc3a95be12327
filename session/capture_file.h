// Capture files (pcap or pcapng) of Ethernet frames, read through libpcap with
// nanosecond time stamps, and each of their frames as the analyzer stores a
// received one: at most one buffer's worth of bytes, stamped with its local
// time of day. quarn-report writes their report; the analyzer opens them into
// its session buffer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <pcap/pcap.h>
#include <string>

#include "session/capture_time.h"
#include "session/session_buffer.h"

// Reads the capture in file, which it takes over (pcap_close closes it; on
// failure it is closed here). Null on failure, with problem set in one line
// without the file's name: "cannot read capture: ..." when it is empty or not
// a capture libpcap reads, or "link type ... is not Ethernet; ...".
pcap_t* OpenEthernetCapture(std::FILE* file, std::string& problem);

// At most one buffer's worth of the captured bytes.
inline uint32_t StoredLength(const pcap_pkthdr& header) { return std::min<uint32_t>(header.caplen, kFrameBufferSize); }

// The frame's time stamp, read with nanosecond precision (the "usec" field
// then holds nanoseconds). A pcap file holds the seconds as an unsigned
// 32-bit count, which libpcap hands over sign-extended: from 2038-01-19
// 03:14:08 UTC on they arrive negative. pcapng's 64-bit times arrive whole and
// positive.
inline timespec FrameMoment(const pcap_pkthdr& header)
{
    const std::time_t seconds = header.ts.tv_sec;
    return {seconds < 0 ? static_cast<std::time_t>(static_cast<uint32_t>(seconds)) : seconds,
            static_cast<long>(header.ts.tv_usec)};
}

// The local time of the frame's time stamp.
inline CaptureTime FrameTime(const pcap_pkthdr& header) { return LocalCaptureTime(FrameMoment(header)); }
