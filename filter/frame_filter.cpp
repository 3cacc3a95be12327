#include "filter/frame_filter.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "filter/published_words.h"
#include "frame/framing.h"

namespace {

// The filter reads only the frame's head, up to the end of the IPX source node,
// through a view of that head: no test can stray beyond it.
constexpr size_t kJudgedBytes = kIpxSourceNodeOffset + sizeof FrameFilter::IPXSource;

FrameView JudgedHead(const uint8_t* frame) { return FrameView({frame, kJudgedBytes}); }

// Destination and source tests of one address kind; a test that is off holds.
template <size_t N>
bool PairTest(const FrameView& head, bool destOn, const uint8_t (&dest)[N], size_t destAt,
              bool sourceOn, const uint8_t (&source)[N], size_t sourceAt) {
    return (!destOn || head.Equals(destAt, dest)) && (!sourceOn || head.Equals(sourceAt, source));
}

// Both slots, published whole (published_words.h).
struct FilterPair {
    FrameFilter filter1;
    FrameFilter filter2;
};
static_assert(std::is_trivially_copyable_v<FilterPair>, "slots travel as raw words");
constexpr size_t kWords = (sizeof(FilterPair) + 7) / 8;

// All zero at start: both slots off, every address zero.
constinit PublishedWords<kWords> published;

FilterPair ReadPair() {
    const PublishedWords<kWords>::Words words = published.Get();
    FilterPair pair;
    std::memcpy(static_cast<void*>(&pair), words.data(), sizeof pair);
    return pair;
}

} // namespace

bool ClassifyProtocol(const FrameFilter& slot, const uint8_t* frame, FrameKind& kind) {
    const FrameView head = JudgedHead(frame);
    kind = KindOther;
    if (slot.ProtoIP && IsIp(head)) {
        kind = KindIP;
        const uint8_t protocol = head.At(kIpProtocolOffset);
        if (slot.ProtoUDP && protocol == kIpProtocolUdp)
            return true;
        if (slot.ProtoTCP && protocol == kIpProtocolTcp)
            return true;
        if (slot.ProtoICMP && protocol == kIpProtocolIcmp)
            return true;
        if (!slot.ProtoUDP && !slot.ProtoTCP && !slot.ProtoICMP)
            return true;
        // Not one of the chosen IP protocols: the later tests may still pass it.
    }
    if (slot.ProtoIPX && IsIpx(head)) {
        kind = KindIPX;
        return true;
    }
    if (slot.ProtoNETBEUI && IsNetbeui(head))
        return true;
    return !slot.ProtoIP && !slot.ProtoIPX && !slot.ProtoNETBEUI;
}

bool PassesFilter(const FrameFilter& slot, const uint8_t* frame) {
    const FrameView head = JudgedHead(frame);
    if (!PairTest(head, slot.MACDestOn, slot.MACDest, kMacDestinationOffset, slot.MACSourceOn, slot.MACSource,
                  kMacSourceOffset))
        return false;
    FrameKind kind;
    if (!ClassifyProtocol(slot, frame, kind))
        return false;
    switch (kind) {
    case KindIP:
        return PairTest(head, slot.IPDestOn, slot.IPDest, kIpDestinationOffset, slot.IPSourceOn, slot.IPSource,
                        kIpSourceOffset);
    case KindIPX:
        return PairTest(head, slot.IPXDestOn, slot.IPXDest, kIpxDestinationNodeOffset, slot.IPXSourceOn,
                        slot.IPXSource, kIpxSourceNodeOffset);
    case KindOther:
        break;
    }
    return true;
}

bool AcceptFrame(const uint8_t* frame) {
    const FilterPair pair = ReadPair(); // one consistent view for the whole judgement
    if (!pair.filter1.Enabled && !pair.filter2.Enabled)
        return true;
    if (pair.filter1.Enabled && PassesFilter(pair.filter1, frame))
        return true;
    return pair.filter2.Enabled && PassesFilter(pair.filter2, frame);
}

void PublishFilters(const FrameFilter& filter1, const FrameFilter& filter2) {
    const FilterPair pair{filter1, filter2};
    PublishedWords<kWords>::Words words{};
    std::memcpy(words.data(), &pair, sizeof pair);
    published.Publish(words);
}

void ReadFilters(FrameFilter& filter1, FrameFilter& filter2) {
    const FilterPair pair = ReadPair();
    filter1 = pair.filter1;
    filter2 = pair.filter2;
}
