// A fixed mix of frames of every kind the report decodes, for the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Eight frames: TCP SYN with an option, a full-size TCP segment, a TCP ACK, a
// UDP datagram, an ARP request, an ICMP echo, an IPX packet in Netware raw
// framing and a spanning-tree frame in 802.2 framing.
std::vector<std::vector<uint8_t>> MixedFrames();
