// Numbered test frames, and reading back what the session buffer holds.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <vector>

#include "session/session_buffer.h"

namespace TestFrames {

using Mac = std::array<uint8_t, 6>;
inline constexpr Mac kSourceA = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0A};
inline constexpr Mac kSourceB = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0B};

// Frame number seq from source: a local experimental EtherType, the number
// big-endian after the link header, and a length of 60 + seq bytes so that a
// stored length can be told apart from its neighbours'.
inline std::vector<uint8_t> Numbered(uint32_t seq, const Mac& source = kSourceA)
{
    std::vector<uint8_t> frame(60 + seq % 1000, 0);
    const Mac dest = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    std::copy(dest.begin(), dest.end(), frame.begin());
    std::copy(source.begin(), source.end(), frame.begin() + 6);
    frame[12] = 0x88;
    frame[13] = 0xB5;
    for (int k = 0; k < 4; ++k)
        frame[14 + k] = static_cast<uint8_t>(seq >> (24 - 8 * k));
    return frame;
}

inline uint32_t NumberOf(const uint8_t* frame)
{
    return uint32_t{frame[14]} << 24 | uint32_t{frame[15]} << 16 | uint32_t{frame[16]} << 8 | frame[17];
}

struct Stored {
    std::vector<uint32_t> numbers; // the Count() stored frames, from the first slot on
    bool lengthsMatch = true;      // every stored length is that of its number
    bool buffersDistinct = true;   // no two slots share a buffer, none is null
};

// Walks all slots (not only the stored ones) for ownership; reads the stored.
inline Stored ReadStored()
{
    Stored out;
    std::set<const uint8_t*> seen;
    const uint32_t count = SessionBuffer::Count();
    SessionBuffer::Rewind();
    for (uint32_t i = 0; i < SessionBuffer::Capacity(); ++i) {
        const uint8_t* frame = SessionBuffer::CurrentFrame();
        if (!frame || !seen.insert(frame).second)
            out.buffersDistinct = false;
        if (frame && i < count) {
            out.numbers.push_back(NumberOf(frame));
            if (SessionBuffer::CurrentLength() != 60 + out.numbers.back() % 1000)
                out.lengthsMatch = false;
        }
        SessionBuffer::Advance();
    }
    return out;
}

inline std::vector<uint32_t> Range(uint32_t first, uint32_t last)
{
    std::vector<uint32_t> out;
    for (uint32_t n = first; n <= last; ++n)
        out.push_back(n);
    return out;
}

} // namespace TestFrames
