// A filter slot compiled for the capture's per-frame path.
//
// Publishing the slots turns each one into a few 64-bit words: for every kind
// of frame the protocol test can tell apart, the verdict it gives (fail, or
// pass and which address test follows), and a mask and an expected value for
// each word of the frame's head that an address test compares. Judging a
// frame is then one pass over its head and a handful of word operations per
// slot, with no branch per flag and no byte-by-byte loop.
//
// The words are read straight from the current publication (atomics, see
// published_words.h); the frame's bytes only through a view of its judged head.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "filter/frame_filter.h"
#include "frame/framing.h"

// The filter reads only the frame's head, up to the end of the IPX source node,
// through a view of that head: no test can stray beyond it.
inline constexpr size_t kJudgedBytes = kIpxSourceNodeOffset + kIpxNodeBytes;

inline FrameView JudgedHead(const uint8_t* frame) { return FrameView({frame, kJudgedBytes}); }

// The 8-byte words of the head that the address tests compare, each holding
// whole fields: the MAC destination, the MAC source, the IP source and
// destination together, the IPX destination node, and the IPX source node at
// the word's end (the last word ends with the judged head).
enum HeadWord : size_t { kMacDestWord, kMacSourceWord, kIpPairWord, kIpxDestWord, kIpxSourceWord, kHeadWords };
inline constexpr size_t kHeadWordBytes = 8;
inline constexpr size_t kHeadWordOffset[kHeadWords] = {kMacDestinationOffset, kMacSourceOffset, kIpSourceOffset,
                                                       kIpxDestinationNodeOffset, kJudgedBytes - kHeadWordBytes};

// What the protocol test sees of a frame: whether it is IP, IPX, NETBEUI (bits
// 0-2; IP and IPX exclude each other, NETBEUI goes with either) and, in bits
// 3-4, whether its IP protocol byte is ICMP, TCP, UDP or another (0).
inline constexpr unsigned kClassIp = 1, kClassIpx = 2, kClassNetbeui = 4;
inline constexpr unsigned kProtocolOther = 0, kProtocolIcmp = 1, kProtocolTcp = 2, kProtocolUdp = 3;
inline constexpr unsigned kProtocolShift = 3;
inline constexpr unsigned kFrameClasses = 32;

// A slot's protocol test verdict for one frame class, two bits each. A
// zeroed slot matcher passes every frame with no address test.
enum Verdict : unsigned { kPassOther, kPassIp, kPassIpx, kFail };
inline constexpr unsigned kVerdictBits = 2;
static_assert(kFrameClasses * kVerdictBits <= 64, "the verdicts fill one word");

// One slot's words: the verdicts, then the masks, then the expected values
// (already masked), one of each per head word.
inline constexpr size_t kVerdictsWord = 0, kMaskWords = 1, kValueWords = kMaskWords + kHeadWords,
                        kMatcherWords = kValueWords + kHeadWords;

// The class of an IP frame, by its protocol number.
inline constexpr std::array<uint8_t, 256> kIpFrameClass = [] {
    std::array<uint8_t, 256> classes{};
    classes.fill(kClassIp | kProtocolOther << kProtocolShift);
    classes[kIpProtocolIcmp] = kClassIp | kProtocolIcmp << kProtocolShift;
    classes[kIpProtocolTcp] = kClassIp | kProtocolTcp << kProtocolShift;
    classes[kIpProtocolUdp] = kClassIp | kProtocolUdp << kProtocolShift;
    return classes;
}();

inline unsigned FrameClassOf(const FrameView& head)
{
    unsigned frameClass = IsNetbeui(head) ? kClassNetbeui : 0;
    if (IsIp(head))
        frameClass |= kIpFrameClass[head.At(kIpProtocolOffset)];
    else if (IsIpx(head))
        frameClass |= kClassIpx;
    return frameClass;
}

// The head word w, in the machine's byte order like the compiled masks. Every
// head word lies inside the judged head (slot_matcher.cpp checks), so the view
// always gives its eight bytes.
inline uint64_t HeadWordAt(const FrameView& head, size_t w)
{
    const std::span<const uint8_t> bytes = head.Tail(kHeadWordOffset[w], sizeof(uint64_t));
    uint64_t word = 0;
    if (bytes.size() == sizeof word)
        std::memcpy(&word, bytes.data(), sizeof word);
    return word;
}

// Whether the frame (its judged head, of the given class) passes the slot
// compiled into `matcher` (kMatcherWords words). Loads only the words the
// verdict calls for, each with acquire as PublishedWords::ReadWhole asks.
inline bool Matches(const std::atomic<uint64_t>* matcher, const FrameView& head, unsigned frameClass)
{
    const auto word = [matcher](size_t i) { return matcher[i].load(std::memory_order_acquire); };
    const auto differs = [&](size_t w) { return (HeadWordAt(head, w) & word(kMaskWords + w)) ^ word(kValueWords + w); };
    const unsigned verdict = word(kVerdictsWord) >> (frameClass * kVerdictBits) & kFail;
    uint64_t differ = 0;
    if (verdict == kPassIp) [[likely]] // most traffic is IP: its test falls straight through
        differ = differs(kIpPairWord);
    else if (verdict == kPassIpx)
        differ = differs(kIpxDestWord) | differs(kIpxSourceWord);
    else if (verdict == kFail)
        return false;
    return (differ | differs(kMacDestWord) | differs(kMacSourceWord)) == 0;
}

// Both slots compiled as AcceptFrame judges them: a disabled slot passes
// nothing, and with neither enabled the first passes every frame.
void CompileSlots(const FrameFilter& filter1, const FrameFilter& filter2, uint64_t (&matcher1)[kMatcherWords],
                  uint64_t (&matcher2)[kMatcherWords]);
