// MAC line, framing lines and the hex dump, as an operator reads them.
#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

#include "report_test_support.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kDumpHeader = "HEX data:" + std::string(51, ' ') + "ASCII data:";

TEST(LinkLayer, SpanningTreeFrameIn8022FramingPrintsExactly) {
    const Bytes frame = Join({
        EthernetHeader(38, "01 80 C2 00 00 00"),
        Hex("42 42 03"),
        Hex("00 00 00 00 80 00 02 00 00 44 55 66 00 00 00 00 80 00 02 00"
            "00 44 55 66 80 01 00 00 14 00 02 00 0F 00 00 00 00 00 00 00"
            "00 00 00"),
    });
    ASSERT_EQ(frame.size(), 60u);
    const Lines expected = {
        "MAC destination: 01:80:C2:00:00:00      MAC source: 02:00:00:44:55:66",
        "Frametype: IEEE 802.2 within 802.3, Length field 38, DSAP 42, SSAP 42, Control 03",
        "HEX data:                                                   ASCII data:",
        "00 00 00 00 80 00 02 00 00 44 55 66 00 00 00 00 80 00 02 00 .........DUf........",
        "00 44 55 66 80 01 00 00 14 00 02 00 0F 00 00 00 00 00 00 00 .DUf................",
        "00 00 00                                                    ...",
    };
    EXPECT_EQ(BlockBody(frame), expected);
    EXPECT_EQ(expected[1].size(), 81u);
}

struct FramingCase {
    const char* name;
    uint16_t field;
    Bytes llc; // bytes 14 on
    Lines typeLines;
    size_t dumpFrom; // first dumped frame byte
};

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, WritesItsLinesAndDumpsFromTheEndOfTheLinkHeader) {
    const FramingCase& c = GetParam();
    // Distinct byte values from byte 14 on, so the dump shows where it starts.
    Bytes payload = c.llc;
    for (size_t i = payload.size(); i < 46; ++i) payload.push_back(static_cast<uint8_t>(0x30 + i));
    const Bytes frame = Join({EthernetHeader(c.field), payload});
    const Lines body = BlockBody(frame);
    ASSERT_GE(body.size(), 1 + c.typeLines.size() + 2);
    EXPECT_EQ(Lines(body.begin() + 1, body.begin() + 1 + c.typeLines.size()), c.typeLines);
    const auto header = std::find(body.begin(), body.end(), kDumpHeader);
    ASSERT_LT(header + 1, body.end()) << c.name;
    const std::string& firstDumpLine = *(header + 1);
    char expectedStart[4];
    std::snprintf(expectedStart, sizeof expectedStart, "%02X ", frame[c.dumpFrom]);
    EXPECT_EQ(firstDumpLine.substr(0, 3), expectedStart) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    ByTypeLengthAndLlc, Framing,
    ::testing::Values(
        FramingCase{"length 1501 is a type", 1501, Hex("AA AA 03"),
                    {"Frametype: Ethernet II, Protocol field: 05DDh"}, 14},
        FramingCase{"type 8137h", 0x8137, Hex("12 34"), {"Frametype: Ethernet II, Protocol field: 8137h"}, 44},
        FramingCase{"length 1500 is a length", 1500, Hex("42 42 03"),
                    {"Frametype: IEEE 802.2 within 802.3, Length field 1500, DSAP 42, SSAP 42, Control 03"}, 17},
        FramingCase{"SNAP", 46, Hex("AA AA 03 00 00 00 08 00"),
                    {"Frametype: Ethernet Snap, Length field 46, DSAP AAh, SSAP AAh, Control 03",
                     "LLC SNAP Organisation Code: 000000h Protocol field: 0800h"},
                    22},
        FramingCase{"Netware raw 1500 gets no IPX", 1500, Hex("FF FF 00 28"),
                    {"Frametype: Netware 802.3, Length field 1500"}, 16},
        FramingCase{"F0 F0 keeps the control byte", 46, Hex("F0 F0 7E"),
                    {"Frametype: IEEE 802.3, Length field 46, DSAP F0h, SSAP F0h"}, 16},
        FramingCase{"AA alone is 802.2", 46, Hex("AA 42 03"),
                    {"Frametype: IEEE 802.2 within 802.3, Length field 46, DSAP AA, SSAP 42, Control 03"}, 17},
        FramingCase{"E0 E0 is 802.2, not IPX", 46, Hex("E0 E0 03 FF FF 00 28"),
                    {"Frametype: IEEE 802.2 within 802.3, Length field 46, DSAP E0, SSAP E0, Control 03"}, 17}));

TEST(LinkLayer, IpInSnapFramingIsNotDecoded) {
    const Bytes frame = PadTo(Join({EthernetHeader(46), Hex("AA AA 03 00 00 00 08 00 45 00 00 14")}), 60);
    const Lines body = BlockBody(frame);
    for (const std::string& line : body) EXPECT_EQ(line.rfind("Protocol: ", 0), std::string::npos) << line;
    EXPECT_EQ(body[3], kDumpHeader);
    EXPECT_EQ(body[4].substr(0, 12), "45 00 00 14 ");
}

// A non-IP Ethernet II frame dumps stored length - 14 bytes from byte 14.
Lines DumpOf(size_t bytes) {
    Bytes payload;
    for (size_t i = 0; i < bytes; ++i) payload.push_back(static_cast<uint8_t>('A' + i % 26));
    const Lines body = BlockBody(Join({EthernetHeader(0x9000), payload}));
    return Lines(body.begin() + 2, body.end());
}

TEST(HexDump, LineCountsAndPaddingFollowTheRemainingBytes) {
    EXPECT_EQ(DumpOf(0), Lines{"No data"});

    const Lines twenty = DumpOf(20);
    ASSERT_EQ(twenty.size(), 2u);
    EXPECT_EQ(twenty[0], kDumpHeader);
    EXPECT_EQ(twenty[1],
              "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 53 54 ABCDEFGHIJKLMNOPQRST");

    const Lines twentyFive = DumpOf(25);
    ASSERT_EQ(twentyFive.size(), 3u);
    EXPECT_EQ(twentyFive[1], twenty[1]);
    EXPECT_EQ(twentyFive[2], "55 56 57 58 59 " + std::string(45, ' ') + "UVWXY");

    EXPECT_EQ(DumpOf(40).size(), 3u); // no empty trailing line after a full one
}

TEST(HexDump, OnlyPrintableAsciiShowsAsItself) {
    const Bytes frame = Join({EthernetHeader(0x9000), Hex("00 1F 20 41 7E 7F 80 FF")});
    const Lines body = BlockBody(frame);
    ASSERT_EQ(body.size(), 4u);
    EXPECT_EQ(body[3], "00 1F 20 41 7E 7F 80 FF " + std::string(36, ' ') + ".. A~...");
}

} // namespace
