// Which framing and which protocol a frame is: the checks the filter and the
// report share. Inline, because the filter makes them for every captured frame.
#pragma once

#include "frame/ethernet.h"
#include "frame/frame_view.h"

inline uint16_t TypeField(const FrameView& frame) { return frame.Be16(kTypeOffset); }

// Ethernet II: the type/length field is a type. Up to 1500, 1500 included, it
// is an 802.3 length and an LLC header follows.
inline bool IsEthernetII(const FrameView& frame) { return TypeField(frame) > kMaxLengthField; }

// How an 802.3 frame is framed, by its first two LLC bytes; both must match.
enum class LlcFraming { Snap, NetwareRaw, Netbeui, Ieee8022 };

inline LlcFraming LlcFramingOf(const FrameView& frame)
{
    const uint8_t dsap = frame.At(kDsapOffset);
    if (frame.At(kSsapOffset) != dsap)
        return LlcFraming::Ieee8022;
    switch (dsap) {
    case kSapSnap:
        return LlcFraming::Snap;
    case kRawIpxChecksumByte:
        return LlcFraming::NetwareRaw;
    case kSapNetbeui:
        return LlcFraming::Netbeui;
    default:
        return LlcFraming::Ieee8022;
    }
}

inline bool IsIp(const FrameView& frame) { return TypeField(frame) == kTypeIp; }
inline bool IsArp(const FrameView& frame) { return TypeField(frame) == kTypeArp; }
inline bool CarriesIpProtocol(const FrameView& frame, uint8_t protocol)
{
    return IsIp(frame) && frame.At(kIpProtocolOffset) == protocol;
}

// IPX in Ethernet II, or in raw 802.3: a length below 1500 (unlike the
// framing rule, 1500 itself does not count) with FF FF where the LLC bytes
// would be. IPX in SNAP or other 802.2 framing is not recognised.
inline bool IsIpx(const FrameView& frame)
{
    const uint16_t field = TypeField(frame);
    if (field == kTypeIpx)
        return true;
    return field < kMaxLengthField && frame.At(kDsapOffset) == kRawIpxChecksumByte
        && frame.At(kSsapOffset) == kRawIpxChecksumByte;
}

// NETBEUI, known by its service access points alone, whatever the type/length
// field holds: each of the two is F0 or F1.
inline bool IsNetbeui(const FrameView& frame)
{
    constexpr uint8_t kLowBit = 0x01; // group (DSAP) or response (SSAP)
    return (frame.At(kDsapOffset) & ~kLowBit) == kSapNetbeui && (frame.At(kSsapOffset) & ~kLowBit) == kSapNetbeui;
}
