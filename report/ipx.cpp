// IPX header lines, for Ethernet II type 8137h and Netware raw 802.3 frames.
#include "report/decoders.h"
#include "report/payload_cursor.h"
#include "report/report_line.h"

namespace {

constexpr uint16_t kRawLengthLimit = 1500; // a raw length field must be below it
constexpr uint16_t kIpxHeaderBytes = 30;

bool IsIpx(const FrameView& frame) {
    const uint16_t field = frame.Be16(kTypeOffset);
    if (field == kTypeIpx) return true;
    return field < kRawLengthLimit && frame.At(14) == 0xFF && frame.At(15) == 0xFF;
}

} // namespace

void DecodeIpx(const FrameView& frame) {
    if (!IsIpx(frame)) return;
    const size_t x = kNetworkOffset;
    const auto at = [&](size_t i) -> uint32_t { return frame.At(x + i); };

    StartLine().Text("Protocol: IPX").Write();
    StartLine()
        .Format("IPX 16 bits Checksum:            %02X%02Xh  IPX 16 bits Packet Length:         %02X%02Xh",
                {at(0), at(1), at(2), at(3)})
        .Write();
    StartLine()
        .Format("IPX 8 bits Transport Control:      %02Xh  IPX 8 bits Packet Type:              %02Xh",
                {at(4), at(5)})
        .Write();
    StartLine()
        .Format("IPX 32 bits Dest. Network:   %02X%02X%02X%02Xh  IPX 48 bits Dest. Node:    %02X%02X%02X%02X%02X%02Xh",
                {at(6), at(7), at(8), at(9), at(10), at(11), at(12), at(13), at(14), at(15)})
        .Write();
    StartLine().Format("IPX 16 bits Dest. Socket:        %02X%02Xh", {at(16), at(17)}).Write();
    StartLine()
        .Format("IPX 32 bits Source Network:  %02X%02X%02X%02Xh  IPX 48 bits Source Node:   %02X%02X%02X%02X%02X%02Xh",
                {at(18), at(19), at(20), at(21), at(22), at(23), at(24), at(25), at(26), at(27)})
        .Write();
    StartLine().Format("IPX 16 bits Source Socket:       %02X%02Xh", {at(28), at(29)}).Write();

    // The packet length bounds the dump, so Ethernet padding is not shown.
    PayloadCursor& cursor = ReportCursor();
    cursor.MoveTo(x + kIpxHeaderBytes);
    cursor.remaining = static_cast<uint16_t>(frame.Be16(x + 2) - kIpxHeaderBytes);
}
