// TCP, UDP and IPX lines and where each leaves the dump.
#include <algorithm>

#include <gtest/gtest.h>

#include "report_test_support.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kDumpHeader = "HEX data:" + std::string(51, ' ') + "ASCII data:";

// Ethernet II IPv4 frame with a 20-byte header carrying payload.
Bytes IpFrame(uint8_t protocol, const Bytes& payload) {
    const uint16_t total = static_cast<uint16_t>(20 + payload.size());
    Bytes ip = {0x45, 0x00, static_cast<uint8_t>(total >> 8), static_cast<uint8_t>(total), 0x1A, 0x2B,
                0x40, 0x00, 0x80, protocol, 0x00, 0x00, 0xC0, 0xA8, 0x01, 0x0A, 0xC0, 0xA8, 0x01, 0x14};
    return Join({EthernetHeader(0x0800), ip, payload});
}

// Lines from the first transport line on (the IP lines end with the address line).
Lines AfterIpLines(const Bytes& frame) {
    const Lines body = BlockBody(frame);
    const auto address = std::find_if(body.begin(), body.end(),
                                      [](const std::string& l) { return l.rfind("IP source address:", 0) == 0; });
    EXPECT_NE(address, body.end());
    return address == body.end() ? Lines{} : Lines(address + 1, body.end());
}

TEST(DecodeTcp, SynWithOneOptionPrintsExactlyAndDumpsTheOption) {
    const Bytes frame = PadTo(IpFrame(6, Hex("04 0B 00 50 00 00 10 00 00 00 00 00 60 02 20 00 00 00 00 00"
                                             "02 04 05 B4")),
                              60);
    const Lines expected = {
        "TCP 16 bits source port:         1035d  TCP 16 bits destination port:      0080d",
        "TCP 32 bits sequence number: 00001000h  TCP 32 bits ack number:        00000000h",
        "TCP 4 bits data offset:             6h  TCP 6 bits reserved                  00h",
        "TCP 6 bits control flags : 02h SYN ",
        "TCP 16 bits window size:         2000h",
        "TCP 16 bits checksum:            0000h  TCP 16 bits urgent pointer:        0000h",
        kDumpHeader,
        "02 04 05 B4                                                 ....",
    };
    EXPECT_EQ(AfterIpLines(frame), expected);
}

TEST(DecodeTcp, FlagNamesInOrderEachWithItsBlank) {
    const struct {
        uint8_t byte13;
        const char* line;
    } cases[] = {
        {0x12, "TCP 6 bits control flags : 12h ACK SYN "},
        {0x00, "TCP 6 bits control flags : 00h "},
        {0x3F, "TCP 6 bits control flags : 3Fh URG ACK PUSH RESET SYN FIN "},
        {0x19, "TCP 6 bits control flags : 19h ACK PUSH FIN "},
        {0xC4, "TCP 6 bits control flags : 04h RESET "}, // top bits are reserved, not flags
    };
    for (const auto& c : cases) {
        Bytes tcp(20, 0);
        tcp[12] = 0x50;
        tcp[13] = c.byte13;
        const Lines lines = AfterIpLines(IpFrame(6, tcp));
        ASSERT_GT(lines.size(), 3u);
        EXPECT_EQ(lines[3], c.line);
    }
}

TEST(DecodeTcp, ReservedBitsJoinTheLowNibbleOfByte46AndTheTopOfByte47) {
    const struct {
        uint8_t byte12, byte13;
        const char* line;
    } cases[] = {
        {0x50, 0xC0, "TCP 4 bits data offset:             5h  TCP 6 bits reserved                  03h"},
        {0x5F, 0x00, "TCP 4 bits data offset:             5h  TCP 6 bits reserved                  3Ch"},
        {0xFF, 0xFF, "TCP 4 bits data offset:             Fh  TCP 6 bits reserved                  3Fh"},
    };
    for (const auto& c : cases) {
        Bytes tcp(20, 0);
        tcp[12] = c.byte12;
        tcp[13] = c.byte13;
        const Lines lines = AfterIpLines(IpFrame(6, tcp));
        ASSERT_GT(lines.size(), 2u);
        EXPECT_EQ(lines[2], c.line);
    }
}

