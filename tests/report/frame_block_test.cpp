// Whole report pieces: banner, frame header, end line, and frames that lie.
#include <cstdio>
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "report/report_block.h"
#include "report/report_line.h"
#include "report/report_output.h"
#include "report_test_support.h"

namespace {

using Lines = std::vector<std::string>;

TEST(FrameBlock, OneFrameReportIsByteExact) {
    const Bytes frame = SynFrame();
    const std::string text = CaptureOutput([&] {
        WriteReportBanner(WorkedExampleReportTime());
        WriteFrameBlock(frame, 60, WorkedExampleCaptureTime(), 0);
        WriteReportEnd();
    });
    EXPECT_EQ(text, kOneFrameReport);
    EXPECT_EQ(SplitCrLf(text).size(), 26u);
}

TEST(FrameBlock, HeaderLinePadsTheHourWithABlankAndWidensForLargeValues) {
    const Bytes frame = PadTo(EthernetHeader(0x9000), 60);
    const auto header = [&](CaptureTime time, uint32_t number) {
        return SplitCrLf(CaptureOutput([&] { WriteFrameBlock(frame, 60, time, number); }))[0];
    };
    EXPECT_EQ(header({.minute = 5, .hour = 9, .hundredths = 7, .second = 3}, 0),
              "--- Packet received:  9:05:03.07 --- Length: 0060 --- Assigned number: 00000 ---");
    EXPECT_EQ(header({.minute = 59, .hour = 23, .hundredths = 99, .second = 59}, 4999),
              "--- Packet received: 23:59:59.99 --- Length: 0060 --- Assigned number: 04999 ---");
    EXPECT_EQ(header({}, 123456),
              "--- Packet received:  0:00:00.00 --- Length: 0060 --- Assigned number: 123456 ---");
}

// Frames of every length from 0 to 80 bytes of every kind the decoders know,
// in exactly sized heap buffers: no read outside them (sanitizer builds), the
// header shows the stored length, and the block is well formed.
TEST(FrameBlock, RuntsAndTruncatedHeadersAreSafe) {
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
            std::copy(kind.begin(), kind.begin() + static_cast<long>(length), exact.get());
            const std::string text = CaptureOutput([&] {
                WriteFrameBlock({exact.get(), length}, static_cast<uint32_t>(length), {}, 7);
            });
            const Lines lines = SplitCrLf(text);
            ASSERT_GE(lines.size(), 5u);
            char header[96];
            std::snprintf(header, sizeof header,
                          "--- Packet received:  0:00:00.00 --- Length: %04zu --- Assigned number: 00007 ---",
                          length);
            EXPECT_EQ(lines[0], header);
            EXPECT_EQ(lines[lines.size() - 2], std::string(80, '-'));
            // Every dumped byte exists: never more hex bytes than the frame holds.
            size_t dumped = 0;
            bool inDump = false;
            for (const std::string& line : lines) {
                if (line.rfind("HEX data:", 0) == 0) {
                    inDump = true;
                } else if (inDump && line != std::string(80, '-')) {
                    const std::string hex = line.substr(0, 60);
                    dumped += (hex.find_last_not_of(' ') + 2) / 3;
                } else {
                    inDump = false;
                }
            }
            EXPECT_LE(dumped, length > 12 ? length - 12 : 0) << "length " << length;
        }
    }
}

TEST(FrameBlock, StoredLengthShorterThanTheBufferBoundsTheView) {
    // Bytes past the stored length are not part of the frame.
    const Bytes buffer = PadTo(Join({EthernetHeader(0x9000), Hex("11 22 33 44")}), 100);
    const Lines lines = BlockBody(buffer, 16);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "11 22 " + std::string(54, ' ') + ".\"");
}

TEST(ReportOutput, LargeReportsArriveWholeAndInOrder) {
    const std::string text = CaptureOutput([] {
        for (int i = 0; i < 50000; ++i) StartLine().Dec(static_cast<uint32_t>(i), 8).Write();
    });
    ASSERT_EQ(text.size(), 50000u * 10);
    EXPECT_EQ(text.substr(0, 20), "00000000\r\n00000001\r\n");
    EXPECT_EQ(text.substr(text.size() - 10), "00049999\r\n");
}

TEST(ReportOutput, OpenReplacesAnExistingFileAndCloseReportsFailure) {
    char path[] = "/tmp/quarn-report-output-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "old content that is long\r\n", 26), 26);
    close(fd);
    ASSERT_TRUE(OpenReportOutput(path));
    WriteReportLine("new");
    EXPECT_TRUE(CloseReportOutput());
    FILE* file = std::fopen(path, "rb");
    char content[64] = {};
    const size_t n = std::fread(content, 1, sizeof content, file);
    std::fclose(file);
    unlink(path);
    EXPECT_EQ(std::string(content, n), "new\r\n");

    EXPECT_FALSE(OpenReportOutput("/nonexistent-directory/output.txt"));

    FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    AttachReportOutput(fileno(full));
    WriteReportLine("lost");
    EXPECT_FALSE(CloseReportOutput());
    std::fclose(full);
}

// The hand-made conversions must match printf for every value a field can hold.
TEST(LineBuilder, FormatMatchesPrintf) {
    const char* patterns[] = {"%02X", "%X", "%04X", "%04d", "%02d", "%2d", "%05d", "%d", "a %02X%02Xh b %04dd c"};
    std::mt19937 random(42);
    std::vector<uint32_t> values = {0, 1, 9, 10, 15, 16, 99, 100, 255, 256, 999, 1000, 4095, 9999, 10000, 65535,
                                    99999, 100000, 2147483647u};
    for (int i = 0; i < 2000; ++i) values.push_back(random() % (i % 2 ? 256 : 70000));
    for (const char* pattern : patterns) {
        for (size_t i = 0; i + 1 < values.size(); ++i) {
            const uint32_t a = values[i], b = values[i + 1], c = values[(i * 7) % values.size()];
            char expected[64];
            if (std::string_view(pattern).size() > 5)
                std::snprintf(expected, sizeof expected, pattern, a % 256, b % 256, static_cast<int>(c));
            else
                std::snprintf(expected, sizeof expected, pattern, static_cast<int>(a));
            LineBuilder line;
            if (std::string_view(pattern).size() > 5)
                line.Format(pattern, {a % 256, b % 256, c});
            else
                line.Format(pattern, {a});
            ASSERT_EQ(line.View(), expected) << pattern << " " << a;
        }
    }
}

} // namespace
