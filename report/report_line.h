// Builds one report line at a time in a reused buffer, with the handful of
// printf conversions the report uses done by hand (hex pairs from a table,
// fixed-width decimals), so a frame block costs no printf call and, after the
// first lines, no allocation. Lines have no length limit.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Upper-case hex digits of every byte value, each pair followed by a blank
// (the dump's and the option list's "%02X ").
struct HexTable {
    char digits[256][3];
    constexpr HexTable() : digits()
    {
        constexpr char kDigits[] = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) {
            digits[i][0] = kDigits[i >> 4];
            digits[i][1] = kDigits[i & 15];
            digits[i][2] = ' ';
        }
    }
};
inline constexpr HexTable kHexTable;

class LineBuilder {
public:
    LineBuilder& Text(std::string_view text)
    {
        line_.append(text);
        return *this;
    }
    LineBuilder& Char(char c)
    {
        line_.push_back(c);
        return *this;
    }
    LineBuilder& Blanks(size_t count)
    {
        line_.append(count, ' ');
        return *this;
    }
    // "%02X"
    LineBuilder& Hex2(uint8_t value)
    {
        line_.append(kHexTable.digits[value], 2);
        return *this;
    }
    // "%X"
    LineBuilder& Hex(uint32_t value);
    // "%04X" of a 16-bit value
    LineBuilder& Hex4(uint16_t value);
    // "%0<width>d" (pad '0') or "%<width>d" (pad ' ') of an unsigned value
    LineBuilder& Dec(uint32_t value, unsigned width = 0, char pad = '0');

    // Append a printf-style template whose conversions are all of the form
    // %[0][width]X or %[0][width]d, taking one value from args for each in turn.
    // Behaves like printf on unsigned values that fit an int.
    LineBuilder& Format(std::string_view pattern, std::initializer_list<uint32_t> args);

    // Grow the line by count characters and return where they start, for
    // callers that fill a stretch of fixed layout in place.
    char* Extend(size_t count)
    {
        const size_t start = line_.size();
        line_.resize(start + count);
        return line_.data() + start;
    }

    size_t Size() const { return line_.size(); }
    // Cut the line to its first count characters.
    void Truncate(size_t count)
    {
        if (count < line_.size())
            line_.resize(count);
    }
    std::string_view View() const { return line_; }
    // Hand the line to WriteReportLine and empty the builder.
    void Write();

    void Clear() { line_.clear(); }

private:
    std::string line_;
};

// The calling thread's builder, emptied.
LineBuilder& StartLine();
