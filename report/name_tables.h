// The small value-to-name tables of the decoders, each with its name for
// values it does not list.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

struct NamedValue {
    uint32_t value;
    std::string_view name;
};

std::string_view LookupName(std::span<const NamedValue> table, uint32_t value, std::string_view unknown);

std::string_view IpProtocolName(uint8_t protocol);
std::string_view ArpOperationName(uint16_t code);
std::string_view IcmpTypeName(uint8_t type);

// TCP control flags in the order the report names them, each name with its
// trailing blank.
struct TcpFlagName {
    uint8_t bit;
    std::string_view name;
};
std::span<const TcpFlagName> TcpFlagNames();
