// The per-frame writers of a frame block, called in this order by
// WriteFrameBlock. Each decoder decides for itself whether the frame is its
// kind, writes its lines with WriteReportLine and moves ReportCursor() past
// what it explained; otherwise it writes nothing and leaves the cursor alone.
#pragma once

#include "frame/framing.h"
#include "report/payload_cursor.h"

class LineBuilder;

// Link layer and dump (link_layer.cpp).
void WriteMacLine(const FrameView& frame);
void WriteFrameTypeLines(const FrameView& frame);
// The bytes the cursor still holds, never more than the frame has after the
// cursor's position.
void WriteHexDump(const FrameView& frame);
// count frame bytes from offset as "%02X" each, joined by separator (none when '\0').
LineBuilder& AppendHexBytes(LineBuilder& line, const FrameView& frame, size_t offset, size_t count,
                            char separator = '\0');

// Network layer (network_layer.cpp).
void DecodeIp(const FrameView& frame);
void DecodeArp(const FrameView& frame);
void DecodeIcmp(const FrameView& frame);

// Transport layer (transport_layer.cpp) and IPX (ipx.cpp).
void DecodeTcp(const FrameView& frame);
void DecodeUdp(const FrameView& frame);
void DecodeIpx(const FrameView& frame);

// An IP frame carrying protocol whose fragment offset DecodeIp found to be 0:
// the frames that get transport or ICMP lines.
inline bool FirstFragmentCarries(const FrameView& frame, uint8_t protocol)
{
    return CarriesIpProtocol(frame, protocol) && firstFragment;
}
