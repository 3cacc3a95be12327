#include "filter/frame_filter.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <type_traits>

namespace {

// The filter reads only the frame's first 42 bytes: up to the IPX source node.
constexpr size_t kJudgedBytes = 42;

// The one way the filter reads frame bytes: offsets past the judged head read
// as zero, so no test can stray beyond it.
class FrameHead {
public:
    explicit FrameHead(const uint8_t* frame) : frame_(frame) {}
    uint8_t At(size_t offset) const { return offset < kJudgedBytes ? frame_[offset] : 0; }
    uint16_t Be16(size_t offset) const { return static_cast<uint16_t>(At(offset) << 8 | At(offset + 1)); }
    template <size_t N>
    bool Equals(size_t offset, const uint8_t (&field)[N]) const {
        for (size_t i = 0; i < N; ++i)
            if (At(offset + i) != field[i])
                return false;
        return true;
    }

private:
    const uint8_t* frame_;
};

// Frame offsets of the fields the tests compare.
constexpr size_t kMACDest = 0, kMACSource = 6, kType = 12, kDSAP = 14, kSSAP = 15;
constexpr size_t kIPProtocol = 23, kIPSource = 26, kIPDest = 30;
constexpr size_t kIPXDest = 24, kIPXSource = 36;

constexpr uint16_t kTypeIP = 0x0800, kTypeIPX = 0x8137, kIPXLengthLimit = 1500;
constexpr uint8_t kProtoICMP = 1, kProtoTCP = 6, kProtoUDP = 17;

// Destination and source tests of one address kind; a test that is off holds.
template <size_t N>
bool PairTest(const FrameHead& head, bool destOn, const uint8_t (&dest)[N], size_t destAt,
              bool sourceOn, const uint8_t (&source)[N], size_t sourceAt) {
    return (!destOn || head.Equals(destAt, dest)) && (!sourceOn || head.Equals(sourceAt, source));
}

// Both slots, published whole. Each copy is a small seqlock over words read and
// written as atomics: the publisher fills the copy that is not active
// and then makes it active, so a reader finds the active copy complete and is
// sent round again only when two publications overtake one read.
struct FilterPair {
    FrameFilter filter1;
    FrameFilter filter2;
};
static_assert(std::is_trivially_copyable_v<FilterPair>, "slots travel as raw words");
constexpr size_t kWords = (sizeof(FilterPair) + 7) / 8;
using Words = std::array<uint64_t, kWords>;

struct alignas(64) PublishedCopy {
    std::atomic<uint32_t> sequence{0}; // odd while being written
    std::atomic<uint64_t> words[kWords] = {};
};

PublishedCopy copies[2]; // all zero: both slots off, every address zero
std::atomic<uint32_t> active{0};
std::mutex publisher; // serialises publishers only; readers never take it

FilterPair ReadPair() {
    Words words;
    for (;;) {
        const PublishedCopy& copy = copies[active.load(std::memory_order_acquire)];
        const uint32_t before = copy.sequence.load(std::memory_order_acquire);
        if (before & 1)
            continue;
        // Acquire on each word: a word from a later publication brings its
        // odd sequence along, so the check below sees the change.
        for (size_t i = 0; i < kWords; ++i)
            words[i] = copy.words[i].load(std::memory_order_acquire);
        if (copy.sequence.load(std::memory_order_relaxed) == before)
            break;
    }
    FilterPair pair;
    std::memcpy(static_cast<void*>(&pair), words.data(), sizeof pair);
    return pair;
}

} // namespace

bool ClassifyProtocol(const FrameFilter& slot, const uint8_t* frame, FrameKind& kind) {
    const FrameHead head(frame);
    kind = KindOther;
    if (slot.ProtoIP && head.Be16(kType) == kTypeIP) {
        kind = KindIP;
        const uint8_t protocol = head.At(kIPProtocol);
        if (slot.ProtoUDP && protocol == kProtoUDP)
            return true;
        if (slot.ProtoTCP && protocol == kProtoTCP)
            return true;
        if (slot.ProtoICMP && protocol == kProtoICMP)
            return true;
        if (!slot.ProtoUDP && !slot.ProtoTCP && !slot.ProtoICMP)
            return true;
        // Not one of the chosen IP protocols: the later tests may still pass it.
    }
    if (slot.ProtoIPX) {
        const uint16_t type = head.Be16(kType);
        const bool rawIPX = type < kIPXLengthLimit && head.At(kDSAP) == 0xFF && head.At(kSSAP) == 0xFF;
        if (type == kTypeIPX || rawIPX) {
            kind = KindIPX;
            return true;
        }
    }
    // NETBEUI is known by its service access points alone (F0 or F1 each).
    if (slot.ProtoNETBEUI && (head.At(kDSAP) & 0xFE) == 0xF0 && (head.At(kSSAP) & 0xFE) == 0xF0)
        return true;
    return !slot.ProtoIP && !slot.ProtoIPX && !slot.ProtoNETBEUI;
}

bool PassesFilter(const FrameFilter& slot, const uint8_t* frame) {
    const FrameHead head(frame);
    if (!PairTest(head, slot.MACDestOn, slot.MACDest, kMACDest, slot.MACSourceOn, slot.MACSource, kMACSource))
        return false;
    FrameKind kind;
    if (!ClassifyProtocol(slot, frame, kind))
        return false;
    switch (kind) {
    case KindIP:
        return PairTest(head, slot.IPDestOn, slot.IPDest, kIPDest, slot.IPSourceOn, slot.IPSource, kIPSource);
    case KindIPX:
        return PairTest(head, slot.IPXDestOn, slot.IPXDest, kIPXDest, slot.IPXSourceOn, slot.IPXSource,
                        kIPXSource);
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
    Words words{};
    std::memcpy(words.data(), &pair, sizeof pair);

    std::lock_guard lock(publisher);
    const uint32_t target = 1 - active.load(std::memory_order_relaxed);
    PublishedCopy& copy = copies[target];
    const uint32_t sequence = copy.sequence.load(std::memory_order_relaxed);
    copy.sequence.store(sequence + 1, std::memory_order_relaxed);
    for (size_t i = 0; i < kWords; ++i)
        copy.words[i].store(words[i], std::memory_order_release);
    copy.sequence.store(sequence + 2, std::memory_order_release);
    active.store(target, std::memory_order_release);
}

void ReadFilters(FrameFilter& filter1, FrameFilter& filter2) {
    const FilterPair pair = ReadPair();
    filter1 = pair.filter1;
    filter2 = pair.filter2;
}
