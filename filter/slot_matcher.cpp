#include "filter/slot_matcher.h"

#include <algorithm>

namespace {

// Each field lies wholly inside its head word, and every word inside the head.
constexpr bool Inside(HeadWord w, size_t at, size_t bytes)
{
    return at >= kHeadWordOffset[w] && at + bytes <= kHeadWordOffset[w] + kHeadWordBytes
        && kHeadWordOffset[w] + kHeadWordBytes <= kJudgedBytes;
}
static_assert(Inside(kMacDestWord, kMacDestinationOffset, kMacAddressBytes)
              && Inside(kMacSourceWord, kMacSourceOffset, kMacAddressBytes)
              && Inside(kIpPairWord, kIpSourceOffset, kIpAddressBytes)
              && Inside(kIpPairWord, kIpDestinationOffset, kIpAddressBytes)
              && Inside(kIpxDestWord, kIpxDestinationNodeOffset, kIpxNodeBytes)
              && Inside(kIpxSourceWord, kIpxSourceNodeOffset, kIpxNodeBytes));

// The protocol test for a frame of the given class: the rule of ClassifyProtocol,
// step by step, over what the class says of the frame.
Verdict VerdictFor(const FrameFilter& slot, unsigned frameClass)
{
    const bool ip = frameClass & kClassIp, ipx = frameClass & kClassIpx, netbeui = frameClass & kClassNetbeui;
    const unsigned protocol = frameClass >> kProtocolShift;
    bool foundIp = false;
    if (slot.ProtoIP && ip) {
        foundIp = true;
        if ((slot.ProtoUDP && protocol == kProtocolUdp) || (slot.ProtoTCP && protocol == kProtocolTcp)
            || (slot.ProtoICMP && protocol == kProtocolIcmp) || (!slot.ProtoUDP && !slot.ProtoTCP && !slot.ProtoICMP))
            return kPassIp;
        // Not one of the chosen IP protocols: the later tests may still pass it.
    }
    if (slot.ProtoIPX && ipx)
        return kPassIpx;
    if (slot.ProtoNETBEUI && netbeui)
        return foundIp ? kPassIp : kPassOther;
    return !slot.ProtoIP && !slot.ProtoIPX && !slot.ProtoNETBEUI ? kPassOther : kFail;
}

// Masks and values built byte by byte in the head words' own byte order.
struct WordBytes {
    uint8_t mask[kHeadWords][kHeadWordBytes] = {};
    uint8_t value[kHeadWords][kHeadWordBytes] = {};

    // The field at frame offset `at` must equal `field` when `on`.
    template <size_t N>
    void Require(bool on, HeadWord w, size_t at, const uint8_t (&field)[N])
    {
        static_assert(N <= kHeadWordBytes);
        if (!on)
            return;
        const size_t first = at - kHeadWordOffset[w];
        std::fill_n(mask[w] + first, N, 0xFF);
        std::copy_n(field, N, value[w] + first);
    }
};

void Compile(const FrameFilter& slot, uint64_t (&matcher)[kMatcherWords])
{
    uint64_t verdicts = 0;
    for (unsigned frameClass = 0; frameClass < kFrameClasses; ++frameClass)
        verdicts |= uint64_t(slot.Enabled ? VerdictFor(slot, frameClass) : kFail) << (frameClass * kVerdictBits);
    matcher[kVerdictsWord] = verdicts;

    WordBytes bytes;
    bytes.Require(slot.MACDestOn, kMacDestWord, kMacDestinationOffset, slot.MACDest);
    bytes.Require(slot.MACSourceOn, kMacSourceWord, kMacSourceOffset, slot.MACSource);
    bytes.Require(slot.IPDestOn, kIpPairWord, kIpDestinationOffset, slot.IPDest);
    bytes.Require(slot.IPSourceOn, kIpPairWord, kIpSourceOffset, slot.IPSource);
    bytes.Require(slot.IPXDestOn, kIpxDestWord, kIpxDestinationNodeOffset, slot.IPXDest);
    bytes.Require(slot.IPXSourceOn, kIpxSourceWord, kIpxSourceNodeOffset, slot.IPXSource);
    for (size_t w = 0; w < kHeadWords; ++w) {
        std::memcpy(&matcher[kMaskWords + w], bytes.mask[w], kHeadWordBytes);
        std::memcpy(&matcher[kValueWords + w], bytes.value[w], kHeadWordBytes);
    }
}

} // namespace

void CompileSlots(const FrameFilter& filter1, const FrameFilter& filter2, uint64_t (&matcher1)[kMatcherWords],
                  uint64_t (&matcher2)[kMatcherWords])
{
    if (!filter1.Enabled && !filter2.Enabled) {
        std::fill_n(matcher1, kMatcherWords, 0); // passes every frame
        std::fill_n(matcher2, kMatcherWords, 0);
        return;
    }
    Compile(filter1, matcher1);
    Compile(filter2, matcher2);
}
