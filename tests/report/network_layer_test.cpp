// IP, ARP and ICMP rules: option lists, fragments, long ARP addresses and
// where each leaves the dump. (Whole blocks, one for every protocol name, ARP
// operation and ICMP type, are golden cases.)
#include <algorithm>

#include <gtest/gtest.h>

#include "report_test_support.h"

namespace {

size_t IndexOf(const Lines& lines, const std::string& line)
{
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

// Option bytes are listed 26 to a line; the dump starts after them and holds
// the whole payload: the total length less the header with its options.
TEST(DecodeIp, OptionListThenTheWholePayload)
{
    const struct {
        uint8_t ihl;
        size_t payload;
        Lines options;
    } cases[] = {
        {15,
         45,
         {"01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A ",
          "1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 28 "}},
        {6, 50, {"01 02 03 04 "}},
    };
    for (const auto& c : cases) {
        Bytes payload(c.payload);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<uint8_t>(0xA0 + i);
        const Lines body = BlockBody(IpFrame({.ihl = c.ihl, .protocol = 47}, payload));
        const size_t list = IndexOf(body, "IP header contains an option list:");
        ASSERT_LT(list + c.options.size() + 1, body.size()) << int(c.ihl);
        EXPECT_EQ(Lines(body.begin() + long(list) + 1, body.begin() + long(list + c.options.size()) + 1), c.options);
        EXPECT_EQ(body[list + c.options.size() + 1], kDumpHeader);
        EXPECT_EQ(DumpedBytes(body), payload) << int(c.ihl);
    }
}

TEST(DecodeIp, OnlyFirstFragmentsGetTransportLines)
{
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

TEST(DecodeArp, AddressLinesFollowTheLengthBytesAndNeverReadPastTheFrame)
{
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

TEST(DecodeIcmp, IsReadAtByte34EvenWhenTheIpHeaderHasOptions)
{
    // IHL 6: option bytes 01 02 03 04 sit at 34..37, so the type read is 01.
    const Lines body = BlockBody(IpFrame({.ihl = 6, .protocol = 1}, Hex("08 00 00 00 00 00 00 00")));
    EXPECT_NE(IndexOf(body, "ICMP type field: 01d unknown"), body.size());
    EXPECT_NE(IndexOf(body, "ICMP code field:                   02d  ICMP checksum:                     0304h"),
              body.size());
}

} // namespace
