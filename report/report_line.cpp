#include "report/report_line.h"

#include "report/report_output.h"

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Digits of value in base 10 or 16, left-padded to width with pad.
void AppendNumber(std::string& out, uint32_t value, unsigned base, unsigned width, char pad)
{
    char digits[10];
    unsigned n = 0;
    do {
        digits[n++] = kDigits[value % base];
        value /= base;
    } while (value != 0);
    if (width > n)
        out.append(width - n, pad);
    while (n > 0)
        out.push_back(digits[--n]);
}

} // namespace

LineBuilder& LineBuilder::Hex(uint32_t value)
{
    AppendNumber(line_, value, 16, 0, '0');
    return *this;
}

LineBuilder& LineBuilder::Hex4(uint16_t value)
{
    Hex2(static_cast<uint8_t>(value >> 8));
    Hex2(static_cast<uint8_t>(value));
    return *this;
}

LineBuilder& LineBuilder::Dec(uint32_t value, unsigned width, char pad)
{
    AppendNumber(line_, value, 10, width, pad);
    return *this;
}

LineBuilder& LineBuilder::Format(std::string_view pattern, std::initializer_list<uint32_t> args)
{
    const uint32_t* arg = args.begin();
    size_t i = 0;
    while (i < pattern.size()) {
        const size_t percent = pattern.find('%', i);
        if (percent == std::string_view::npos) {
            line_.append(pattern.substr(i));
            break;
        }
        line_.append(pattern.substr(i, percent - i));
        i = percent + 1;
        char pad = ' ';
        if (i < pattern.size() && pattern[i] == '0') {
            pad = '0';
            ++i;
        }
        unsigned width = 0;
        while (i < pattern.size() && pattern[i] >= '1' && pattern[i] <= '9')
            width = width * 10 + static_cast<unsigned>(pattern[i++] - '0');
        const uint32_t value = arg != args.end() ? *arg++ : 0;
        const char conversion = i < pattern.size() ? pattern[i++] : 'd';
        if (conversion == 'X' && width == 2 && pad == '0' && value < 256)
            Hex2(static_cast<uint8_t>(value)); // the common case: one byte
        else
            AppendNumber(line_, value, conversion == 'X' ? 16 : 10, width, pad);
    }
    return *this;
}

void LineBuilder::Write()
{
    WriteReportLine(line_);
    line_.clear();
}

LineBuilder& StartLine()
{
    thread_local LineBuilder builder;
    builder.Clear();
    return builder;
}
