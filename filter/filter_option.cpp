#include "filter/filter_option.h"

#include <cstdint>

#include "filter/filter_text.h"

namespace {

// The window's MAC edits hold at most this many characters.
constexpr size_t kMACEditLimit = 17;

using Check = bool (*)(std::string_view text);

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsMAC(std::string_view text)
{
    uint8_t bytes[6];
    return text.size() <= kMACEditLimit && ReadValidatedMAC(text, bytes);
}

// Four numbers 0 to 255 of one to three digits, joined by dots.
bool IsDottedQuad(std::string_view text)
{
    int parts = 0;
    size_t at = 0;
    for (;;) {
        size_t digits = 0;
        int value = 0;
        for (; at < text.size() && IsDigit(text[at]) && digits < 4; ++at, ++digits)
            value = value * 10 + (text[at] - '0');
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        if (++parts == 4)
            return at == text.size();
        if (at == text.size() || text[at] != '.')
            return false;
        ++at;
    }
}

// Six two-digit hexadecimal groups with one separator between each two.
bool IsNodeAddress(std::string_view text)
{
    if (text.size() != 17)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool hex = HexDigitValue(text[i]) != 255;
        if (hex != (i % 3 != 2))
            return false;
    }
    return true;
}

struct Item {
    std::string_view name;
    bool FilterControls::*box;
    std::string FilterControls::*text; // null for a protocol box
    Check check;
    std::string_view refusal; // when check fails
};

constexpr std::string_view kBadMAC = "Invalid MAC address (twelve hexadecimal digits, such as 00:1a:2b:3c:4d:5e)";
constexpr std::string_view kBadIP = "not an IP address (four numbers 0 to 255 joined by dots, such as 10.0.0.1)";
constexpr std::string_view kBadNode
    = "not an IPX node address (six two-digit hexadecimal groups, such as 00:1a:2b:3c:4d:5e)";

const Item kItems[] = {
    {"mac-src", &FilterControls::MACSource, &FilterControls::MACSourceText, IsMAC, kBadMAC},
    {"mac-dst", &FilterControls::MACDest, &FilterControls::MACDestText, IsMAC, kBadMAC},
    {"ip-src", &FilterControls::IPSource, &FilterControls::IPSourceText, IsDottedQuad, kBadIP},
    {"ip-dst", &FilterControls::IPDest, &FilterControls::IPDestText, IsDottedQuad, kBadIP},
    {"ipx-src", &FilterControls::IPXSource, &FilterControls::IPXSourceText, IsNodeAddress, kBadNode},
    {"ipx-dst", &FilterControls::IPXDest, &FilterControls::IPXDestText, IsNodeAddress, kBadNode},
    {"ip", &FilterControls::IP, nullptr, nullptr, {}},
    {"tcp", &FilterControls::TCP, nullptr, nullptr, {}},
    {"udp", &FilterControls::UDP, nullptr, nullptr, {}},
    {"icmp", &FilterControls::ICMP, nullptr, nullptr, {}},
    {"ipx", &FilterControls::IPX, nullptr, nullptr, {}},
    {"netbeui", &FilterControls::NETBEUI, nullptr, nullptr, {}},
};

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] >= 'A' && a[i] <= 'Z' ? a[i] + ('a' - 'A') : a[i]) != b[i])
            return false;
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool ReadItem(std::string_view item, FilterControls& controls, std::string& problem)
{
    const size_t equals = item.find('=');
    const std::string_view name = Trimmed(item.substr(0, equals));
    const bool hasValue = equals != std::string_view::npos;
    const std::string_view value = hasValue ? Trimmed(item.substr(equals + 1)) : std::string_view();
    if (name.empty()) {
        problem = "empty item";
        return false;
    }
    for (const Item& known : kItems) {
        if (!SameName(name, known.name))
            continue;
        problem = std::string(known.name) + ": ";
        if (controls.*known.box) {
            problem += "given twice";
            return false;
        }
        if (known.text == nullptr && hasValue) {
            problem += "takes no value";
            return false;
        }
        if (known.text != nullptr && value.empty()) {
            problem += "needs an address (" + std::string(known.name) + "=ADDRESS)";
            return false;
        }
        if (known.text != nullptr && !known.check(value)) {
            problem += known.refusal;
            return false;
        }
        controls.*known.box = true;
        if (known.text != nullptr)
            controls.*known.text = value;
        problem.clear();
        return true;
    }
    problem = std::string(name)
        + ": unknown item (known: mac-src, mac-dst, ip-src, ip-dst, ipx-src, ipx-dst, ip, tcp, udp, icmp, ipx, "
          "netbeui)";
    return false;
}

} // namespace

bool ReadFilterOption(std::string_view text, FilterControls& controls, std::string& problem)
{
    controls = FilterControls{};
    controls.EnableFilter = true;
    // An empty text is a filter enabled with nothing else ticked.
    if (!Trimmed(text).empty()) {
        for (size_t begin = 0;;) {
            const size_t comma = text.find(',', begin);
            if (!ReadItem(text.substr(begin, comma - begin), controls, problem))
                return false;
            if (comma == std::string_view::npos)
                break;
            begin = comma + 1;
        }
    }
    // The window's interlock: ticking TCP, UDP or ICMP ticks IP.
    if (controls.TCP || controls.UDP || controls.ICMP)
        controls.IP = true;
    return true;
}
