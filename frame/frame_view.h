// The one way the engine reads frame bytes: a view over the captured bytes in
// which every byte past the end reads as zero. Runts, truncated headers and
// length fields that claim more than the frame holds are therefore harmless to
// every decoder, and the filter, viewing only the head it judges, cannot stray
// beyond it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class FrameView {
public:
    explicit FrameView(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    // Byte at offset; zero when the offset lies past the captured bytes.
    uint8_t At(size_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }
    // Big-endian 16-bit field at offset, read byte by byte.
    uint16_t Be16(size_t offset) const { return static_cast<uint16_t>(At(offset) << 8 | At(offset + 1)); }
    // Whether the N bytes at offset equal field, byte for byte.
    template <size_t N>
    bool Equals(size_t offset, const uint8_t (&field)[N]) const
    {
        for (size_t i = 0; i < N; ++i)
            if (At(offset + i) != field[i])
                return false;
        return true;
    }
    size_t Size() const { return bytes_.size(); }
    // The captured bytes from offset on, at most count of them (empty when the
    // offset lies past the end).
    std::span<const uint8_t> Tail(size_t offset, size_t count) const
    {
        if (offset >= bytes_.size())
            return {};
        size_t left = bytes_.size() - offset;
        return bytes_.subspan(offset, count < left ? count : left);
    }

private:
    std::span<const uint8_t> bytes_;
};
