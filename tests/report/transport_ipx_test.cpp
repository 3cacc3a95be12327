// TCP and IPX rules: the bits of the TCP offset byte, which raw lengths are
// IPX, and where each leaves the dump. (Whole blocks, such as the worked SYN,
// UDP and IPX examples, are golden cases.)
#include <algorithm>

#include <gtest/gtest.h>

#include "report_test_support.h"

namespace {

// Lines from the first transport line on (the IP lines end with the address line).
Lines AfterIpLines(uint8_t protocol, const Bytes& payload)
{
    const Lines body = BlockBody(IpFrame({.protocol = protocol}, payload));
    const auto address = std::find_if(body.begin(), body.end(),
                                      [](const std::string& l) { return l.rfind("IP source address:", 0) == 0; });
    EXPECT_NE(address, body.end());
    return address == body.end() ? Lines{} : Lines(address + 1, body.end());
}

// Bytes 12 and 13 of the TCP header: data offset, the reserved bits between the
// low nibble of one and the top of the other, and the flag names in order.
TEST(DecodeTcp, OffsetReservedBitsAndFlagNames)
{
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

// The worked IPX packet: 40 bytes ending in "QUERY-0001".
const Bytes kIpxPacket
    = Join({Hex("FF FF 00 28 00 04 00 00 00 00 FF FF FF FF FF FF 04 52 00 00 00 01 02 00 00 44 55 66 40 00"),
            Bytes{'Q', 'U', 'E', 'R', 'Y', '-', '0', '0', '0', '1'}});

Lines IpxBody(uint16_t typeOrLength, const Bytes& packet = kIpxPacket)
{
    return BlockBody(PadTo(Join({EthernetHeader(typeOrLength, "FF FF FF FF FF FF"), packet}), 60));
}

TEST(DecodeIpx, RawLengthMustBeBelow1500)
{
    const Lines below = IpxBody(1499), at = IpxBody(1500);
    EXPECT_EQ(below[1], "Frametype: Netware 802.3, Length field 1499");
    EXPECT_EQ(below[2], "Protocol: IPX");
    EXPECT_EQ(at[1], "Frametype: Netware 802.3, Length field 1500");
    EXPECT_EQ(at[2], kDumpHeader);
    EXPECT_EQ(at[3].substr(0, 6), "00 28 "); // dump from byte 16
}

TEST(DecodeIpx, ShortPacketLengthWrapsButTheDumpStaysInsideTheFrame)
{
    Bytes packet = kIpxPacket;
    packet[3] = 0x10; // 16 < 30: remaining wraps to 65522
    const Lines body = IpxBody(40, packet);
    ASSERT_EQ(body.size(), 11u);
    EXPECT_EQ(body.back(),
              "51 55 45 52 59 2D 30 30 30 31 00 00 00 00 00 00 " + std::string(12, ' ') + "QUERY-0001......");
}

} // namespace
