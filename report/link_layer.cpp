// Link-layer lines (MAC addresses, framing) and the hex and ASCII dump.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "report/decoders.h"
#include "report/payload_cursor.h"
#include "report/report_line.h"

namespace {

constexpr size_t kDumpBytesPerLine = 20;
constexpr size_t kDumpAsciiColumn = 60; // 0-based column of the character part

void WriteSnap(const FrameView& f, uint16_t length)
{
    StartLine()
        .Format("Frametype: Ethernet Snap, Length field %d, DSAP AAh, SSAP AAh, Control %02X",
                {length, f.At(kLlcControlOffset)})
        .Write();
    constexpr size_t code = kSnapOrganisationOffset, protocol = kSnapProtocolOffset;
    StartLine()
        .Format("LLC SNAP Organisation Code: %02X%02X%02Xh Protocol field: %02X%02Xh",
                {f.At(code), f.At(code + 1), f.At(code + 2), f.At(protocol), f.At(protocol + 1)})
        .Write();
}

void WriteNetwareRaw(const FrameView&, uint16_t length)
{
    StartLine().Format("Frametype: Netware 802.3, Length field %d", {length}).Write();
}

void WriteIeee8023(const FrameView&, uint16_t length)
{
    StartLine().Format("Frametype: IEEE 802.3, Length field %d, DSAP F0h, SSAP F0h", {length}).Write();
}

void WriteIeee8022(const FrameView& f, uint16_t length)
{
    StartLine()
        .Format("Frametype: IEEE 802.2 within 802.3, Length field %d, DSAP %02X, SSAP %02X, Control %02X",
                {length, f.At(kDsapOffset), f.At(kSsapOffset), f.At(kLlcControlOffset)})
        .Write();
}

// The lines of each 802.3 framing and the end of its link header, in the order
// of LlcFraming. The Netware raw and F0 F0 headers end after the two LLC bytes,
// so the F0 F0 frame's control byte is left for the dump.
struct FramingLines {
    void (*write)(const FrameView& frame, uint16_t length);
    uint32_t headerEnd;
};
constexpr FramingLines kFramingLines[] = {
    {WriteSnap, kSnapEnd},                // LlcFraming::Snap
    {WriteNetwareRaw, kLlcControlOffset}, // LlcFraming::NetwareRaw
    {WriteIeee8023, kLlcControlOffset},   // LlcFraming::Netbeui
    {WriteIeee8022, kLlcEnd},             // LlcFraming::Ieee8022
};
static_assert(std::size(kFramingLines) == static_cast<size_t>(LlcFraming::Ieee8022) + 1);

char Printable(uint8_t byte) { return byte >= 32 && byte <= 126 ? static_cast<char>(byte) : '.'; }

} // namespace

LineBuilder& AppendHexBytes(LineBuilder& line, const FrameView& frame, size_t offset, size_t count, char separator)
{
    for (size_t i = 0; i < count; ++i) {
        if (i != 0 && separator != '\0')
            line.Char(separator);
        line.Hex2(frame.At(offset + i));
    }
    return line;
}

void WriteMacLine(const FrameView& frame)
{
    LineBuilder& line = StartLine().Text("MAC destination: ");
    AppendHexBytes(line, frame, kMacDestinationOffset, kMacAddressBytes, ':').Text("      MAC source: ");
    AppendHexBytes(line, frame, kMacSourceOffset, kMacAddressBytes, ':').Write();
}

void WriteFrameTypeLines(const FrameView& frame)
{
    PayloadCursor& cursor = ReportCursor();
    const uint16_t field = TypeField(frame);
    if (IsEthernetII(frame)) {
        StartLine().Format("Frametype: Ethernet II, Protocol field: %04Xh", {field}).Write();
        cursor.MoveTo(kNetworkOffset);
        cursor.Lower(kNetworkOffset - kTypeOffset);
        return;
    }
    const FramingLines& framing = kFramingLines[static_cast<size_t>(LlcFramingOf(frame))];
    framing.write(frame, field);
    cursor.MoveTo(framing.headerEnd);
    cursor.Lower(framing.headerEnd - kTypeOffset);
}

void WriteHexDump(const FrameView& frame)
{
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
