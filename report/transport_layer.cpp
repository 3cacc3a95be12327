// Transport-layer lines: TCP and UDP headers of first fragments.
#include "report/decoders.h"
#include "report/name_tables.h"
#include "report/payload_cursor.h"
#include "report/report_line.h"

namespace {

constexpr uint32_t kTcpHeaderBytes = 20;
constexpr uint32_t kUdpHeaderBytes = 8;

} // namespace

void DecodeTcp(const FrameView& frame)
{
    if (!FirstFragmentCarries(frame, kIpProtocolTcp))
        return;
    // Transport headers are read at byte 34 whatever the IP header length says.
    const size_t t = kTransportOffset;
    const uint8_t offsetByte = frame.At(t + 12);
    const uint8_t flagByte = frame.At(t + 13);

    StartLine()
        .Format("TCP 16 bits source port:         %04dd  TCP 16 bits destination port:      %04dd",
                {frame.Be16(t), frame.Be16(t + 2)})
        .Write();
    StartLine()
        .Format("TCP 32 bits sequence number: %02X%02X%02X%02Xh  TCP 32 bits ack number:        %02X%02X%02X%02Xh",
                {frame.At(t + 4), frame.At(t + 5), frame.At(t + 6), frame.At(t + 7), frame.At(t + 8), frame.At(t + 9),
                 frame.At(t + 10), frame.At(t + 11)})
        .Write();
    // The reserved bits: the low nibble of byte 12, then the top two bits of byte 13.
    StartLine()
        .Format(
            "TCP 4 bits data offset:             %Xh  TCP 6 bits reserved                  %02Xh",
            {static_cast<uint32_t>(offsetByte >> 4), static_cast<uint32_t>((offsetByte & 0x0F) << 2 | flagByte >> 6)})
        .Write();
    const uint8_t flags = flagByte & 0x3F;
    LineBuilder& flagLine = StartLine().Format("TCP 6 bits control flags : %02Xh ", {flags});
    for (const TcpFlagName& flag : TcpFlagNames())
        if (flags & flag.bit)
            flagLine.Text(flag.name);
    flagLine.Write();
    StartLine().Format("TCP 16 bits window size:         %02X%02Xh", {frame.At(t + 14), frame.At(t + 15)}).Write();
    StartLine()
        .Format("TCP 16 bits checksum:            %02X%02Xh  TCP 16 bits urgent pointer:        %02X%02Xh",
                {frame.At(t + 16), frame.At(t + 17), frame.At(t + 18), frame.At(t + 19)})
        .Write();
    // Always 20: options stay for the dump.
    PayloadCursor& cursor = ReportCursor();
    cursor.MoveTo(t + kTcpHeaderBytes);
    cursor.Lower(kTcpHeaderBytes);
}

void DecodeUdp(const FrameView& frame)
{
    if (!FirstFragmentCarries(frame, kIpProtocolUdp))
        return;
    const size_t u = kTransportOffset;
    StartLine()
        .Format("UDP 16 bits source port:         %04dd  UDP 16 bits destination port:      %04dd",
                {frame.Be16(u), frame.Be16(u + 2)})
        .Write();
    StartLine()
        .Format("UDP 16 bits length:              %02X%02Xh  UDP 16 bits checksum:              %02X%02Xh",
                {frame.At(u + 4), frame.At(u + 5), frame.At(u + 6), frame.At(u + 7)})
        .Write();
    PayloadCursor& cursor = ReportCursor();
    cursor.MoveTo(u + kUdpHeaderBytes);
    cursor.Lower(kUdpHeaderBytes);
}