TEST(DecodeTcp, FiveDigitPortsPushTheLineRight) {
    const Lines lines = AfterIpLines(IpFrame(6, Join({Hex("C0 00 FF FF"), Bytes(16, 0)})));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "TCP 16 bits source port:         49152d  TCP 16 bits destination port:      65535d");
}

TEST(DecodeUdp, PortsInDecimalLengthInHex) {
    const Bytes frame = IpFrame(17, Hex("00 89 00 89 00 48 12 34 4E 42"));
    const Lines expected = {
        "UDP 16 bits source port:         0137d  UDP 16 bits destination port:      0137d",
        "UDP 16 bits length:              0048h  UDP 16 bits checksum:              1234h",
        kDumpHeader,
        "4E 42 " + std::string(54, ' ') + "NB",
    };
    EXPECT_EQ(AfterIpLines(frame), expected);
}

// The worked IPX packet: 40 bytes ending in "QUERY-0001".
Bytes IpxPacket() {
    return Join({Hex("FF FF 00 28 00 04 00 00 00 00 FF FF FF FF FF FF 04 52"
                     "00 00 00 01 02 00 00 44 55 66 40 00"),
                 Bytes{'Q', 'U', 'E', 'R', 'Y', '-', '0', '0', '0', '1'}});
}

const Lines kIpxLines = {
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

TEST(DecodeIpx, NetwareRawFramePrintsExactlyWithoutItsPadding) {
    const Bytes frame = PadTo(Join({EthernetHeader(40, "FF FF FF FF FF FF"), IpxPacket()}), 60);
    Lines expected = {"Frametype: Netware 802.3, Length field 40"};
    expected.insert(expected.end(), kIpxLines.begin(), kIpxLines.end());
    const Lines body = BlockBody(frame);
    EXPECT_EQ(Lines(body.begin() + 1, body.end()), expected);
}

TEST(DecodeIpx, EthernetIiType8137IsDecodedFromByte14) {
    const Bytes frame = PadTo(Join({EthernetHeader(0x8137, "FF FF FF FF FF FF"), IpxPacket()}), 60);
    const Lines body = BlockBody(frame);
    EXPECT_EQ(Lines(body.begin() + 2, body.end()), kIpxLines);
}

TEST(DecodeIpx, RawLengthMustBeBelow1500) {
    const Bytes packet = IpxPacket();
    const Lines below = BlockBody(PadTo(Join({EthernetHeader(1499), packet}), 60));
    const Lines at = BlockBody(PadTo(Join({EthernetHeader(1500), packet}), 60));
    EXPECT_EQ(below[1], "Frametype: Netware 802.3, Length field 1499");
    EXPECT_EQ(below[2], "Protocol: IPX");
    EXPECT_EQ(at[1], "Frametype: Netware 802.3, Length field 1500");
    EXPECT_EQ(std::find(at.begin(), at.end(), "Protocol: IPX"), at.end());
    EXPECT_EQ(at[3].substr(0, 6), "00 28 "); // dump from byte 16
}

TEST(DecodeIpx, ShortPacketLengthWrapsButTheDumpStaysInsideTheFrame) {
    Bytes packet = IpxPacket();
    packet[3] = 0x10; // 16 < 30: remaining wraps to 65522
    const Lines body = BlockBody(PadTo(Join({EthernetHeader(40), packet}), 60));
    ASSERT_EQ(body.size(), 1u + 1 + 7 + 1 + 1);
    EXPECT_EQ(body.back(),
              "51 55 45 52 59 2D 30 30 30 31 00 00 00 00 00 00 " + std::string(12, ' ') + "QUERY-0001......");
}

} // namespace
