// Mixes of frames of every kind the report decodes, for the benchmarks and the
// pictures of the windows. Their bytes never change: benchmark figures and the
// generated benchmark capture are compared across versions.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/frames.h"

// Eight frames: TCP SYN with an option, a full-size TCP segment, a TCP ACK, a
// UDP datagram, an ARP request, an ICMP echo, an IPX packet in Netware raw
// framing and a spanning-tree frame in 802.2 framing.
std::vector<Bytes> EightKindsOfFrame();

// The benchmark capture's frames, one after the other: twenty kinds picked in
// a fixed pseudo-random order (TCP segments of many sizes, UDP, ICMP echo, ARP,
// IPX, SNAP and IEEE 802.2), each 37 to 736 microseconds after the last. The
// same position always gives the same frame.
class MixedCapture {
public:
    CapturedFrame Next();

private:
    uint32_t random_ = 2463534242u;
    uint32_t number_ = 0;
    uint32_t second_ = 1'700'000'000;
    uint32_t micros_ = 0;
};
