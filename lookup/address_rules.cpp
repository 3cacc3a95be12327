#include "lookup/address_rules.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "filter/filter_text.h"

namespace {

// Built by appending: GCC 12 warns falsely about "\"" + std::string(...) in Release.
std::string Quoted(std::string_view text)
{
    std::string quoted(1, '"');
    quoted.append(text);
    quoted += '"';
    return quoted;
}

} // namespace

bool StoredNodeAddress(std::string_view what, std::string_view text, std::string& stored, std::string& reason)
{
    std::array<uint8_t, 6> validated{};
    std::array<uint8_t, 6> node{};
    if (!ReadValidatedMAC(text, validated)) {
        reason = std::string(what) + " " + Quoted(text) + " does not hold exactly 12 hexadecimal digits";
        return false;
    }
    if (!ReadNodeAddress(text, node) || node != validated) {
        reason = std::string(what) + " " + Quoted(text)
            + " is not six two-digit groups with separators (like 00:1a:2b:3c:4d:5e)";
        return false;
    }
    char buffer[18];
    std::snprintf(buffer, sizeof buffer, "%02x:%02x:%02x:%02x:%02x:%02x", node[0], node[1], node[2], node[3], node[4],
                  node[5]);
    stored = buffer;
    return true;
}

bool StoredIPAddress(std::string_view text, std::string& stored, std::string& reason)
{
    std::array<uint8_t, 4> parts{};
    size_t part = 0;
    size_t digits = 0;
    unsigned value = 0;
    bool wellFormed = true;
    for (size_t i = 0; i <= text.size() && wellFormed; ++i) {
        const char c = i < text.size() ? text[i] : '.';
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<unsigned>(c - '0');
            wellFormed = ++digits <= 3 && value <= 255;
        } else if (c == '.') {
            wellFormed = digits > 0 && part < 4;
            if (wellFormed)
                parts[part++] = static_cast<uint8_t>(value);
            digits = 0;
            value = 0;
        } else {
            wellFormed = false;
        }
    }
    std::array<uint8_t, 4> read{};
    if (wellFormed && part == 4)
        ReadDottedIP(text, read);
    if (!wellFormed || part != 4 || read != parts) {
        reason = "IP address " + Quoted(text) + " is not four dotted decimal numbers of 0-255";
        return false;
    }
    stored = std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "."
        + std::to_string(parts[3]);
    return true;
}
