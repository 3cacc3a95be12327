// Ethernet frames built byte by byte for the tests and the benchmarks: hex
// text, headers with the worked examples' addresses, payload fillers, and a
// frame as a capture holds it. No GoogleTest, so the benchmarks can use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

using Bytes = std::vector<uint8_t>;

// "02 00 0A" -> {0x02, 0x00, 0x0A}; anything but hex digits is ignored.
Bytes Hex(std::string_view text);
Bytes Join(std::initializer_list<Bytes> pieces);
Bytes PadTo(Bytes frame, size_t size); // zero bytes up to size
Bytes Be16(uint16_t value);            // most significant byte first
Bytes Be32(uint32_t value);

// Ethernet header with the worked examples' addresses and the given type/length.
Bytes EthernetHeader(uint16_t typeOrLength, std::string_view destination = "02 00 00 11 22 33");
// IEEE 802.3 frame: the length field counts llcAndData; padded to 60 bytes.
Bytes Ieee8023Frame(const Bytes& llcAndData, std::string_view destination = "02 00 00 11 22 33");

struct IpHeader {
    uint8_t ihl = 5;
    uint16_t flagsAndOffset = 0x4000;
    uint8_t protocol = 6;
    uint8_t ttl = 0x80;
    uint16_t id = 0x1A2B;
    uint16_t checksum = 0;             // as given: nothing here computes it
    uint32_t source = 0xC0A8010A;      // 192.168.1.10
    uint32_t destination = 0xC0A80114; // 192.168.1.20
};
// IPv4 header and payload; option bytes (IHL above 5) count 1, 2, 3, ... and
// the payload follows them. The total length counts them all.
Bytes IpPacket(const IpHeader& h, const Bytes& payload);
// The same in an Ethernet II frame with the worked examples' addresses.
Bytes IpFrame(const IpHeader& h, const Bytes& payload);
// The worked example's 60-byte TCP SYN with one 4-byte option.
Bytes SynFrame();
// Frame `number` of a live test's run, 60 bytes: to `destination`, from
// 02:00:00:00:<run>:<number>, a local experimental EtherType (88 B5) that
// nothing in the kernel answers, and `number` as every payload byte.
Bytes NumberedFrame(std::span<const uint8_t, 6> destination, uint8_t run, uint8_t number);

// Payload fillers: bytes counting up from first (wrapping at 256); the 95
// printable ASCII characters over and over; seed, seed + 7, seed + 14, ...
// modulo 251, which differs from frame to frame.
Bytes Filler(size_t size, uint8_t first);
Bytes PrintableText(size_t size);
Bytes SeededFiller(size_t size, uint32_t seed);

// A frame as a capture file holds it.
struct CapturedFrame {
    Bytes bytes;             // as stored in the file (the captured length)
    uint32_t wireLength = 0; // original length; 0 means bytes.size()
    timespec when{};
};
