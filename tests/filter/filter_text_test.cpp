// The text rules by which the filter window turns typed addresses into bytes.
#include "filter/filter_text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string_view>

namespace {

using namespace std::string_view_literals;
using Mac = std::array<uint8_t, 6>;
using Ip = std::array<uint8_t, 4>;

constexpr Mac kOld = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
constexpr Mac kSample = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

TEST(HexDigitValue, EveryByteValue)
{
    constexpr std::string_view lower = "0123456789abcdef", upper = "0123456789ABCDEF";
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const size_t digit = std::min(lower.find(c), upper.find(c));
        EXPECT_EQ(HexDigitValue(c), digit == std::string_view::npos ? 255 : digit) << "byte " << byte;
    }
}

// Cut from a longer buffer: the characters after the cut would complete the
// address if they were read.
constexpr std::string_view kCutAfter17 = std::string_view("00-1A-2B-3C-4D-zz5E").substr(0, 17);

TEST(MacText, TwelveDigitsWhereverTheyStandOrSeventeenCharactersForANodeAddress)
{
    const struct {
        bool (*read)(std::string_view, std::span<uint8_t, 6>);
        std::string_view text;
        bool taken;
        Mac bytes; // the address afterwards
    } cases[] = {
        {ReadValidatedMAC, "00:1a:2b:3c:4d:5e", true, kSample},
        {ReadValidatedMAC, "001A2B3C4D5E", true, kSample},
        {ReadValidatedMAC, "x0 0.1A?2B3C 4D5E!", true, kSample},
        {ReadValidatedMAC, "ffFFffFFffFF", true, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        // Latin-1 letters beyond 127 are not digits and do not count.
        {ReadValidatedMAC,
         "\xB0\xE4"
         "001A2B3C4D5E\xFF",
         true, kSample},
        {ReadValidatedMAC, "00-1A-2B-3C-4D-5E-6", false, kOld}, // thirteen
        {ReadValidatedMAC, "", false, kOld},
        {ReadValidatedMAC, "gg-hh-ii-jj-kk-ll", false, kOld},
        {ReadValidatedMAC, kCutAfter17, false, kOld}, // ten digits
        {ReadNodeAddress, "00-1A-2B-3C-4D-5E", true, kSample},
        {ReadNodeAddress, "001A2B3C4D5E6F708", true, kSample}, // the first twelve of seventeen digits
        {ReadNodeAddress, "001A2B3C4D5E", false, kOld},        // twelve characters
        {ReadNodeAddress, "00-1A-2B-3C-4D-5E-", false, kOld},  // eighteen
        {ReadNodeAddress, "", false, kOld},
        {ReadNodeAddress, "-----------------", false, kOld},
        {ReadNodeAddress, kCutAfter17, false, kOld}, // seventeen characters, ten digits
    };
    for (const auto& c : cases) {
        const char* const name = c.read == ReadNodeAddress ? "ReadNodeAddress" : "ReadValidatedMAC";
        Mac address = kOld;
        EXPECT_EQ(c.read(c.text, address), c.taken) << name << ' ' << c.text;
        EXPECT_EQ(address, c.bytes) << name << ' ' << c.text;
    }
}

// The window's tests hold the worked examples.
TEST(ReadDottedIP, StrayCharactersDotsOverflowAndTheEndOfTheText)
{
    const struct {
        std::string_view text;
        Ip bytes;
    } cases[] = {
        {"1.2.3.4x", {1, 2, 3, 4}}, // a stray last character: the skip ends with the text
        {"1.2.3.4 5", {1, 2, 3, 4}},
        {"1..2", {1, 0, 2, 0}},
        {"....7", {0, 0, 0, 7}},
        {"999999", {999999 % 256, 0, 0, 0}},
        {"10.1.2.3"sv.substr(0, 4), {10, 1, 0, 0}},
    };
    for (const auto& c : cases) {
        Ip address{};
        ReadDottedIP(c.text, address);
        EXPECT_EQ(address, c.bytes) << '"' << c.text << '"';
    }
}

} // namespace
