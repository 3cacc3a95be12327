// IP, ARP and ICMP lines and where each leaves the dump.
#include <algorithm>

#include <gtest/gtest.h>

#include "report_test_support.h"

namespace {

size_t IndexOf(const Lines& lines, const std::string& line) {
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

// Protocol names keep their leading blanks; an undecoded protocol dumps its
// payload only (not the padding after the packet).
TEST(DecodeIp, ProtocolNamesAndThePayloadDump) {
    const struct {
        uint8_t protocol;
        const char* name;
    } cases[] = {{47, " UNKNOWN = 2Fh"}, {3, "    GGP = 03h"},  {4, "IP in IP = 04h"},
                 {2, "    IGMP = 02h"}, {17, "     UDP = 11h"}, {255, " UNKNOWN = FFh"}};
    for (const auto& c : cases) {
        const Lines body = BlockBody(PadTo(IpFrame({.protocol = c.protocol}, Hex("DE AD BE EF 00 00 00 00")), 70));
        ASSERT_GT(body.size(), 10u);
        EXPECT_EQ(body[7], "IP 8 bits Protocol type:" + std::string(c.name) + "  IP 16 bits Header Checksum:        0000h");
        if (c.protocol != 17) {
            EXPECT_EQ(Lines(body.end() - 2, body.end()),
                      (Lines{kDumpHeader, "DE AD BE EF 00 00 00 00 " + std::string(36, ' ') + "........"}));
        }
    }
}

TEST(DecodeIp, AddressLineStartsTheDestinationAtColumn41) {
    Bytes frame = PadTo(IpFrame({.protocol = 47}, {}), 60);
    const Bytes wide = Hex("FF FF FF FF 00 00 00 00");
    std::copy(wide.begin(), wide.end(), frame.begin() + 26);
    EXPECT_EQ(BlockBody(frame)[8], "IP source address: 255.255.255.255      IP destination address: 0.0.0.0");
}

TEST(DecodeIp, FifteenWordHeaderListsFortyOptionBytesAsTwentySixAndFourteen) {
    const Lines body = BlockBody(IpFrame({.ihl = 15, .protocol = 47}, Hex("AB CD")));
    const size_t list = IndexOf(body, "IP header contains an option list:");
    ASSERT_EQ(list + 5, body.size());
    EXPECT_EQ(body[list + 1], "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A ");
    EXPECT_EQ(body[list + 2], "1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 28 ");
    EXPECT_EQ(body[list + 3], kDumpHeader);
    EXPECT_EQ(body[list + 4].substr(0, 6), "AB CD "); // dump from byte 14 + 60
}

TEST(DecodeIp, OnlyFirstFragmentsGetTransportLines) {
    for (uint8_t protocol : {1, 6, 17}) {
        const Lines body = BlockBody(IpFrame({.flagsAndOffset = 0x00B9, .protocol = protocol}, Hex("08 00 11 22")));
        ASSERT_EQ(body.size(), 2u + 7 + 2) << int(protocol);
        EXPECT_EQ(body[6], "IP 13 bits Fragment Offset:      00B9h  IP 8 bits TTL:                       80h");
        EXPECT_EQ(body[10].substr(0, 12), "08 00 11 22 ");
    }
    // A first fragment right after a later one is decoded: the flag is set afresh.
    const Lines body = BlockBody(IpFrame({.flagsAndOffset = 0x0000, .protocol = 17}, Bytes(8, 0)));
    EXPECT_NE(IndexOf(body, "UDP 16 bits length:              0000h  UDP 16 bits checksum:              0000h"),
              body.size());
}

Bytes ArpFrame(const Bytes& arp) { return PadTo(Join({EthernetHeader(0x0806, "FF FF FF FF FF FF"), arp}), 60); }

TEST(DecodeArp, RequestPrintsExactlyAndEndsWithNoData) {
    const Lines body =
        BlockBody(ArpFrame(Hex("00 01 08 00 06 04 00 01 02 00 00 44 55 66 C0 A8 01 0A 00 00 00 00 00 00 C0 A8 01 14")));
    const Lines expected = {
        "Frametype: Ethernet II, Protocol field: 0806h",
        "Protocol: ARP",
        "ARP 16 bits hardware type:    0001h  ARP 16 bits protocol type:         0800h",
        "ARP 8 bits length of MAC address:  06h  ARP 8 bits lenght of IP address:     04h",
        "ARP 16 bits operation code:      0001h ARP_REQUEST",
        "ARP MAC source address:          02:00:00:44:55:66",
        "ARP IP source address:           192.168.1.10",
        "ARP MAC destination address:     00:00:00:00:00:00",
        "ARP IP destination address:      192.168.1.20",
        "No data",
    };
    EXPECT_EQ(Lines(body.begin() + 1, body.end()), expected);
}

TEST(DecodeArp, OperationNamesComeFromTheCodeAlone) {
    const struct {
        const char* code;
        const char* name;
    } cases[] = {{"0000", "UNKNOWN"},       {"0002", "ARP_RESPONSE"}, {"0003", "RARP_REQUEST"},
                 {"0004", "RARP_RESPONSE"}, {"0005", "UNKNOWN"},      {"0101", "UNKNOWN"}};
    for (const auto& c : cases) {
        const Lines body = BlockBody(ArpFrame(Join({Hex("00 01 08 00 06 04"), Hex(c.code)})));
        ASSERT_GT(body.size(), 5u);
        EXPECT_EQ(body[5], "ARP 16 bits operation code:      " + std::string(c.code) + "h " + c.name);
    }
}

TEST(DecodeArp, AddressLinesFollowTheLengthBytesAndNeverReadPastTheFrame) {
    // H = 255, P = 255 in a 60-byte frame: long lines, bytes past the frame as zero.
    const Lines body = BlockBody(ArpFrame(Hex("00 01 08 00 FF FF 00 01 AB")));
    ASSERT_EQ(body.size(), 11u);
    EXPECT_EQ(body[6].size(), 33u + 3 * 255 - 1);
    EXPECT_EQ(body[6].substr(33, 9), "AB:00:00:");
    EXPECT_EQ(body[7].size(), 33u + 2 * 255 - 1); // "0." each
    EXPECT_EQ(body[9].substr(0, 36), "ARP IP destination address:      0.0");
    EXPECT_EQ(body.back(), "No data");

    const Lines empty = BlockBody(ArpFrame(Hex("00 01 08 00 00 00 00 01")));
    EXPECT_EQ(empty[6], "ARP MAC source address:          ");
    EXPECT_EQ(empty[9], "ARP IP destination address:      ");
}

Bytes IcmpFrame(const Bytes& icmp, uint8_t ihl = 5) { return IpFrame({.ihl = ihl, .protocol = 1}, icmp); }

TEST(DecodeIcmp, EchoRequestPrintsIdentifierAndSequenceSecondByteFirst) {
    const Lines body = BlockBody(IcmpFrame(Hex("08 00 F7 FF 00 01 00 02 61 62")));
    const size_t at = IndexOf(body, "ICMP type field: 08d echo");
    ASSERT_EQ(at + 5, body.size());
    EXPECT_EQ(body[at + 1], "ICMP code field:                   00d  ICMP checksum:                     F7FFh");
    EXPECT_EQ(body[at + 2], "ICMP identifier:                 0100h  ICMP sequence number:              0200h");
    EXPECT_EQ(body[at + 3], kDumpHeader);
    EXPECT_EQ(body[at + 4], "61 62 " + std::string(54, ' ') + "ab");
}

// Types other than the echoes get two lines and their dump starts at byte 38.
TEST(DecodeIcmp, TypeNamesAndTheTwoLineForm) {
    const struct {
        uint8_t type;
        const char* line;
    } cases[] = {
        {0, "ICMP type field: 00d echo reply"}, {3, "ICMP type field: 03d destination unreachable"},
        {7, "ICMP type field: 07d unknown"},    {18, "ICMP type field: 18d address mask reply"},
        {19, "ICMP type field: 19d unknown"},   {200, "ICMP type field: 200d unknown"},
    };
    for (const auto& c : cases) {
        const Lines body = BlockBody(IcmpFrame(Bytes{c.type, 0x0C, 0x12, 0x34, 0xA1, 0xA2, 0xA3, 0xA4}));
        const size_t at = IndexOf(body, c.line);
        ASSERT_LT(at + 3, body.size()) << c.line;
        EXPECT_EQ(body[at + 1], "ICMP code field:                   12d  ICMP checksum:                     1234h");
        const bool echo = c.type == 0;
        EXPECT_EQ(body[at + 2].rfind("ICMP identifier:", 0) == 0, echo) << c.line;
        if (!echo) {
            EXPECT_EQ(body[at + 3].substr(0, 12), "A1 A2 A3 A4 ") << c.line;
        }
    }
}

TEST(DecodeIcmp, IsReadAtByte34EvenWhenTheIpHeaderHasOptions) {
    // IHL 6: option bytes 01 02 03 04 sit at 34..37, so the type read is 01.
    const Lines body = BlockBody(IcmpFrame(Hex("08 00 00 00 00 00 00 00"), 6));
    EXPECT_NE(IndexOf(body, "ICMP type field: 01d unknown"), body.size());
    EXPECT_NE(IndexOf(body, "ICMP code field:                   02d  ICMP checksum:                     0304h"),
              body.size());
}

} // namespace
