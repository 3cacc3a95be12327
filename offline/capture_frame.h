// A frame of a capture file as the report takes it: stored as the analyzer
// stores a received frame, stamped with its local time of day.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <pcap/pcap.h>

#include "session/capture_time.h"
#include "session/session_buffer.h"

// At most one buffer's worth of the captured bytes.
inline uint32_t StoredLength(const pcap_pkthdr& header) { return std::min<uint32_t>(header.caplen, kFrameBufferSize); }

// The local time of the frame's time stamp, read with nanosecond precision
// (the "usec" field then holds nanoseconds). A pcap file holds the seconds as
// an unsigned 32-bit count, which libpcap hands over sign-extended: from
// 2038-01-19 03:14:08 UTC on they arrive negative. pcapng's 64-bit times
// arrive whole and positive.
inline CaptureTime FrameTime(const pcap_pkthdr& header)
{
    const std::time_t seconds = header.ts.tv_sec;
    const timespec when{seconds < 0 ? static_cast<std::time_t>(static_cast<uint32_t>(seconds)) : seconds,
                        static_cast<long>(header.ts.tv_usec)};
    return LocalCaptureTime(when);
}
