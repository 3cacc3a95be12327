// The per-frame writers of a frame block, called in this order by
// WriteFrameBlock. Each decoder decides for itself whether the frame is its
// kind, writes its lines with WriteReportLine and moves ReportCursor() past
// what it explained; otherwise it writes nothing and leaves the cursor alone.
#pragma once

#include "frame/frame_view.h"

// Link layer and dump (link_layer.cpp).
void WriteMacLine(const FrameView& frame);
void WriteFrameTypeLines(const FrameView& frame);
// The bytes the cursor still holds, never more than the frame has after the
// cursor's position.
void WriteHexDump(const FrameView& frame);

// Network layer (network_layer.cpp).
void DecodeIp(const FrameView& frame);
void DecodeArp(const FrameView& frame);
void DecodeIcmp(const FrameView& frame);

// Transport layer (transport_layer.cpp) and IPX (ipx.cpp).
void DecodeTcp(const FrameView& frame);
void DecodeUdp(const FrameView& frame);
void DecodeIpx(const FrameView& frame);

// Frame offsets and type values the decoders share.
inline constexpr size_t kTypeOffset = 12;
inline constexpr size_t kNetworkOffset = 14;
inline constexpr size_t kTransportOffset = 34;
inline constexpr uint16_t kTypeIp = 0x0800;
inline constexpr uint16_t kTypeArp = 0x0806;
inline constexpr uint16_t kTypeIpx = 0x8137;
inline constexpr size_t kIpProtocolOffset = 23;
