// Frames that lie about their contents, and the hand-made number formatting
// every line is built with.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "report/report_block.h"
#include "report/report_line.h"
#include "report_test_support.h"

namespace {

// Frames of every length up to 80 bytes of every kind the decoders know, in
// exactly sized heap buffers: no read outside them (sanitizer builds), the
// header shows the stored length (and a number wider than five digits whole),
// and the dump never shows more bytes than exist.
TEST(FrameBlock, RuntsAndTruncatedHeadersAreSafe)
{
    const Bytes kinds[] = {
        SynFrame(),
        PadTo(Join({EthernetHeader(0x0800), Hex("4F 00 FF FF 00 00 00 00 80 01")}), 80),
        PadTo(Join({EthernetHeader(0x0800), Hex("45 00 FF FF 00 00 00 00 80 11")}), 80),
        PadTo(Join({EthernetHeader(0x0806), Hex("00 01 08 00 FF FF 00 01")}), 80),
        PadTo(Join({EthernetHeader(0x8137), Hex("FF FF FF FF")}), 80),
        PadTo(Join({EthernetHeader(40), Hex("FF FF 00 05")}), 80),
        PadTo(Join({EthernetHeader(40), Hex("AA AA 03")}), 80),
    };
    for (const Bytes& kind : kinds) {
        for (size_t length = 0; length <= kind.size(); ++length) {
            std::unique_ptr<uint8_t[]> exact(new uint8_t[length]);
            std::copy_n(kind.begin(), length, exact.get());
            const Lines lines = SplitCrLf(CaptureOutput([&] {
                WriteFrameBlock({exact.get(), length}, static_cast<uint32_t>(length), {}, 123456);
            }));
            ASSERT_GE(lines.size(), 5u);
            char header[96];
            std::snprintf(header, sizeof header,
                          "--- Packet received:  0:00:00.00 --- Length: %04zu --- Assigned number: 123456 ---", length);
            EXPECT_EQ(lines[0], header);
            EXPECT_EQ(lines[lines.size() - 2], std::string(80, '-'));
            EXPECT_LE(DumpedBytes(lines).size(), length > 12 ? length - 12 : 0) << "length " << length;
        }
    }
}

// The hand-made conversions must match printf for every value a field can hold.
TEST(LineBuilder, FormatMatchesPrintf)
{
    std::mt19937 random(42);
    std::vector<uint32_t> values
        = {0, 1, 9, 10, 15, 16, 99, 100, 255, 256, 999, 1000, 4095, 9999, 10000, 65535, 99999, 100000, 2147483647u};
    for (int i = 0; i < 2000; ++i)
        values.push_back(random() % (i % 2 ? 256 : 70000));
    for (const char* pattern : {"%02X", "%X", "%04X", "%04d", "%02d", "%2d", "%05d", "%d", "a %02X%02Xh b %04dd c"}) {
        const bool three = std::string_view(pattern).size() > 5;
        for (size_t i = 0; i + 1 < values.size(); ++i) {
            const uint32_t a = three ? values[i] % 256 : values[i], b = values[i + 1] % 256,
                           c = values[(i * 7) % values.size()];
            char expected[64];
            LineBuilder line;
            if (three) {
                std::snprintf(expected, sizeof expected, pattern, a, b, static_cast<int>(c));
                line.Format(pattern, {a, b, c});
            } else {
                std::snprintf(expected, sizeof expected, pattern, static_cast<int>(a));
                line.Format(pattern, {a});
            }
            ASSERT_EQ(line.View(), expected) << pattern << " " << a;
        }
    }
}

} // namespace
