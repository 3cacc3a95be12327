#include "filter/frame_filter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "filter/published_words.h"
#include "filter/slot_matcher.h"
#include "frame/framing.h"

namespace {

// Destination and source tests of one address kind; a test that is off holds.
template <size_t N>
bool PairTest(const FrameView& head, bool destOn, const uint8_t (&dest)[N], size_t destAt, bool sourceOn,
              const uint8_t (&source)[N], size_t sourceAt)
{
    return (!destOn || head.Equals(destAt, dest)) && (!sourceOn || head.Equals(sourceAt, source));
}

// Both slots, published whole (published_words.h): compiled for AcceptFrame,
// and as given for ReadFilters.
struct FilterPair {
    FrameFilter filter1;
    FrameFilter filter2;
};
static_assert(std::is_trivially_copyable_v<FilterPair>, "slots travel as raw words");
constexpr size_t kPairWords = (sizeof(FilterPair) + 7) / 8;
// The words of a publication: both compiled slots, then the slots as given.
constexpr size_t kMatcher1 = 0, kMatcher2 = kMatcherWords, kPairAt = 2 * kMatcherWords;
constexpr size_t kWords = kPairAt + kPairWords;

// All zero at start: both slots off, every address zero, and the compiled
// first slot passing every frame.
constinit PublishedWords<kWords> published;

} // namespace

bool ClassifyProtocol(const FrameFilter& slot, const uint8_t* frame, FrameKind& kind)
{
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

bool PassesFilter(const FrameFilter& slot, const uint8_t* frame)
{
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
        return PairTest(head, slot.IPXDestOn, slot.IPXDest, kIpxDestinationNodeOffset, slot.IPXSourceOn, slot.IPXSource,
                        kIpxSourceNodeOffset);
    case KindOther:
        break;
    }
    return true;
}

bool AcceptFrame(const uint8_t* frame)
{
    const FrameView head = JudgedHead(frame);
    const unsigned frameClass = FrameClassOf(head);
    return published.ReadWhole([&head, frameClass](const std::atomic<uint64_t>* words) {
        return Matches(words + kMatcher1, head, frameClass) || Matches(words + kMatcher2, head, frameClass);
    });
}

void PublishFilters(const FrameFilter& filter1, const FrameFilter& filter2)
{
    PublishedWords<kWords>::Words words{};
    uint64_t matcher1[kMatcherWords], matcher2[kMatcherWords];
    CompileSlots(filter1, filter2, matcher1, matcher2);
    std::copy_n(matcher1, kMatcherWords, &words[kMatcher1]);
    std::copy_n(matcher2, kMatcherWords, &words[kMatcher2]);
    const FilterPair pair{filter1, filter2};
    std::memcpy(&words[kPairAt], &pair, sizeof pair);
    published.Publish(words);
}

void ReadFilters(FrameFilter& filter1, FrameFilter& filter2)
{
    const PublishedWords<kWords>::Words words = published.Get();
    FilterPair pair;
    std::memcpy(static_cast<void*>(&pair), &words[kPairAt], sizeof pair);
    filter1 = pair.filter1;
    filter2 = pair.filter2;
}
