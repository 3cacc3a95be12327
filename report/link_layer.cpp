// Link-layer lines (MAC addresses, framing) and the hex and ASCII dump.
#include <algorithm>
#include <array>
#include <cstring>

#include "report/decoders.h"
#include "report/payload_cursor.h"
#include "report/report_line.h"

namespace {

constexpr uint16_t kMaxLengthField = 1500; // above: an Ethernet II type
constexpr size_t kDumpBytesPerLine = 20;
constexpr size_t kDumpAsciiColumn = 60;    // 0-based column of the character part

void AppendMac(LineBuilder& line, const FrameView& frame, size_t offset) {
    for (size_t i = 0; i < 6; ++i) {
        if (i != 0) line.Char(':');
        line.Hex2(frame.At(offset + i));
    }
}

// One way of framing an 802.3 frame, chosen by its first two LLC bytes.
struct LlcFraming {
    uint8_t dsap, ssap;
    void (*write)(const FrameView& frame, uint16_t length);
    uint32_t headerEnd; // offset of the first byte after the link header
};

void WriteSnap(const FrameView& f, uint16_t length) {
    StartLine()
        .Format("Frametype: Ethernet Snap, Length field %d, DSAP AAh, SSAP AAh, Control %02X",
                {length, f.At(16)})
        .Write();
    StartLine()
        .Format("LLC SNAP Organisation Code: %02X%02X%02Xh Protocol field: %02X%02Xh",
                {f.At(17), f.At(18), f.At(19), f.At(20), f.At(21)})
        .Write();
}

void WriteNetwareRaw(const FrameView&, uint16_t length) {
    StartLine().Format("Frametype: Netware 802.3, Length field %d", {length}).Write();
}

void WriteIeee8023(const FrameView&, uint16_t length) {
    StartLine().Format("Frametype: IEEE 802.3, Length field %d, DSAP F0h, SSAP F0h", {length}).Write();
}

void WriteIeee8022(const FrameView& f, uint16_t length) {
    StartLine()
        .Format("Frametype: IEEE 802.2 within 802.3, Length field %d, DSAP %02X, SSAP %02X, Control %02X",
                {length, f.At(14), f.At(15), f.At(16)})
        .Write();
}

constexpr std::array<LlcFraming, 3> kLlcFramings{{
    {0xAA, 0xAA, WriteSnap, 22},
    {0xFF, 0xFF, WriteNetwareRaw, 16},
    {0xF0, 0xF0, WriteIeee8023, 16},
}};
constexpr LlcFraming kOtherLlc{0, 0, WriteIeee8022, 17};

char Printable(uint8_t byte) { return byte >= 32 && byte <= 126 ? static_cast<char>(byte) : '.'; }

} // namespace

void WriteMacLine(const FrameView& frame) {
    LineBuilder& line = StartLine().Text("MAC destination: ");
    AppendMac(line, frame, 0);
    line.Text("      MAC source: ");
    AppendMac(line, frame, 6);
    line.Write();
}

void WriteFrameTypeLines(const FrameView& frame) {
    PayloadCursor& cursor = ReportCursor();
    const uint16_t field = frame.Be16(kTypeOffset);
    if (field > kMaxLengthField) {
        StartLine().Format("Frametype: Ethernet II, Protocol field: %04Xh", {field}).Write();
        cursor.MoveTo(kNetworkOffset);
        cursor.Lower(kNetworkOffset - kTypeOffset);
        return;
    }
    const LlcFraming* framing = &kOtherLlc;
    for (const LlcFraming& candidate : kLlcFramings) {
        if (frame.At(14) == candidate.dsap && frame.At(15) == candidate.ssap) {
            framing = &candidate;
            break;
        }
    }
    framing->write(frame, field);
    cursor.MoveTo(framing->headerEnd);
    cursor.Lower(framing->headerEnd - kTypeOffset);
}

void WriteHexDump(const FrameView& frame) {
    const PayloadCursor& cursor = ReportCursor();
    const std::span<const uint8_t> bytes = frame.Tail(cursor.position, cursor.remaining);
    if (bytes.empty()) {
        StartLine().Text("No data").Write();
        return;
    }
    StartLine().Text("HEX data:").Blanks(51).Text("ASCII data:").Write();
    // Each line is laid out in place: hex part, blanks up to the character
    // part, then the characters.
    for (size_t start = 0; start < bytes.size(); start += kDumpBytesPerLine) {
        const size_t count = std::min(kDumpBytesPerLine, bytes.size() - start);
        LineBuilder& line = StartLine();
        char* out = line.Extend(kDumpAsciiColumn + count);
        char* text = out + kDumpAsciiColumn;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t byte = bytes[start + i];
            std::memcpy(out, kHexTable.digits[byte], 3);
            out += 3;
            text[i] = Printable(byte);
        }
        std::memset(out, ' ', static_cast<size_t>(text - out));
        line.Write();
    }
}
