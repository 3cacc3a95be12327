// The text rules by which the filter window turns typed addresses into bytes.
#include "filter/window/filter_text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using Mac = std::array<uint8_t, 6>;
using Ip = std::array<uint8_t, 4>;

constexpr Mac kOld = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
constexpr Mac kSample = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

TEST(HexDigitValue, EveryByteValue)
{
    const std::string_view lower = "0123456789abcdef";
    const std::string_view upper = "0123456789ABCDEF";
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        uint8_t expected = 255;
        if (lower.find(c) != std::string_view::npos)
            expected = static_cast<uint8_t>(lower.find(c));
        else if (upper.find(c) != std::string_view::npos)
            expected = static_cast<uint8_t>(upper.find(c));
        EXPECT_EQ(HexDigitValue(c), expected) << "byte " << byte;
    }
}

struct MacCase {
    std::string text;
    bool taken;
    Mac bytes; // the address afterwards
};

TEST(ReadValidatedMAC, TwelveDigitsWhereverTheyStand)
{
    const MacCase cases[] = {
        {"00-1A-2B-3C-4D-5E", true, kSample},
        {"00:1a:2b:3c:4d:5e", true, kSample},
        {"001A2B3C4D5E", true, kSample},
        {"x0 0.1A?2B3C 4D5E!", true, kSample},
        {"ffFFffFFffFF", true, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        // Latin-1 letters beyond 127 are not digits and do not count.
        {"\xB0\xE4" "001A2B3C4D5E\xFF", true, kSample},
        {"00-1A-2B-3C-4D", false, kOld},        // ten digits
        {"00-1A-2B-3C-4D-5E-6", false, kOld},   // thirteen
        {"", false, kOld},
        {"gg-hh-ii-jj-kk-ll", false, kOld},
    };
    for (const MacCase& c : cases) {
        Mac address = kOld;
        EXPECT_EQ(ReadValidatedMAC(c.text, address), c.taken) << c.text;
        EXPECT_EQ(address, c.bytes) << c.text;
    }
}

TEST(ReadNodeAddress, OnlySeventeenCharactersAreTaken)
{
    const MacCase cases[] = {
        {"00-1A-2B-3C-4D-5E", true, kSample},
        {"00:1a:2b:3c:4d:5e", true, kSample},
        // Seventeen digits: the first twelve make the address.
        {"001A2B3C4D5E6F708", true, kSample},
        {"001A2B3C4D5E", false, kOld},           // twelve characters
        {"00-1A-2B-3C-4D-5E-", false, kOld},     // eighteen
        {"", false, kOld},
        // Seventeen characters but only ten digits: the old address stands.
        {"00-1A-2B-3C-4D-zz", false, kOld},
        {"-----------------", false, kOld},
    };
    for (const MacCase& c : cases) {
        Mac address = kOld;
        EXPECT_EQ(ReadNodeAddress(c.text, address), c.taken) << c.text;
        EXPECT_EQ(address, c.bytes) << c.text;
    }
}

TEST(ReadNodeAddress, NeverReadsPastTheText)
{
    // The two digits after the seventeenth character would complete the
    // address if they were read.
    const std::string buffer = "00-1A-2B-3C-4D-zz5E";
    Mac address = kOld;
    EXPECT_FALSE(ReadNodeAddress(std::string_view(buffer).substr(0, 17), address));
    EXPECT_EQ(address, kOld);

    Mac validated = kOld;
    EXPECT_FALSE(ReadValidatedMAC(std::string_view(buffer).substr(0, 17), validated));
    EXPECT_EQ(validated, kOld);
}

// The window's tests hold the worked examples; these are the corners.
TEST(ReadDottedIP, StrayCharactersDotsAndOverflow)
{
    const struct {
        std::string text;
        Ip bytes;
    } cases[] = {
        // A stray character as the last one: the skip ends with the text.
        {"1.2.3.4x", {0x01, 0x02, 0x03, 0x04}},
        {"1.2.3.4 5", {0x01, 0x02, 0x03, 0x04}},
        {"1..2", {0x01, 0x00, 0x02, 0x00}},
        {"....7", {0x00, 0x00, 0x00, 0x07}},
        {"999999", {static_cast<uint8_t>(999999 % 256), 0, 0, 0}},
    };
    for (const auto& c : cases) {
        Ip address{};
        ReadDottedIP(c.text, address);
        EXPECT_EQ(address, c.bytes) << '"' << c.text << '"';
    }
}

TEST(ReadDottedIP, NeverReadsPastTheText)
{
    const std::string buffer = "10.1.2.3";
    Ip address{};
    ReadDottedIP(std::string_view(buffer).substr(0, 4), address);
    EXPECT_EQ(address, (Ip{0x0A, 0x01, 0x00, 0x00}));
}

} // namespace
