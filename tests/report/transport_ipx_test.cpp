// TCP, UDP and IPX lines and where each leaves the dump. (The TCP lines of the
// worked SYN are checked whole by the one-frame report.)
#include <algorithm>

#include <gtest/gtest.h>

#include "report_test_support.h"

namespace {

// Lines from the first transport line on (the IP lines end with the address line).
Lines AfterIpLines(uint8_t protocol, const Bytes& payload) {
    const Lines body = BlockBody(IpFrame({.protocol = protocol}, payload));
    const auto address = std::find_if(body.begin(), body.end(),
                                      [](const std::string& l) { return l.rfind("IP source address:", 0) == 0; });
    EXPECT_NE(address, body.end());
    return address == body.end() ? Lines{} : Lines(address + 1, body.end());
}

// Bytes 12 and 13 of the TCP header: data offset, the reserved bits between the
// low nibble of one and the top of the other, and the flag names in order.
TEST(DecodeTcp, OffsetReservedBitsAndFlagNames) {
    const struct {
        uint8_t byte12, byte13;
        const char* reserved;
        const char* flags;
    } cases[] = {
        {0x50, 0x12, "5h  TCP 6 bits reserved                  00h", "12h ACK SYN "},
        {0x50, 0x00, "5h  TCP 6 bits reserved                  00h", "00h "},
        {0x50, 0x3F, "5h  TCP 6 bits reserved                  00h", "3Fh URG ACK PUSH RESET SYN FIN "},
        {0x50, 0x19, "5h  TCP 6 bits reserved                  00h", "19h ACK PUSH FIN "},
        {0x50, 0xC4, "5h  TCP 6 bits reserved                  03h", "04h RESET "}, // top bits are not flags
        {0x5F, 0x00, "5h  TCP 6 bits reserved                  3Ch", "00h "},
        {0xFF, 0xFF, "Fh  TCP 6 bits reserved                  3Fh", "3Fh URG ACK PUSH RESET SYN FIN "},
    };
    for (const auto& c : cases) {
        Bytes tcp(20, 0);
        tcp[12] = c.byte12;
        tcp[13] = c.byte13;
        const Lines lines = AfterIpLines(6, tcp);
        ASSERT_GT(lines.size(), 3u);
        EXPECT_EQ(lines[2], "TCP 4 bits data offset:             " + std::string(c.reserved));
        EXPECT_EQ(lines[3], "TCP 6 bits control flags : " + std::string(c.flags));
    }
}

TEST(DecodeTcp, FiveDigitPortsPushTheLineRight) {
    const Lines lines = AfterIpLines(6, Join({Hex("C0 00 FF FF"), Bytes(16, 0)}));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "TCP 16 bits source port:         49152d  TCP 16 bits destination port:      65535d");
}

TEST(DecodeUdp, PortsInDecimalLengthInHex) {
    const Lines expected = {
        "UDP 16 bits source port:         0137d  UDP 16 bits destination port:      0137d",
        "UDP 16 bits length:              0048h  UDP 16 bits checksum:              1234h",
        kDumpHeader,
        "4E 42 " + std::string(54, ' ') + "NB",
    };
    EXPECT_EQ(AfterIpLines(17, Hex("00 89 00 89 00 48 12 34 4E 42")), expected);
}

// The worked IPX packet: 40 bytes ending in "QUERY-0001".
const Bytes kIpxPacket = Join({Hex("FF FF 00 28 00 04 00 00 00 00 FF FF FF FF FF FF 04 52 00 00 00 01 02 00 00 44 55 66 40 00"),
                               Bytes{'Q', 'U', 'E', 'R', 'Y', '-', '0', '0', '0', '1'}});

Lines IpxBody(uint16_t typeOrLength, const Bytes& packet = kIpxPacket) {
    return BlockBody(PadTo(Join({EthernetHeader(typeOrLength, "FF FF FF FF FF FF"), packet}), 60));
}

TEST(DecodeIpx, RawAndType8137FramesPrintExactlyWithoutTheirPadding) {
    const Lines ipx = {
        "Protocol: IPX",
        "IPX 16 bits Checksum:            FFFFh  IPX 16 bits Packet Length:         0028h",
        "IPX 8 bits Transport Control:      00h  IPX 8 bits Packet Type:              04h",
        "IPX 32 bits Dest. Network:   00000000h  IPX 48 bits Dest. Node:    FFFFFFFFFFFFh",
        "IPX 16 bits Dest. Socket:        0452h",
        "IPX 32 bits Source Network:  00000001h  IPX 48 bits Source Node:   020000445566h",
        "IPX 16 bits Source Socket:       4000h",
        kDumpHeader,
        "51 55 45 52 59 2D 30 30 30 31                               QUERY-0001",
    };
    const Lines raw = IpxBody(40);
    ASSERT_EQ(raw.size(), 11u);
    EXPECT_EQ(raw[1], "Frametype: Netware 802.3, Length field 40");
    EXPECT_EQ(Lines(raw.begin() + 2, raw.end()), ipx);
    const Lines typed = IpxBody(0x8137);
    ASSERT_EQ(typed.size(), 11u);
    EXPECT_EQ(Lines(typed.begin() + 2, typed.end()), ipx);
}

TEST(DecodeIpx, RawLengthMustBeBelow1500) {
    const Lines below = IpxBody(1499), at = IpxBody(1500);
    EXPECT_EQ(below[1], "Frametype: Netware 802.3, Length field 1499");
    EXPECT_EQ(below[2], "Protocol: IPX");
    EXPECT_EQ(at[1], "Frametype: Netware 802.3, Length field 1500");
    EXPECT_EQ(at[2], kDumpHeader);
    EXPECT_EQ(at[3].substr(0, 6), "00 28 "); // dump from byte 16
}

TEST(DecodeIpx, ShortPacketLengthWrapsButTheDumpStaysInsideTheFrame) {
    Bytes packet = kIpxPacket;
    packet[3] = 0x10; // 16 < 30: remaining wraps to 65522
    const Lines body = IpxBody(40, packet);
    ASSERT_EQ(body.size(), 11u);
    EXPECT_EQ(body.back(), "51 55 45 52 59 2D 30 30 30 31 00 00 00 00 00 00 " + std::string(12, ' ') + "QUERY-0001......");
}

} // namespace
