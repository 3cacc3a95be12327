// IPX header lines, for Ethernet II type 8137h and Netware raw 802.3 frames.
#include "report/decoders.h"
#include "report/payload_cursor.h"
#include "report/report_line.h"

void DecodeIpx(const FrameView& frame)
{
    if (!IsIpx(frame))
        return;
    const size_t x = kNetworkOffset;
    const auto at = [&](size_t i) -> uint32_t { return frame.At(x + i); };

    StartLine().Text("Protocol: IPX").Write();
    StartLine()
        .Format("IPX 16 bits Checksum:            %02X%02Xh  IPX 16 bits Packet Length:         %02X%02Xh",
                {at(0), at(1), at(2), at(3)})
        .Write();
    StartLine()
        .Format("IPX 8 bits Transport Control:      %02Xh  IPX 8 bits Packet Type:              %02Xh", {at(4), at(5)})
        .Write();
    // The node addresses, which the filter compares too, follow their network numbers.
    LineBuilder& dest = StartLine().Format(
        "IPX 32 bits Dest. Network:   %02X%02X%02X%02Xh  IPX 48 bits Dest. Node:    ", {at(6), at(7), at(8), at(9)});
    AppendHexBytes(dest, frame, kIpxDestinationNodeOffset, kIpxNodeBytes).Char('h').Write();
    StartLine().Format("IPX 16 bits Dest. Socket:        %02X%02Xh", {at(16), at(17)}).Write();
    LineBuilder& source
        = StartLine().Format("IPX 32 bits Source Network:  %02X%02X%02X%02Xh  IPX 48 bits Source Node:   ",
                             {at(18), at(19), at(20), at(21)});
    AppendHexBytes(source, frame, kIpxSourceNodeOffset, kIpxNodeBytes).Char('h').Write();
    StartLine().Format("IPX 16 bits Source Socket:       %02X%02Xh", {at(28), at(29)}).Write();

    // The packet length bounds the dump, so Ethernet padding is not shown.
    PayloadCursor& cursor = ReportCursor();
    cursor.MoveTo(x + kIpxHeaderBytes);
    cursor.remaining = static_cast<uint16_t>(frame.Be16(kIpxPacketLengthOffset) - kIpxHeaderBytes);
}
