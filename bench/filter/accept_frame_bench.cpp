// The filter on the capture's per-frame path: AcceptFrame with both slots
// enabled, each testing a MAC pair, IP with TCP and UDP, and an IP pair; and
// with every test of both slots on.
#include "filter/frame_filter.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

using Frame = std::array<uint8_t, 1514>;

// Filter n keeps TCP or UDP frames between host 10.0.0.n and 10.0.1.n, sent
// from station 02:..:n to station 04:..:n.
FrameFilter Slot(uint8_t n)
{
    FrameFilter slot;
    slot.Enabled = true;
    slot.MACDestOn = slot.MACSourceOn = true;
    const uint8_t dest[6] = {4, 0, 0, 0, 0, n}, source[6] = {2, 0, 0, 0, 0, n};
    std::memcpy(slot.MACDest, dest, 6);
    std::memcpy(slot.MACSource, source, 6);
    slot.ProtoIP = slot.ProtoTCP = slot.ProtoUDP = true;
    slot.IPSourceOn = slot.IPDestOn = true;
    const uint8_t ipSource[4] = {10, 0, 0, n}, ipDest[4] = {10, 0, 1, n};
    std::memcpy(slot.IPSource, ipSource, 4);
    std::memcpy(slot.IPDest, ipDest, 4);
    return slot;
}

// Slot n with every test on: the MAC pair of station 1 for both slots, so
// that each slot's judgement goes on to its protocol and address tests; every
// protocol box; the IP pair of slot n; IPX node 06:..:n from node 08:..:n.
FrameFilter EverySlot(uint8_t n)
{
    FrameFilter slot = Slot(n);
    slot.MACDest[5] = slot.MACSource[5] = 1;
    slot.ProtoICMP = slot.ProtoIPX = slot.ProtoNETBEUI = true;
    slot.IPXDestOn = slot.IPXSourceOn = true;
    const uint8_t ipxDest[6] = {6, 0, 0, 0, 0, n}, ipxSource[6] = {8, 0, 0, 0, 0, n};
    std::memcpy(slot.IPXDest, ipxDest, 6);
    std::memcpy(slot.IPXSource, ipxSource, 6);
    return slot;
}

// A frame from station 02:..:n to station 04:..:n with the given type/length.
Frame StationFrame(uint8_t n, uint16_t type)
{
    Frame frame{};
    const uint8_t head[] = {4, 0, 0, 0, 0, n, 2, 0, 0, 0, 0, n, uint8_t(type >> 8), uint8_t(type)};
    std::memcpy(frame.data(), head, sizeof head);
    return frame;
}

// An IP frame from station n carrying `protocol` from 10.0.0.ipSourceLast to
// 10.0.1.ipDestLast.
Frame IpFrame(uint8_t n, uint8_t protocol, uint8_t ipSourceLast, uint8_t ipDestLast)
{
    Frame frame = StationFrame(n, 0x0800);
    frame[14] = 0x45;
    frame[23] = protocol;
    const uint8_t addresses[8] = {10, 0, 0, ipSourceLast, 10, 0, 1, ipDestLast};
    std::memcpy(frame.data() + 26, addresses, sizeof addresses);
    return frame;
}

// A TCP frame that slot n's MAC and protocol tests pass, with the given last
// byte of the destination IP address.
Frame FrameFor(uint8_t n, uint8_t ipDestLast) { return IpFrame(n, 6, n, ipDestLast); }

// An IPX frame from station 1 (type 8137, or raw 802.3 with FF FF) from
// node 08:..:sourceLast to node 06:..:destLast.
Frame IpxFrame(uint16_t type, uint8_t destLast, uint8_t sourceLast)
{
    Frame frame = StationFrame(1, type);
    frame[14] = frame[15] = 0xFF;
    const uint8_t dest[6] = {6, 0, 0, 0, 0, destLast}, source[6] = {8, 0, 0, 0, 0, sourceLast};
    std::memcpy(frame.data() + 24, dest, 6);
    std::memcpy(frame.data() + 36, source, 6);
    return frame;
}

// Judges the frames round and round; `kept` of them, from the first on, are
// to be kept, the rest refused.
void Run(benchmark::State& state, const FrameFilter& filter1, const FrameFilter& filter2,
         const std::vector<Frame>& frames, const std::vector<bool>& kept)
{
    PublishFilters(filter1, filter2);
    size_t i = 0;
    int64_t keptCount = 0;
    for (auto _ : state) {
        keptCount += AcceptFrame(frames[i].data());
        i = i + 1 == frames.size() ? 0 : i + 1;
    }
    // The frames the slots keep in as many iterations.
    const int64_t rounds = state.iterations() / int64_t(frames.size());
    int64_t expected = 0;
    for (size_t f = 0; f < frames.size(); ++f)
        expected += kept[f] * (rounds + (int64_t(f) < state.iterations() % int64_t(frames.size())));
    if (keptCount != expected)
        state.SkipWithError("frames judged otherwise than the slots say");
    state.SetItemsProcessed(state.iterations());
}

// Filter 1 passes the frame after all its tests.
void BM_AcceptFrame_KeptByFilter1(benchmark::State& state) { Run(state, Slot(1), Slot(2), {FrameFor(1, 1)}, {true}); }
// Filter 1 refuses the frame at its first test (the MAC pair), Filter 2
// passes it after all of its own.
void BM_AcceptFrame_KeptByFilter2(benchmark::State& state) { Run(state, Slot(1), Slot(2), {FrameFor(2, 2)}, {true}); }
// The longest judgement: both slots fail only at their last test (IP destination).
void BM_AcceptFrame_Refused(benchmark::State& state)
{
    Run(state, Slot(1), Slot(2), {FrameFor(1, 9), FrameFor(2, 9)}, {false, false});
}
// Every test of both slots on, over frames that reach each slot's address
// tests: TCP kept by Filter 2 only; IPX (type 8137) refused by both at the
// IPX source node; raw 802.3 IPX kept by Filter 1; UDP refused by both at the
// IP source; NETBEUI kept by Filter 1; IP protocol 89, which no protocol box
// passes, refused by both.
void BM_AcceptFrame_EveryTestEnabled(benchmark::State& state)
{
    Frame netbeui = StationFrame(1, 0x0030);
    netbeui[14] = 0xF0;
    netbeui[15] = 0xF1;
    Run(state, EverySlot(1), EverySlot(2),
        {IpFrame(1, 6, 2, 2), IpxFrame(0x8137, 1, 9), IpxFrame(0x0040, 1, 1), IpFrame(1, 17, 9, 1), netbeui,
         IpFrame(1, 89, 1, 1)},
        {true, false, true, false, true, false});
}

} // namespace

BENCHMARK(BM_AcceptFrame_KeptByFilter1);
BENCHMARK(BM_AcceptFrame_KeptByFilter2);
BENCHMARK(BM_AcceptFrame_Refused);
BENCHMARK(BM_AcceptFrame_EveryTestEnabled);
BENCHMARK_MAIN();
