#include "report/name_tables.h"

#include <array>

#include "frame/ethernet.h"

namespace {

// Names keep their leading blanks: the protocol line's columns depend on them.
constexpr std::array<NamedValue, 8> kIpProtocols{{
    {kIpProtocolIcmp, "    ICMP"},
    {kIpProtocolIgmp, "    IGMP"},
    {kIpProtocolGgp, "    GGP"},
    {kIpProtocolIpInIp, "IP in IP"},
    {kIpProtocolTcp, "     TCP"},
    {kIpProtocolEgp, "     EGP"},
    {kIpProtocolIgp, "     IGP"},
    {kIpProtocolUdp, "     UDP"},
}};

constexpr std::array<NamedValue, 4> kArpOperations{{
    {1, "ARP_REQUEST"},
    {2, "ARP_RESPONSE"},
    {3, "RARP_REQUEST"},
    {4, "RARP_RESPONSE"},
}};

constexpr std::array<NamedValue, 13> kIcmpTypes{{
    {0, "echo reply"},
    {3, "destination unreachable"},
    {4, "source quench"},
    {5, "redirect"},
    {8, "echo"},
    {11, "time exceeded"},
    {12, "parameter problem"},
    {13, "timestamp"},
    {14, "timestamp reply"},
    {15, "information request"},
    {16, "information reply"},
    {17, "address mask request"},
    {18, "address mask reply"},
}};

constexpr std::array<TcpFlagName, 6> kTcpFlags{{
    {0x20, "URG "},
    {0x10, "ACK "},
    {0x08, "PUSH "},
    {0x04, "RESET "},
    {0x02, "SYN "},
    {0x01, "FIN "},
}};

} // namespace

std::string_view LookupName(std::span<const NamedValue> table, uint32_t value, std::string_view unknown)
{
    for (const NamedValue& entry : table)
        if (entry.value == value)
            return entry.name;
    return unknown;
}

std::string_view IpProtocolName(uint8_t protocol) { return LookupName(kIpProtocols, protocol, " UNKNOWN"); }

std::string_view ArpOperationName(uint16_t code) { return LookupName(kArpOperations, code, "UNKNOWN"); }

std::string_view IcmpTypeName(uint8_t type) { return LookupName(kIcmpTypes, type, "unknown"); }

std::span<const TcpFlagName> TcpFlagNames() { return kTcpFlags; }
