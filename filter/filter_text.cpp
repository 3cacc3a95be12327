#include "filter/filter_text.h"

#include <array>
#include <cstddef>

namespace {

constexpr uint8_t kNotADigit = 255;
constexpr size_t kNodeAddressLength = 17;

constexpr std::array<uint8_t, 256> MakeHexDigitTable()
{
    std::array<uint8_t, 256> table{};
    table.fill(kNotADigit);
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<uint8_t>(i);
    for (int i = 0; i < 6; ++i) {
        table['a' + i] = static_cast<uint8_t>(10 + i);
        table['A' + i] = static_cast<uint8_t>(10 + i);
    }
    return table;
}

constexpr std::array<uint8_t, 256> kHexDigit = MakeHexDigitTable();

size_t CountHexDigits(std::string_view text)
{
    size_t count = 0;
    for (char c : text)
        if (HexDigitValue(c) != kNotADigit)
            ++count;
    return count;
}

// The first twelve hexadecimal digits of `text`, in pairs, high half first.
// The caller has made sure there are at least twelve.
void PackHexDigits(std::string_view text, std::span<uint8_t, 6> address)
{
    std::array<uint8_t, 6> bytes{};
    size_t digits = 0;
    for (char c : text) {
        const uint8_t value = HexDigitValue(c);
        if (value == kNotADigit)
            continue;
        uint8_t& byte = bytes[digits / 2];
        byte = digits % 2 == 0 ? static_cast<uint8_t>(value << 4) : static_cast<uint8_t>(byte | value);
        if (++digits == 12)
            break;
    }
    for (size_t i = 0; i < bytes.size(); ++i)
        address[i] = bytes[i];
}

} // namespace

uint8_t HexDigitValue(char c) { return kHexDigit[static_cast<unsigned char>(c)]; }

bool ReadValidatedMAC(std::string_view text, std::span<uint8_t, 6> address)
{
    if (CountHexDigits(text) != 12)
        return false;
    PackHexDigits(text, address);
    return true;
}

bool ReadNodeAddress(std::string_view text, std::span<uint8_t, 6> address)
{
    // A 17-character text with fewer than twelve digits is treated like a text
    // of the wrong length: the old address stands rather than a half-read one.
    if (text.size() != kNodeAddressLength || CountHexDigits(text) < 12)
        return false;
    PackHexDigits(text, address);
    return true;
}

void ReadDottedIP(std::string_view text, std::span<uint8_t, 4> address)
{
    size_t part = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            address[part] = static_cast<uint8_t>(address[part] * 10 + (c - '0'));
        } else if (c == '.') {
            if (part < 3)
                ++part;
        } else {
            ++i; // a stray character takes the one after it along
        }
    }
}
