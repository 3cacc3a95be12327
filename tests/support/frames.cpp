#include "tests/support/frames.h"

#include <algorithm>
#include <stdexcept>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

Bytes Hex(std::string_view text)
{
    Bytes out;
    int high = -1;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0)
            continue;
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd number of hex digits");
    return out;
}

Bytes Join(std::initializer_list<Bytes> pieces)
{
    Bytes out;
    for (const Bytes& piece : pieces)
        out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

Bytes PadTo(Bytes frame, size_t size)
{
    if (frame.size() < size)
        frame.resize(size, 0);
    return frame;
}

Bytes Be16(uint16_t value) { return {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)}; }

Bytes Be32(uint32_t value)
{
    return Join({Be16(static_cast<uint16_t>(value >> 16)), Be16(static_cast<uint16_t>(value))});
}

Bytes EthernetHeader(uint16_t typeOrLength, std::string_view destination)
{
    return Join({Hex(destination), Hex("02 00 00 44 55 66"), Be16(typeOrLength)});
}

Bytes Ieee8023Frame(const Bytes& llcAndData, std::string_view destination)
{
    return PadTo(Join({EthernetHeader(static_cast<uint16_t>(llcAndData.size()), destination), llcAndData}), 60);
}

Bytes IpPacket(const IpHeader& h, const Bytes& payload)
{
    const size_t optionBytes = h.ihl > 5 ? 4u * h.ihl - 20 : 0;
    Bytes options;
    for (size_t i = 0; i < optionBytes; ++i)
        options.push_back(static_cast<uint8_t>(i + 1));
    return Join({Bytes{static_cast<uint8_t>(0x40 | h.ihl), 0x00},
                 Be16(static_cast<uint16_t>(20 + optionBytes + payload.size())), Be16(h.id), Be16(h.flagsAndOffset),
                 Bytes{h.ttl, h.protocol}, Be16(h.checksum), Be32(h.source), Be32(h.destination), options, payload});
}

Bytes IpFrame(const IpHeader& h, const Bytes& payload) { return Join({EthernetHeader(0x0800), IpPacket(h, payload)}); }

Bytes SynFrame()
{
    return PadTo(IpFrame({}, Hex("04 0B 00 50 00 00 10 00 00 00 00 00 60 02 20 00 00 00 00 00 02 04 05 B4")), 60);
}

Bytes NumberedFrame(std::span<const uint8_t, 6> destination, uint8_t run, uint8_t number)
{
    Bytes frame(60, number);
    std::copy(destination.begin(), destination.end(), frame.begin());
    const uint8_t rest[8] = {0x02, 0, 0, 0, run, number, 0x88, 0xB5};
    std::copy(std::begin(rest), std::end(rest), frame.begin() + 6);
    return frame;
}

Bytes Filler(size_t size, uint8_t first)
{
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(first + i);
    return data;
}

Bytes PrintableText(size_t size)
{
    Bytes text;
    for (size_t i = 0; i < size; ++i)
        text.push_back(static_cast<uint8_t>(i % 95 + 32));
    return text;
}

Bytes SeededFiller(size_t size, uint32_t seed)
{
    Bytes data;
    for (size_t i = 0; i < size; ++i)
        data.push_back(static_cast<uint8_t>((seed + i * 7) % 251));
    return data;
}
