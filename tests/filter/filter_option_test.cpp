// A filter given as text on a command line: each item ticks one control of
// the filter window; slips are refused, naming the item.
#include "filter/filter_option.h"

#include <gtest/gtest.h>

namespace {

bool operator==(const FilterControls& a, const FilterControls& b)
{
    return a.EnableFilter == b.EnableFilter && a.MACSource == b.MACSource && a.MACSourceText == b.MACSourceText
        && a.MACDest == b.MACDest && a.MACDestText == b.MACDestText && a.IPSource == b.IPSource
        && a.IPSourceText == b.IPSourceText && a.IPDest == b.IPDest && a.IPDestText == b.IPDestText
        && a.IPXSource == b.IPXSource && a.IPXSourceText == b.IPXSourceText && a.IPXDest == b.IPXDest
        && a.IPXDestText == b.IPXDestText && a.IP == b.IP && a.TCP == b.TCP && a.UDP == b.UDP && a.ICMP == b.ICMP
        && a.IPX == b.IPX && a.NETBEUI == b.NETBEUI;
}

TEST(FilterOption, EachItemTicksItsControl)
{
    using C = FilterControls;
    const struct {
        const char* text;
        void (*expect)(C&); // the controls besides "Enable Filter"
    } cases[] = {
        {"", [](C&) {}},
        {"mac-src=00:1a:2b:3c:4d:5e",
         [](C& c) {
             c.MACSource = true;
             c.MACSourceText = "00:1a:2b:3c:4d:5e";
         }},
        {"MAC-DST=001A2B3C4D5E",
         [](C& c) {
             c.MACDest = true;
             c.MACDestText = "001A2B3C4D5E";
         }},
        {"ip-src=192.168.1.10, ip-dst = 10.0.0.255",
         [](C& c) {
             c.IPSource = true;
             c.IPSourceText = "192.168.1.10";
             c.IPDest = true;
             c.IPDestText = "10.0.0.255";
         }},
        {"ipx-src=02-00-00-44-55-66,ipx-dst=ff:ff:ff:ff:ff:ff",
         [](C& c) {
             c.IPXSource = true;
             c.IPXSourceText = "02-00-00-44-55-66";
             c.IPXDest = true;
             c.IPXDestText = "ff:ff:ff:ff:ff:ff";
         }},
        {"ip", [](C& c) { c.IP = true; }},
        {"ipx,netbeui", [](C& c) { c.IPX = c.NETBEUI = true; }},
        // The interlock: TCP, UDP and ICMP tick IP.
        {"tcp", [](C& c) { c.IP = c.TCP = true; }},
        {"udp,icmp", [](C& c) { c.IP = c.UDP = c.ICMP = true; }},
        {"tcp,ip", [](C& c) { c.IP = c.TCP = true; }},
    };
    for (const auto& c : cases) {
        FilterControls expected;
        expected.EnableFilter = true;
        c.expect(expected);
        FilterControls controls;
        controls.MACSourceText = "left from before";
        std::string problem;
        EXPECT_TRUE(ReadFilterOption(c.text, controls, problem)) << c.text << ": " << problem;
        EXPECT_TRUE(controls == expected) << c.text;
    }
}

TEST(FilterOption, SlipsAreRefusedNamingTheItem)
{
    const struct {
        const char* text;
        const char* problem; // its start
    } cases[] = {
        {"mac-src=00:1a:2b:3c:4d", "mac-src: Invalid MAC address"},
        {"mac-dst=00:1a:2b:3c:4d:5e:6f", "mac-dst: Invalid MAC address"},
        {"mac-src=00 - 1a - 2b - 3c - 4d - 5e", "mac-src: Invalid MAC address"}, // beyond the edit's 17
        {"ip-src=10.0.0", "ip-src: not an IP address"},
        {"ip-dst=10.0.0.256", "ip-dst: not an IP address"},
        {"ip-dst=10.0.0.1.", "ip-dst: not an IP address"},
        {"ip-dst=10..0.1", "ip-dst: not an IP address"},
        {"ip-src=0010.0.0.1", "ip-src: not an IP address"},
        {"ip-src=host.example", "ip-src: not an IP address"},
        {"ipx-src=001a2b3c4d5e", "ipx-src: not an IPX node address"},
        {"ipx-dst=00:1a:2b:3c:4d:5", "ipx-dst: not an IPX node address"},
        {"ipx-dst=001:a2:b3:c4:d5:e6", "ipx-dst: not an IPX node address"},
        {"mac-src", "mac-src: needs an address"},
        {"ip-dst=", "ip-dst: needs an address"},
        {"tcp=yes", "tcp: takes no value"},
        {"ip,ip", "ip: given twice"},
        {"ip-src=1.2.3.4,ip-src=1.2.3.5", "ip-src: given twice"},
        {"arp", "arp: unknown item"},
        {"ip,,tcp", "empty item"},
        {"ip,", "empty item"},
    };
    for (const auto& c : cases) {
        FilterControls controls;
        std::string problem;
        EXPECT_FALSE(ReadFilterOption(c.text, controls, problem)) << c.text;
        EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << c.text << ": " << problem;
    }
}

} // namespace
