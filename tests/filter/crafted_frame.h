// Frames built byte by byte for the filter tests, in a full 1514-byte buffer
// as the capture hands them over.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

struct CraftedFrame {
    std::array<uint8_t, 1514> bytes{};

    CraftedFrame& At(size_t offset, std::initializer_list<uint8_t> values) {
        for (uint8_t value : values)
            bytes[offset++] = value;
        return *this;
    }
    CraftedFrame& Type(uint16_t type) { return At(12, {uint8_t(type >> 8), uint8_t(type)}); }
    CraftedFrame& Dest(std::initializer_list<uint8_t> mac) { return At(0, mac); }
    CraftedFrame& Source(std::initializer_list<uint8_t> mac) { return At(6, mac); }
    // An IPv4 header at byte 14 carrying protocol `protocol` between two addresses.
    CraftedFrame& IP(uint8_t protocol, std::initializer_list<uint8_t> source, std::initializer_list<uint8_t> dest) {
        Type(0x0800).At(14, {0x45, 0x00}).At(23, {protocol});
        return At(26, source).At(30, dest);
    }
    const uint8_t* data() const { return bytes.data(); }
};
