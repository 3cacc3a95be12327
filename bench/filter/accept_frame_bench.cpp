// The filter on the capture's per-frame path: AcceptFrame with both slots
// enabled, each testing a MAC pair, IP with TCP and UDP, and an IP pair.
#include "filter/frame_filter.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

using Frame = std::array<uint8_t, 1514>;

// Filter n keeps TCP or UDP frames between host 10.0.0.n and 10.0.1.n, sent
// from station 02:..:n to station 04:..:n.
FrameFilter Slot(uint8_t n) {
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

// A TCP frame that slot n's MAC and protocol tests pass, with the given last
// byte of the destination IP address.
Frame FrameFor(uint8_t n, uint8_t ipDestLast) {
    Frame frame{};
    const uint8_t head[] = {4, 0, 0, 0, 0, n, 2, 0, 0, 0, 0, n, 0x08, 0x00, 0x45, 0x00};
    std::memcpy(frame.data(), head, sizeof head);
    frame[23] = 6;
    const uint8_t addresses[8] = {10, 0, 0, n, 10, 0, 1, ipDestLast};
    std::memcpy(frame.data() + 26, addresses, sizeof addresses);
    return frame;
}

void Run(benchmark::State& state, const std::vector<Frame>& frames, bool expectKept) {
    PublishFilters(Slot(1), Slot(2));
    size_t i = 0;
    int64_t kept = 0;
    for (auto _ : state) {
        kept += AcceptFrame(frames[i].data());
        i = i + 1 == frames.size() ? 0 : i + 1;
    }
    if ((kept == state.iterations()) != expectKept)
        state.SkipWithError("frames judged otherwise than the slots say");
    state.SetItemsProcessed(state.iterations());
}

// Filter 1 passes the frame after all its tests.
void BM_AcceptFrame_KeptByFilter1(benchmark::State& state) { Run(state, {FrameFor(1, 1)}, true); }
// Filter 1 fails the last test, Filter 2 passes after all of its own.
void BM_AcceptFrame_KeptByFilter2(benchmark::State& state) { Run(state, {FrameFor(2, 2)}, true); }
// The longest judgement: both slots fail only at their last test (IP destination).
void BM_AcceptFrame_Refused(benchmark::State& state) {
    Run(state, {FrameFor(1, 9), FrameFor(2, 9)}, false);
}

} // namespace

BENCHMARK(BM_AcceptFrame_KeptByFilter1);
BENCHMARK(BM_AcceptFrame_KeptByFilter2);
BENCHMARK(BM_AcceptFrame_Refused);
BENCHMARK_MAIN();
