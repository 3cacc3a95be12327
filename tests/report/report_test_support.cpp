#include "report_test_support.h"

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

#include <gtest/gtest.h>

#include "report/report_block.h"
#include "report/report_output.h"

Bytes Hex(std::string_view text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0) throw std::invalid_argument("odd number of hex digits");
    return out;
}

Bytes Join(std::initializer_list<Bytes> pieces) {
    Bytes out;
    for (const Bytes& piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

Bytes PadTo(Bytes frame, size_t size) {
    if (frame.size() < size) frame.resize(size, 0);
    return frame;
}

Bytes EthernetHeader(uint16_t typeOrLength, std::string_view destination, std::string_view source) {
    return Join({Hex(destination), Hex(source),
                 Bytes{static_cast<uint8_t>(typeOrLength >> 8), static_cast<uint8_t>(typeOrLength)}});
}

std::string CaptureOutput(const std::function<void()>& write) {
    FILE* file = std::tmpfile();
    if (!file) throw std::runtime_error("no temporary file");
    const int fd = fileno(file);
    AttachReportOutput(fd);
    write();
    EXPECT_TRUE(CloseReportOutput());
    std::string text;
    char chunk[65536];
    ssize_t n;
    off_t offset = 0;
    while ((n = pread(fd, chunk, sizeof chunk, offset)) > 0) {
        text.append(chunk, static_cast<size_t>(n));
        offset += n;
    }
    std::fclose(file);
    return text;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line does not end with CR LF: " << text.substr(start);
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    for (const std::string& line : lines)
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break in: " << line;
    return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::vector<std::string> BlockBody(const Bytes& frame, uint32_t storedLength) {
    // Exactly sized copy, so a sanitizer catches any read past the frame.
    std::vector<uint8_t> exact(frame);
    exact.shrink_to_fit();
    const std::vector<std::string> lines = SplitCrLf(CaptureOutput([&] {
        WriteFrameBlock(exact, storedLength, CaptureTime{}, 0);
    }));
    EXPECT_GE(lines.size(), 4u);
    if (lines.size() < 4) return lines;
    EXPECT_EQ(lines[lines.size() - 2], std::string(80, '-'));
    EXPECT_EQ(lines.back(), "");
    return {lines.begin() + 1, lines.end() - 2};
}

std::vector<std::string> BlockBody(const Bytes& frame) {
    return BlockBody(frame, static_cast<uint32_t>(frame.size()));
}

Bytes SynFrame() {
    return PadTo(Join({EthernetHeader(0x0800),
                       Hex("45 00 00 2C 1A 2B 40 00 80 06 00 00 C0 A8 01 0A C0 A8 01 14"
                           "04 0B 00 50 00 00 10 00 00 00 00 00 60 02 20 00 00 00 00 00"
                           "02 04 05 B4")}),
                 60);
}

CaptureTime WorkedExampleCaptureTime() { return {.minute = 41, .hour = 9, .hundredths = 25, .second = 7}; }

std::tm WorkedExampleReportTime() {
    std::tm t{};
    t.tm_mday = 7;
    t.tm_mon = 2;
    t.tm_year = 99;
    t.tm_hour = 14;
    t.tm_min = 5;
    return t;
}

const char kOneFrameReport[] =
    "********************************************************************************\r\n"
    "*   Quarn Analyser Output File                                                 *\r\n"
    "*   Created 07-03-1999 at 14:05                                                *\r\n"
    "********************************************************************************\r\n"
    "\r\n"
    "--- Packet received:  9:41:07.25 --- Length: 0060 --- Assigned number: 00000 ---\r\n"
    "MAC destination: 02:00:00:11:22:33      MAC source: 02:00:00:44:55:66\r\n"
    "Frametype: Ethernet II, Protocol field: 0800h\r\n"
    "Protocol: IP\r\n"
    "IP 4 bits IP version:               4h  IP 4 bits Header length:              5h\r\n"
    "IP 8 bits Type of service:         00h  IP 16 bits Total length:           0044d\r\n"
    "IP 16 bits Identification:       1A2Bh  IP 3 bits Flags:                      2h\r\n"
    "IP 13 bits Fragment Offset:      0000h  IP 8 bits TTL:                       80h\r\n"
    "IP 8 bits Protocol type:     TCP = 06h  IP 16 bits Header Checksum:        0000h\r\n"
    "IP source address: 192.168.1.10         IP destination address: 192.168.1.20\r\n"
    "TCP 16 bits source port:         1035d  TCP 16 bits destination port:      0080d\r\n"
    "TCP 32 bits sequence number: 00001000h  TCP 32 bits ack number:        00000000h\r\n"
    "TCP 4 bits data offset:             6h  TCP 6 bits reserved                  00h\r\n"
    "TCP 6 bits control flags : 02h SYN \r\n"
    "TCP 16 bits window size:         2000h\r\n"
    "TCP 16 bits checksum:            0000h  TCP 16 bits urgent pointer:        0000h\r\n"
    "HEX data:                                                   ASCII data:\r\n"
    "02 04 05 B4                                                 ....\r\n"
    "--------------------------------------------------------------------------------\r\n"
    "\r\n"
    "*** End of file ****************************************************************\r\n";
