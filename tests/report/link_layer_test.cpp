// Framing lines and the hex dump's rules, as an operator reads them. (Whole
// blocks, such as the spanning-tree example, are golden cases.)
#include <cstdio>

#include <gtest/gtest.h>

#include "report_test_support.h"

namespace {

// Each framing's lines, then straight away the dump from the end of its link
// header: the payload bytes are distinct, so the first dumped byte shows where.
// (SNAP carrying type 0800h is not decoded as IP.)
TEST(LinkLayer, FramingLinesAndWhereTheDumpStarts)
{
    const struct {
        uint16_t field;
        Bytes llc; // bytes 14 on
        Lines typeLines;
        size_t dumpFrom;
    } cases[] = {
        {1501, Hex("AA AA 03"), {"Frametype: Ethernet II, Protocol field: 05DDh"}, 14},
        {1500,
         Hex("42 42 03"),
         {"Frametype: IEEE 802.2 within 802.3, Length field 1500, DSAP 42, SSAP 42, Control 03"},
         17},
        {46,
         Hex("AA AA 03 00 00 00 08 00"),
         {"Frametype: Ethernet Snap, Length field 46, DSAP AAh, SSAP AAh, Control 03",
          "LLC SNAP Organisation Code: 000000h Protocol field: 0800h"},
         22},
        {46, Hex("F0 F0 7E"), {"Frametype: IEEE 802.3, Length field 46, DSAP F0h, SSAP F0h"}, 16},
        {46,
         Hex("AA 42 03"),
         {"Frametype: IEEE 802.2 within 802.3, Length field 46, DSAP AA, SSAP 42, Control 03"},
         17},
        {46,
         Hex("E0 E0 03 FF FF 00 28"), // not IPX
         {"Frametype: IEEE 802.2 within 802.3, Length field 46, DSAP E0, SSAP E0, Control 03"},
         17},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typeLines[0]);
        Bytes payload = c.llc;
        for (size_t i = payload.size(); i < 46; ++i)
            payload.push_back(static_cast<uint8_t>(0x30 + i));
        const Bytes frame = Join({EthernetHeader(c.field), payload});
        const Lines body = BlockBody(frame);
        const size_t n = c.typeLines.size();
        ASSERT_GE(body.size(), n + 3);
        EXPECT_EQ(Lines(body.begin() + 1, body.begin() + 1 + static_cast<long>(n)), c.typeLines);
        EXPECT_EQ(body[n + 1], kDumpHeader);
        char start[4];
        std::snprintf(start, sizeof start, "%02X ", frame[c.dumpFrom]);
        EXPECT_EQ(body[n + 2].substr(0, 3), start);
    }
}

// A non-IP Ethernet II frame dumps stored length - 14 bytes from byte 14.
Lines DumpOf(const Bytes& payload)
{
    const Lines body = BlockBody(Join({EthernetHeader(0x9000), payload}));
    return Lines(body.begin() + 2, body.end());
}

Bytes Letters(size_t count)
{
    Bytes letters;
    for (size_t i = 0; i < count; ++i)
        letters.push_back(static_cast<uint8_t>('A' + i % 26));
    return letters;
}

TEST(HexDump, LineCountsPaddingAndPrintableCharacters)
{
    EXPECT_EQ(DumpOf({}), Lines{"No data"});
    const std::string twenty = "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 53 54 ABCDEFGHIJKLMNOPQRST";
    EXPECT_EQ(DumpOf(Letters(20)), (Lines{kDumpHeader, twenty}));
    EXPECT_EQ(DumpOf(Letters(25)), (Lines{kDumpHeader, twenty, "55 56 57 58 59 " + std::string(45, ' ') + "UVWXY"}));
    EXPECT_EQ(DumpOf(Letters(40)).size(), 3u); // no empty trailing line after a full one
    EXPECT_EQ(DumpOf(Hex("00 1F 20 41 7E 7F 80 FF")),
              (Lines{kDumpHeader, "00 1F 20 41 7E 7F 80 FF " + std::string(36, ' ') + ".. A~..."}));
}

} // namespace
