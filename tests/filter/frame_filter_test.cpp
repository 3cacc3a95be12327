// The filter's judgement over crafted frames: which protocol each slot finds,
// which address test follows from it, and how the two slots combine.
#include "filter/frame_filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crafted_frame.h"

namespace {

// A slot with the protocols named in `protocols` ("IP TCP IPX" ...) selected.
FrameFilter Protocols(const std::string& protocols) {
    FrameFilter slot;
    slot.Enabled = true;
    const std::string words = " " + protocols + " ";
    slot.ProtoIP = words.find(" IP ") != std::string::npos;
    slot.ProtoTCP = words.find(" TCP ") != std::string::npos;
    slot.ProtoUDP = words.find(" UDP ") != std::string::npos;
    slot.ProtoICMP = words.find(" ICMP ") != std::string::npos;
    slot.ProtoIPX = words.find(" IPX ") != std::string::npos;
    slot.ProtoNETBEUI = words.find(" NETBEUI ") != std::string::npos;
    return slot;
}

const std::initializer_list<uint8_t> kHostA = {10, 0, 0, 1}, kHostB = {10, 0, 0, 2};

CraftedFrame IPFrame(uint8_t protocol) { return CraftedFrame().IP(protocol, kHostA, kHostB); }
CraftedFrame Raw8023(uint16_t length, uint8_t dsap, uint8_t ssap) {
    return CraftedFrame().Type(length).At(14, {dsap, ssap});
}

const char* KindName(FrameKind kind) {
    switch (kind) {
    case KindIP: return "IP";
    case KindIPX: return "IPX";
    case KindOther: return "other";
    }
    return "?";
}

struct ProtocolCase {
    const char* what;
    const char* protocols;
    CraftedFrame frame;
    bool passes;
    FrameKind kind;
};

TEST(ClassifyProtocol, FindsWhatEachSlotAsksFor) {
    const std::vector<ProtocolCase> cases = {
        // No protocol selected: everything passes as "other".
        {"nothing selected, IP frame", "", IPFrame(17), true, KindOther},
        {"TCP without IP, ARP frame", "TCP", CraftedFrame().Type(0x0806), true, KindOther},
        {"UDP and ICMP without IP, TCP frame", "UDP ICMP", IPFrame(6), true, KindOther},
        // IP and its protocols.
        {"IP alone, any protocol number", "IP", IPFrame(89), true, KindIP},
        {"IP alone, protocol 0", "IP", IPFrame(0), true, KindIP},
        {"IP alone, ARP frame", "IP", CraftedFrame().Type(0x0806), false, KindOther},
        {"IP alone, type bytes swapped", "IP", CraftedFrame().Type(0x0008), false, KindOther},
        {"IP TCP, TCP frame", "IP TCP", IPFrame(6), true, KindIP},
        {"IP TCP, UDP frame", "IP TCP", IPFrame(17), false, KindIP},
        {"IP TCP, ARP frame", "IP TCP", CraftedFrame().Type(0x0806), false, KindOther},
        {"IP UDP, UDP frame", "IP UDP", IPFrame(17), true, KindIP},
        {"IP ICMP, ICMP frame", "IP ICMP", IPFrame(1), true, KindIP},
        {"IP TCP UDP, ICMP frame", "IP TCP UDP", IPFrame(1), false, KindIP},
        {"IP TCP UDP ICMP, protocol 89", "IP TCP UDP ICMP", IPFrame(89), false, KindIP},
        // IPX: Ethernet II type 8137, or a raw 802.3 length below 1500 with FF FF.
        {"IPX, type 8137", "IPX", CraftedFrame().Type(0x8137), true, KindIPX},
        {"IPX, type bytes swapped", "IPX", CraftedFrame().Type(0x3781), false, KindOther},
        {"IPX, raw length 1499", "IPX", Raw8023(0x05DB, 0xFF, 0xFF), true, KindIPX},
        {"IPX, raw length 0", "IPX", Raw8023(0x0000, 0xFF, 0xFF), true, KindIPX},
        {"IPX, length 1500 is not below 1500", "IPX", Raw8023(0x05DC, 0xFF, 0xFF), false, KindOther},
        {"IPX, raw length 1499 with FF FE", "IPX", Raw8023(0x05DB, 0xFF, 0xFE), false, KindOther},
        {"IPX, raw length 1499 with FE FF", "IPX", Raw8023(0x05DB, 0xFE, 0xFF), false, KindOther},
        {"IPX, 802.2 frame", "IPX", Raw8023(0x0100, 0xE0, 0xE0), false, KindOther},
        {"IPX, IP frame", "IPX", IPFrame(6), false, KindOther},
        // NETBEUI: bytes 14 and 15 each F0 or F1, whatever bytes 12-13 hold.
        {"NETBEUI, F1 F0 after a length", "NETBEUI", Raw8023(0x0030, 0xF1, 0xF0), true, KindOther},
        {"NETBEUI, F0 F1 after type 0800", "NETBEUI", Raw8023(0x0800, 0xF0, 0xF1), true, KindOther},
        {"NETBEUI, F1 F1 after type FFFF", "NETBEUI", Raw8023(0xFFFF, 0xF1, 0xF1), true, KindOther},
        {"NETBEUI, F2 F0", "NETBEUI", Raw8023(0x0030, 0xF2, 0xF0), false, KindOther},
        {"NETBEUI, F0 E0", "NETBEUI", Raw8023(0x0030, 0xF0, 0xE0), false, KindOther},
        {"NETBEUI, 70 F0", "NETBEUI", Raw8023(0x0030, 0x70, 0xF0), false, KindOther},
        // Several selected: any of them may pass the frame.
        {"IP IPX, IPX frame", "IP IPX", CraftedFrame().Type(0x8137), true, KindIPX},
        {"IP IPX, IP frame", "IP IPX", IPFrame(6), true, KindIP},
        {"IP TCP IPX, raw IPX frame", "IP TCP IPX", Raw8023(0x05DB, 0xFF, 0xFF), true, KindIPX},
        {"IPX NETBEUI, NETBEUI frame", "IPX NETBEUI", Raw8023(0x0030, 0xF0, 0xF0), true, KindOther},
        {"IP TCP NETBEUI, NETBEUI frame", "IP TCP NETBEUI", Raw8023(0x0030, 0xF0, 0xF0), true, KindOther},
        // An IP frame of an unchosen protocol whose bytes 14-15 look like
        // NETBEUI passes by NETBEUI, still found to be IP.
        {"IP TCP NETBEUI, UDP frame with F0 F1", "IP TCP NETBEUI", IPFrame(17).At(14, {0xF0, 0xF1}), true, KindIP},
    };
    for (const ProtocolCase& c : cases) {
        FrameKind kind = KindIPX; // must be overwritten
        EXPECT_EQ(ClassifyProtocol(Protocols(c.protocols), c.frame.data(), kind), c.passes) << c.what;
        EXPECT_STREQ(KindName(kind), KindName(c.kind)) << c.what;
    }
}

// Address tests of one slot: MAC always, then IP or IPX by the kind found.
struct AddressCase {
    const char* what;
    FrameFilter slot;
    CraftedFrame frame;
    bool passes;
};

FrameFilter With(FrameFilter slot, void (*set)(FrameFilter&)) {
    set(slot);
    return slot;
}

TEST(PassesFilter, AppliesTheAddressTestsTheProtocolTestChose) {
    const CraftedFrame macFrame = IPFrame(6).Dest({1, 2, 3, 4, 5, 6}).Source({7, 8, 9, 10, 11, 12});
    auto macBoth = [](FrameFilter& s) {
        s.MACDestOn = true;
        std::memcpy(s.MACDest, "\x01\x02\x03\x04\x05\x06", 6);
        s.MACSourceOn = true;
        std::memcpy(s.MACSource, "\x07\x08\x09\x0a\x0b\x0c", 6);
    };
    auto macDestOnly = [](FrameFilter& s) {
        s.MACDestOn = true;
        std::memcpy(s.MACDest, "\x01\x02\x03\x04\x05\x06", 6);
        std::memcpy(s.MACSource, "\xee\xee\xee\xee\xee\xee", 6); // off, so not compared
    };
    auto ipSource = [](FrameFilter& s) {
        s.IPSourceOn = true;
        std::memcpy(s.IPSource, "\x0a\x00\x00\x01", 4);
    };
    auto ipBoth = [](FrameFilter& s) {
        s.IPSourceOn = true;
        std::memcpy(s.IPSource, "\x0a\x00\x00\x01", 4);
        s.IPDestOn = true;
        std::memcpy(s.IPDest, "\x0a\x00\x00\x02", 4);
    };
    auto ipxBoth = [](FrameFilter& s) {
        s.IPXDestOn = true;
        std::memcpy(s.IPXDest, "\xd0\xd1\xd2\xd3\xd4\xd5", 6);
        s.IPXSourceOn = true;
        std::memcpy(s.IPXSource, "\x50\x51\x52\x53\x54\x55", 6);
    };
    const CraftedFrame ipx = CraftedFrame().Type(0x8137).At(24, {0xd0, 0xd1, 0xd2, 0xd3, 0xd4, 0xd5})
                                 .At(36, {0x50, 0x51, 0x52, 0x53, 0x54, 0x55});
    const CraftedFrame netbeui = Raw8023(0x0030, 0xF0, 0xF0);

    const std::vector<AddressCase> cases = {
        {"no flag, no protocol", Protocols(""), macFrame, true},
        // MAC pair over the full six bytes.
        {"MAC both match", With(Protocols(""), macBoth), macFrame, true},
        {"MAC both on, source differs", With(Protocols(""), macBoth), CraftedFrame(macFrame).At(11, {0}), false},
        {"MAC both on, dest differs", With(Protocols(""), macBoth), CraftedFrame(macFrame).At(0, {0}), false},
        {"MAC both on, addresses swapped", With(Protocols(""), macBoth),
         CraftedFrame(macFrame).Dest({7, 8, 9, 10, 11, 12}).Source({1, 2, 3, 4, 5, 6}), false},
        {"MAC dest only, source anything", With(Protocols(""), macDestOnly), macFrame, true},
        {"MAC dest only, dest's last byte differs", With(Protocols(""), macDestOnly),
         CraftedFrame(macFrame).At(5, {0x16}), false},
        {"MAC fails before a passing protocol test", With(Protocols("IP TCP"), macBoth),
         CraftedFrame(macFrame).At(6, {0}), false},
        // IP pair: bytes 26-29 source, 30-33 destination, only in an IP slot.
        {"IP source on, no protocol: not tested", With(Protocols(""), ipSource), IPFrame(6).At(26, {9}), true},
        {"IP source on, TCP without IP: not tested", With(Protocols("TCP"), ipSource), IPFrame(6).At(26, {9}), true},
        {"IP source matches", With(Protocols("IP"), ipSource), IPFrame(6), true},
        {"IP source's last byte differs", With(Protocols("IP"), ipSource), IPFrame(6).At(29, {7}), false},
        {"IP both match", With(Protocols("IP TCP"), ipBoth), IPFrame(6), true},
        {"IP both on, dest differs", With(Protocols("IP TCP"), ipBoth), IPFrame(6).At(33, {3}), false},
        {"IP both on, swapped", With(Protocols("IP"), ipBoth), CraftedFrame().IP(6, kHostB, kHostA), false},
        {"IP flags, IPX frame in an IP IPX slot", With(Protocols("IP IPX"), ipBoth), ipx, true},
        {"IP flags, NETBEUI frame", With(Protocols("IP NETBEUI"), ipBoth), netbeui, true},
        {"IP flags, IP frame passed by NETBEUI", With(Protocols("IP TCP NETBEUI"), ipBoth),
         IPFrame(17).At(14, {0xF0, 0xF1}), true},
        {"IP flags, IP frame passed by NETBEUI, wrong source", With(Protocols("IP TCP NETBEUI"), ipBoth),
         IPFrame(17).At(14, {0xF0, 0xF1}).At(26, {11}), false},
        // IPX pair: bytes 24-29 destination node, 36-41 source node.
        {"IPX both match", With(Protocols("IPX"), ipxBoth), ipx, true},
        {"IPX both on, source node's last byte differs", With(Protocols("IPX"), ipxBoth),
         CraftedFrame(ipx).At(41, {0}), false},
        {"IPX both on, dest node's first byte differs", With(Protocols("IPX"), ipxBoth),
         CraftedFrame(ipx).At(24, {0}), false},
        {"IPX both on, raw 802.3 frame", With(Protocols("IPX"), ipxBoth),
         CraftedFrame(ipx).Type(0x05DB).At(14, {0xFF, 0xFF}), true},
        {"IPX flags, no protocol: not tested", With(Protocols(""), ipxBoth), CraftedFrame().Type(0x8137), true},
        {"IPX flags, IP frame in an IP IPX slot", With(Protocols("IP IPX"), ipxBoth), IPFrame(6), true},
    };
    for (const AddressCase& c : cases)
        EXPECT_EQ(PassesFilter(c.slot, c.frame.data()), c.passes) << c.what;
}

// How the two slots combine, through the published copy the capture reads.
struct SlotsCase {
    const char* what;
    FrameFilter filter1;
    FrameFilter filter2;
    bool accepted;
};

FrameFilter Disabled(FrameFilter slot) {
    slot.Enabled = false;
    return slot;
}

TEST(AcceptFrame, KeepsAFramePassedByAnyEnabledSlot) {
    const CraftedFrame udp = IPFrame(17);
    const FrameFilter rejects = Protocols("IP TCP");
    const FrameFilter passes = Protocols("IP UDP");
    const std::vector<SlotsCase> cases = {
        {"both off, both would reject", Disabled(rejects), Disabled(rejects), true},
        {"filter 1 empty and enabled", Protocols(""), FrameFilter{}, true},
        {"filter 2 empty and enabled", FrameFilter{}, Protocols(""), true},
        {"filter 1 rejects, filter 2 passes", rejects, passes, true},
        {"filter 1 passes, filter 2 rejects", passes, rejects, true},
        {"both reject", rejects, rejects, false},
        {"filter 1 rejects, filter 2 off would pass", rejects, Disabled(passes), false},
        {"filter 1 off would pass, filter 2 rejects", Disabled(passes), rejects, false},
    };
    for (const SlotsCase& c : cases) {
        PublishFilters(c.filter1, c.filter2);
        EXPECT_EQ(AcceptFrame(udp.data()), c.accepted) << c.what;
    }
}

// The slots as the process found them, taken before any test publishes.
struct StartState {
    FrameFilter filter1 = Protocols("IP");
    FrameFilter filter2 = Protocols("IPX");
    bool arpAccepted = false;
};
const StartState kAtStart = [] {
    StartState state;
    ReadFilters(state.filter1, state.filter2);
    state.arpAccepted = AcceptFrame(CraftedFrame().Type(0x0806).data());
    return state;
}();

TEST(AcceptFrame, StartsWithBothSlotsOffAndKeepsEveryFrame) {
    const FrameFilter off;
    EXPECT_EQ(std::memcmp(&kAtStart.filter1, &off, sizeof off), 0);
    EXPECT_EQ(std::memcmp(&kAtStart.filter2, &off, sizeof off), 0);
    EXPECT_TRUE(kAtStart.arpAccepted);
}

TEST(PublishFilters, ReadFiltersGivesBackBothSlotsExactly) {
    FrameFilter filter1 = Protocols("IP TCP ICMP");
    filter1.IPSourceOn = true;
    std::memcpy(filter1.IPSource, "\xc0\xa8\x01\x14", 4);
    std::memcpy(filter1.IPXSource, "\xff\xfe\xfd\xfc\xfb\xfa", 6); // the last field
    FrameFilter filter2 = Disabled(Protocols("NETBEUI"));
    filter2.MACDestOn = true;
    std::memcpy(filter2.MACDest, "\x00\x1a\x2b\x3c\x4d\x5e", 6); // the first address
    PublishFilters(filter1, filter2);

    FrameFilter read1, read2;
    ReadFilters(read1, read2);
    EXPECT_EQ(std::memcmp(&read1, &filter1, sizeof read1), 0);
    EXPECT_EQ(std::memcmp(&read2, &filter2, sizeof read2), 0);

    PublishFilters(filter2, filter1); // a second publication replaces both
    ReadFilters(read1, read2);
    EXPECT_EQ(std::memcmp(&read1, &filter2, sizeof read1), 0);
    EXPECT_EQ(std::memcmp(&read2, &filter1, sizeof read2), 0);
}

} // namespace
