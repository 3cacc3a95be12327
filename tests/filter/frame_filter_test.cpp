// The filter's judgement over crafted frames: which protocol each slot finds,
// which address test follows from it, how the two slots combine, and slots
// republished while frames are judged.
#include "filter/frame_filter.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <initializer_list>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <thread>
#include <vector>

namespace {

// A frame built byte by byte in a full 1514-byte buffer, as the capture hands it over.
struct CraftedFrame {
    std::array<uint8_t, 1514> bytes{};

    CraftedFrame& At(size_t offset, std::initializer_list<uint8_t> values)
    {
        for (uint8_t value : values)
            bytes[offset++] = value;
        return *this;
    }
    CraftedFrame& Type(uint16_t type) { return At(12, {uint8_t(type >> 8), uint8_t(type)}); }
    const uint8_t* data() const { return bytes.data(); }
};

const std::initializer_list<uint8_t> kHostA = {10, 0, 0, 1}, kHostB = {10, 0, 0, 2};

// An IPv4 header at byte 14 carrying `protocol` from host A to host B.
CraftedFrame IPFrame(uint8_t protocol)
{
    return CraftedFrame().Type(0x0800).At(14, {0x45, 0x00}).At(23, {protocol}).At(26, kHostA).At(30, kHostB);
}
CraftedFrame Raw8023(uint16_t length, uint8_t dsap, uint8_t ssap)
{
    return CraftedFrame().Type(length).At(14, {dsap, ssap});
}
CraftedFrame FrameBetween(uint8_t d, uint8_t s)
{ // an ARP frame between two MAC addresses
    return CraftedFrame().At(0, {d, d, d, d, d, d, s, s, s, s, s, s}).Type(0x0806);
}

// `slot` enabled, with the protocols named in `protocols` ("IP TCP IPX" ...) selected.
FrameFilter Protocols(const std::string& protocols, FrameFilter slot = {})
{
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

FrameFilter Disabled(FrameFilter slot) { return slot.Enabled = false, slot; }

bool Same(const FrameFilter& a, const FrameFilter& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ClassifyProtocol, FindsWhatEachSlotAsksFor)
{
    struct Case {
        const char* what;
        const char* protocols;
        CraftedFrame frame;
        bool passes;
        FrameKind kind;
    };
    const std::vector<Case> cases = {
        // No protocol selected: everything passes as "other".
        {"nothing selected, IP frame", "", IPFrame(17), true, KindOther},
        {"TCP without IP, ARP frame", "TCP", CraftedFrame().Type(0x0806), true, KindOther},
        {"UDP and ICMP without IP, TCP frame", "UDP ICMP", IPFrame(6), true, KindOther},
        // IP and its protocols.
        {"IP alone, any protocol number", "IP", IPFrame(89), true, KindIP},
        {"IP alone, ARP frame", "IP", CraftedFrame().Type(0x0806), false, KindOther},
        {"IP alone, type bytes swapped", "IP", CraftedFrame().Type(0x0008), false, KindOther},
        {"IP TCP, TCP frame", "IP TCP", IPFrame(6), true, KindIP},
        {"IP TCP, UDP frame", "IP TCP", IPFrame(17), false, KindIP},
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
        {"IPX NETBEUI, NETBEUI frame", "IPX NETBEUI", Raw8023(0x0030, 0xF0, 0xF0), true, KindOther},
        {"IP TCP NETBEUI, NETBEUI frame", "IP TCP NETBEUI", Raw8023(0x0030, 0xF0, 0xF0), true, KindOther},
        // An IP frame of an unchosen protocol that looks like NETBEUI passes, still found to be IP.
        {"IP TCP NETBEUI, UDP frame with F0 F1", "IP TCP NETBEUI", IPFrame(17).At(14, {0xF0, 0xF1}), true, KindIP},
    };
    for (const Case& c : cases) {
        FrameKind kind = KindIPX; // must be overwritten
        EXPECT_EQ(ClassifyProtocol(Protocols(c.protocols), c.frame.data(), kind), c.passes) << c.what;
        EXPECT_EQ(kind, c.kind) << c.what << " (0 IP, 1 IPX, 2 other)";
        // No address test is on, so the slot alone in force keeps what its protocol test passes.
        PublishFilters(Protocols(c.protocols), FrameFilter{});
        EXPECT_EQ(AcceptFrame(c.frame.data()), c.passes) << c.what << " (AcceptFrame)";
    }
    PublishFilters(FrameFilter{}, FrameFilter{});
}

// Address tests of one slot: MAC always, then IP or IPX by the kind found; the
// same through AcceptFrame with the slot published alone.
TEST(PassesFilter, AppliesTheAddressTestsTheProtocolTestChose)
{
    const FrameFilter macBoth{
        .MACDestOn = true, .MACDest = {1, 2, 3, 4, 5, 6}, .MACSourceOn = true, .MACSource = {7, 8, 9, 10, 11, 12}};
    const FrameFilter macDestOnly{.MACDestOn = true,
                                  .MACDest = {1, 2, 3, 4, 5, 6},
                                  .MACSource = {0xee, 0xee, 0xee, 0xee, 0xee, 0xee}}; // off, so not compared
    const FrameFilter ipSource{.IPSourceOn = true, .IPSource = {10, 0, 0, 1}};
    const FrameFilter ipBoth{.IPDestOn = true, .IPDest = {10, 0, 0, 2}, .IPSourceOn = true, .IPSource = {10, 0, 0, 1}};
    const FrameFilter ipxBoth{.IPXDestOn = true,
                              .IPXDest = {0xd0, 0xd1, 0xd2, 0xd3, 0xd4, 0xd5},
                              .IPXSourceOn = true,
                              .IPXSource = {0x50, 0x51, 0x52, 0x53, 0x54, 0x55}};
    const CraftedFrame mac = IPFrame(6).At(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    const CraftedFrame ipx = CraftedFrame()
                                 .Type(0x8137)
                                 .At(24, {0xd0, 0xd1, 0xd2, 0xd3, 0xd4, 0xd5})
                                 .At(36, {0x50, 0x51, 0x52, 0x53, 0x54, 0x55});
    const CraftedFrame ipAsNetbeui = IPFrame(17).At(14, {0xF0, 0xF1});
    struct Case {
        const char* what;
        FrameFilter slot;
        CraftedFrame frame;
        bool passes;
    };
    const std::vector<Case> cases = {
        {"no flag, no protocol", Protocols(""), mac, true},
        // MAC pair over the full six bytes.
        {"MAC both match", Protocols("", macBoth), mac, true},
        {"MAC both on, source differs", Protocols("", macBoth), CraftedFrame(mac).At(11, {0}), false},
        {"MAC both on, dest differs", Protocols("", macBoth), CraftedFrame(mac).At(0, {0}), false},
        {"MAC dest only, source anything", Protocols("", macDestOnly), mac, true},
        {"MAC dest only, dest's last byte differs", Protocols("", macDestOnly), CraftedFrame(mac).At(5, {0x16}), false},
        {"MAC fails before a passing protocol test", Protocols("IP TCP", macBoth), CraftedFrame(mac).At(6, {0}), false},
        // IP pair: bytes 26-29 source, 30-33 destination, only in an IP slot.
        {"IP source on, no protocol: not tested", Protocols("", ipSource), IPFrame(6).At(26, {9}), true},
        {"IP source on, TCP without IP: not tested", Protocols("TCP", ipSource), IPFrame(6).At(26, {9}), true},
        {"IP source matches", Protocols("IP", ipSource), IPFrame(6), true},
        {"IP source's last byte differs", Protocols("IP", ipSource), IPFrame(6).At(29, {7}), false},
        {"IP both match", Protocols("IP TCP", ipBoth), IPFrame(6), true},
        {"IP both on, dest differs", Protocols("IP TCP", ipBoth), IPFrame(6).At(33, {3}), false},
        {"IP flags, IPX frame in an IP IPX slot", Protocols("IP IPX", ipBoth), ipx, true},
        {"IP flags, NETBEUI frame", Protocols("IP NETBEUI", ipBoth), Raw8023(0x0030, 0xF0, 0xF0), true},
        {"IP flags, IP frame passed by NETBEUI", Protocols("IP TCP NETBEUI", ipBoth), ipAsNetbeui, true},
        {"IP flags, IP frame passed by NETBEUI, wrong source", Protocols("IP TCP NETBEUI", ipBoth),
         CraftedFrame(ipAsNetbeui).At(26, {11}), false},
        // IPX pair: bytes 24-29 destination node, 36-41 source node.
        {"IPX both match", Protocols("IPX", ipxBoth), ipx, true},
        {"IPX both on, source node's last byte differs", Protocols("IPX", ipxBoth), CraftedFrame(ipx).At(41, {0}),
         false},
        {"IPX both on, dest node's first byte differs", Protocols("IPX", ipxBoth), CraftedFrame(ipx).At(24, {0}),
         false},
        {"IPX both on, raw 802.3 frame", Protocols("IPX", ipxBoth), CraftedFrame(ipx).Type(0x05DB).At(14, {0xFF, 0xFF}),
         true},
        {"IPX flags, no protocol: not tested", Protocols("", ipxBoth), CraftedFrame().Type(0x8137), true},
        {"IPX flags, IP frame in an IP IPX slot", Protocols("IP IPX", ipxBoth), IPFrame(6), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PassesFilter(c.slot, c.frame.data()), c.passes) << c.what;
        PublishFilters(c.slot, FrameFilter{}); // the slot alone in force
        EXPECT_EQ(AcceptFrame(c.frame.data()), c.passes) << c.what << " (AcceptFrame)";
    }
    PublishFilters(FrameFilter{}, FrameFilter{});
}

// A head drawn to reach each branch of the protocol test: IP with chosen and
// other protocols, IPX in Ethernet II and raw 802.3 around the 1500 limit,
// NETBEUI service access points and near misses (also after type 0800), type
// bytes swapped, and random bytes.
CraftedFrame RandomFrame(std::mt19937& rng)
{
    CraftedFrame frame;
    for (size_t i = 0; i < 42; ++i)
        frame.bytes[i] = uint8_t(rng());
    const uint16_t types[] = {0x0800, 0x0800, 0x8137, 0x0008, 0x3781, 0, 46, 1499, 1500, 1501};
    const uint8_t protocols[] = {1, 6, 17, 89}, saps[] = {0xF0, 0xF1, 0xF2, 0xE0, 0xFF, 0xFF, 0xFE};
    if (rng() % 8)
        frame.Type(types[rng() % std::size(types)]);
    frame.At(23, {protocols[rng() % std::size(protocols)]});
    if (rng() % 2)
        frame.At(14, {saps[rng() % std::size(saps)], saps[rng() % std::size(saps)]});
    return frame;
}

// A slot drawn around the frame: each flag on or off, each address the
// frame's own or, one time in three, the frame's with one byte changed.
FrameFilter RandomSlot(std::mt19937& rng, const CraftedFrame& frame)
{
    FrameFilter slot;
    for (bool* flag : {&slot.Enabled, &slot.MACDestOn, &slot.MACSourceOn, &slot.IPDestOn, &slot.IPSourceOn,
                       &slot.IPXDestOn, &slot.IPXSourceOn, &slot.ProtoIP, &slot.ProtoTCP, &slot.ProtoUDP,
                       &slot.ProtoICMP, &slot.ProtoIPX, &slot.ProtoNETBEUI})
        *flag = rng() % 2;
    const auto address = [&](auto& field, size_t at) {
        std::copy_n(&frame.bytes[at], std::size(field), field);
        if (rng() % 3 == 0)
            field[rng() % std::size(field)] ^= 0x5A;
    };
    address(slot.MACDest, 0);
    address(slot.MACSource, 6);
    address(slot.IPDest, 30);
    address(slot.IPSource, 26);
    address(slot.IPXDest, 24);
    address(slot.IPXSource, 36);
    return slot;
}

// AcceptFrame, which judges by the slots as compiled at publication, agrees
// with the rule stated test by test.
TEST(AcceptFrame, JudgesRandomSlotsAndFramesAsTheRuleSays)
{
    std::mt19937 rng(20240614);
    // How often each outcome of one slot was met: (protocol test passed, kind
    // found, slot passed); each reachable one must be, or the draw misses a branch.
    std::map<std::tuple<bool, FrameKind, bool>, int> outcomes;
    int accepted = 0, refused = 0;
    for (int trial = 0; trial < 25000; ++trial) {
        const CraftedFrame frame = RandomFrame(rng);
        const FrameFilter filter1 = RandomSlot(rng, frame), filter2 = RandomSlot(rng, frame);
        const bool expected = (!filter1.Enabled && !filter2.Enabled)
            || (filter1.Enabled && PassesFilter(filter1, frame.data()))
            || (filter2.Enabled && PassesFilter(filter2, frame.data()));
        PublishFilters(filter1, filter2);
        ASSERT_EQ(AcceptFrame(frame.data()), expected) << "trial " << trial;
        (expected ? accepted : refused)++;
        for (const FrameFilter* slot : {&filter1, &filter2}) {
            FrameKind kind;
            const bool protocol = ClassifyProtocol(*slot, frame.data(), kind);
            outcomes[{protocol, kind, PassesFilter(*slot, frame.data())}]++;
        }
    }
    PublishFilters(FrameFilter{}, FrameFilter{});
    EXPECT_GT(accepted, 2500);
    EXPECT_GT(refused, 2500);
    for (const auto& outcome :
         {std::tuple(false, KindIP, false), std::tuple(false, KindOther, false), std::tuple(true, KindIP, true),
          std::tuple(true, KindIP, false), std::tuple(true, KindIPX, true), std::tuple(true, KindIPX, false),
          std::tuple(true, KindOther, true), std::tuple(true, KindOther, false)})
        EXPECT_GT(outcomes[outcome], 250)
            << std::get<0>(outcome) << " " << std::get<1>(outcome) << " " << std::get<2>(outcome);
}

// The slots as the process found them, taken before any test publishes.
FrameFilter startFilter1 = Protocols("IP"), startFilter2 = Protocols("IPX");
const bool startArpAccepted = (ReadFilters(startFilter1, startFilter2), AcceptFrame(FrameBetween(1, 2).data()));

// How the two slots combine, through the published copy the capture reads.
TEST(AcceptFrame, StartsWithBothSlotsOffAndKeepsAFramePassedByAnyEnabledSlot)
{
    EXPECT_TRUE(Same(startFilter1, FrameFilter{}) && Same(startFilter2, FrameFilter{}));
    EXPECT_TRUE(startArpAccepted);

    const FrameFilter rejects = Protocols("IP TCP"), passes = Protocols("IP UDP");
    struct Case {
        const char* what;
        FrameFilter filter1, filter2;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"both off, both would reject", Disabled(rejects), Disabled(rejects), true},
        {"filter 1 empty and enabled", Protocols(""), FrameFilter{}, true},
        {"filter 2 empty and enabled", FrameFilter{}, Protocols(""), true},
        {"filter 1 rejects, filter 2 passes", rejects, passes, true},
        {"filter 1 passes, filter 2 rejects", passes, rejects, true},
        {"both reject", rejects, rejects, false},
        {"filter 1 rejects, filter 2 off would pass", rejects, Disabled(passes), false},
        {"filter 1 off would pass, filter 2 rejects", Disabled(passes), rejects, false},
    };
    for (const Case& c : cases) {
        PublishFilters(c.filter1, c.filter2);
        EXPECT_EQ(AcceptFrame(IPFrame(17).data()), c.accepted) << c.what;
    }
}

// Two settings that differ in every field the test can see, each keeping only
// IP frames to its own destination from its own source, by MAC and by IP
// address: a torn slot would pair one setting's address with the other's.
struct Setting {
    FrameFilter filter1, filter2;
    bool Is(const FrameFilter& f1, const FrameFilter& f2) const { return Same(f1, filter1) && Same(f2, filter2); }
};

Setting MakeSetting(uint8_t d, uint8_t s, bool filter2On)
{
    return {{.Enabled = true,
             .MACDestOn = true,
             .MACDest = {d, d, d, d, d, d},
             .MACSourceOn = true,
             .MACSource = {s, s, s, s, s, s},
             .IPDestOn = true,
             .IPDest = {10, 0, d, d},
             .IPSourceOn = true,
             .IPSource = {10, 0, s, s},
             .IPXSource = {d, d, d, d, d, d} /* the last field */,
             .ProtoIP = true},
            {.Enabled = filter2On,
             .MACDestOn = true,
             .MACDest = {s, s, s, s, s, s},
             .IPXSource = {s, s, s, s, s, s},
             .ProtoIPX = true /* passes no IP frame */}};
}

// An IP frame whose MAC and IP addresses are those of setting `a` or `b` (true), field by field.
CraftedFrame IpFrameOf(const Setting& a, const Setting& b, bool macDest, bool macSource, bool ipDest, bool ipSource)
{
    CraftedFrame frame = IPFrame(6);
    const auto put
        = [&frame](size_t at, const auto& field) { std::copy(std::begin(field), std::end(field), &frame.bytes[at]); };
    put(0, (macDest ? b : a).filter1.MACDest);
    put(6, (macSource ? b : a).filter1.MACSource);
    put(30, (ipDest ? b : a).filter1.IPDest);
    put(26, (ipSource ? b : a).filter1.IPSource);
    return frame;
}

// Two publishers (the window's OK and a test harness, say) each flip between
// the settings while the capture judges frames and reads the slots: every
// judgement and every read sees one publication whole.
TEST(PublishFilters, AJudgementOrReadNeverSeesAHalfWrittenSetting)
{
    const Setting a = MakeSetting(0xA1, 0xA2, false), b = MakeSetting(0xB1, 0xB2, true);
    // Every mix of the two settings' addresses; neither setting keeps any of them.
    std::vector<CraftedFrame> mixed;
    for (unsigned mix = 1; mix < 15; ++mix)
        mixed.push_back(IpFrameOf(a, b, mix & 1, mix & 2, mix & 4, mix & 8));
    PublishFilters(a.filter1, a.filter2);

    std::atomic<bool> started{false}, done{false};
    auto publish = [&](int phase) {
        for (long i = phase; !done.load(std::memory_order_relaxed); ++i) {
            const Setting& s = i % 2 ? b : a;
            PublishFilters(s.filter1, s.filter2);
            started.store(true, std::memory_order_relaxed);
        }
        PublishFilters(a.filter1, a.filter2);
    };
    std::thread first(publish, 0), second(publish, 1);
    while (!started.load(std::memory_order_relaxed))
        std::this_thread::yield();

    long mixedAccepted = 0, tornReads = 0;
    for (size_t i = 0; i < 50000; ++i) {
        mixedAccepted += AcceptFrame(mixed[i % mixed.size()].data());
        mixedAccepted += AcceptFrame(mixed[(i + 7) % mixed.size()].data());
        FrameFilter f1, f2;
        ReadFilters(f1, f2);
        tornReads += !a.Is(f1, f2) && !b.Is(f1, f2);
    }
    done.store(true);
    first.join();
    second.join();

    EXPECT_EQ(mixedAccepted, 0);
    EXPECT_EQ(tornReads, 0);
    // The last publication was setting a.
    FrameFilter f1, f2;
    ReadFilters(f1, f2);
    EXPECT_TRUE(a.Is(f1, f2));
    EXPECT_TRUE(AcceptFrame(IpFrameOf(a, b, false, false, false, false).data()));
    EXPECT_FALSE(AcceptFrame(IpFrameOf(a, b, true, true, true, true).data()));
    for (const CraftedFrame& frame : mixed)
        EXPECT_FALSE(AcceptFrame(frame.data()));
}

} // namespace
