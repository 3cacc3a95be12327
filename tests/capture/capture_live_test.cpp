// The capture engine on a real adapter: frames sent from the peer end of a
// private veth pair and captured on the other.
#include <ctime>

#include "live_capture.h"
#include "session/capture_time.h"

// The capture's waits, linked through here (--wrap): passed on to the packet
// library unless a test makes them fail at once, as on a broken adapter, or
// holds the capture thread back before its next wait, as a busy machine would.
std::atomic<bool> g_failWaits{false};
std::atomic<bool> g_holdWaits{false};
std::atomic<int64_t> g_waits{0};

extern "C" int __real_PacketWaitPacket(AdapterObject* adapter, PacketObject* packet, uint32_t* count);
extern "C" int __wrap_PacketWaitPacket(AdapterObject* adapter, PacketObject* packet, uint32_t* count)
{
    g_waits.fetch_add(1);
    while (g_holdWaits.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!g_failWaits.load())
        return __real_PacketWaitPacket(adapter, packet, count);
    if (count != nullptr)
        *count = 0;
    return 0;
}

namespace {

using namespace std::chrono_literals;
using TestFrames::Range;
using TestFrames::ReadStored;

// Processor time while the capture runs unattended: 5 % of the wall time leaves
// room for a loaded machine or a sanitizer; a spinning thread takes it all.
void ExpectIdle(const char* when)
{
    EXPECT_LT(quarn::test::CpuSecondsWhileSleeping(1000ms), 0.05) << "CPU seconds over 1 s, " << when;
}

// Stop, timed: it must return within 100 ms, however the capture is stuck.
void ExpectPromptStop()
{
    const auto begin = std::chrono::steady_clock::now();
    StopCapture();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 100ms);
}

TEST_F(LiveCapture, SessionCaptureStoresNFramesInSendOrderEndsItselfAndStartsAgainAfterClear)
{
    const size_t labelWrites = labels.names.size() + labels.addresses.size();
    const auto realNow = [] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
    };
    const auto begun = realNow();
    ASSERT_NO_FATAL_FAILURE(CaptureSession(10, 1, 12));
    const auto ended = realNow();
    // Every frame keeps the moment it arrived, on the realtime clock and in
    // arrival order, and the time of day shown is that moment's.
    auto previous = begun;
    for (uint32_t i = 0; i < SessionBuffer::Count(); ++i) {
        const SessionBuffer::SlotContents slot = SessionBuffer::SlotAt(i);
        const auto moment = std::chrono::seconds(slot.moment.tv_sec) + std::chrono::nanoseconds(slot.moment.tv_nsec);
        EXPECT_LE(previous, moment) << i;
        EXPECT_LE(moment, ended) << i;
        EXPECT_EQ(slot.time.hundredths, LocalCaptureTime(slot.moment).hundredths) << i;
        EXPECT_EQ(slot.time.second, LocalCaptureTime(slot.moment).second) << i;
        previous = moment;
    }
    const auto stored = ReadStored();
    EXPECT_EQ(stored.numbers, Range(1, 10));
    EXPECT_TRUE(stored.lengthsMatch);
    EXPECT_TRUE(stored.buffersDistinct);
    EXPECT_FALSE(IsCapturing());
    EXPECT_EQ(FrameCounter(), 10);
    ASSERT_FALSE(status.Status().empty());
    EXPECT_EQ(status.Status().back(), kStatusIdle);
    EXPECT_EQ(status.Controls(), std::vector<std::string>{"on"});
    EXPECT_EQ(status.Counter().back(), "10");
    EXPECT_EQ(LiveFrameBuffers(), 10u); // the ring's packets and buffers are gone
    EXPECT_NE(BoundAdapter(), nullptr); // bound again, labels untouched
    EXPECT_EQ(labels.names.size() + labels.addresses.size(), labelWrites);

    // What the Clear buffer and Start handlers do; the same adapter, a fresh ring.
    SessionBuffer::ClearCount();
    ResetFrameCounter();
    EXPECT_EQ(status.Counter().back(), "0");
    ASSERT_NO_FATAL_FAILURE(CaptureSession(5, 101, 105));
    EXPECT_EQ(ReadStored().numbers, Range(101, 105));
    EXPECT_EQ(FrameCounter(), 5);
    EXPECT_EQ(LiveFrameBuffers(), 5u);
}

TEST_F(LiveCapture, ContinuousCaptureKeepsTheNewestFramesUntilStop)
{
    ASSERT_TRUE(SessionBuffer::Allocate(10, true));
    ASSERT_TRUE(StartCapture());
    for (uint32_t n = 1; n <= 25; ++n)
        Send(n);
    ASSERT_TRUE(WaitUntil([] { return FrameCounter() == 25; })) << FrameCounter();
    ASSERT_TRUE(IsCapturing());
    StopCapture();

    EXPECT_FALSE(IsCapturing());
    EXPECT_EQ(SessionBuffer::Count(), 10u);
    auto expected = Range(21, 25), older = Range(16, 20);
    expected.insert(expected.end(), older.begin(), older.end());
    const auto stored = ReadStored();
    EXPECT_EQ(stored.numbers, expected);
    EXPECT_TRUE(stored.lengthsMatch);
    EXPECT_EQ(status.Counter().back(), "25");
    EXPECT_EQ(status.Status().back(), kStatusIdle);
    EXPECT_EQ(LiveFrameBuffers(), 10u);
}

// Frames 1..8 alternate between sources A (odd) and B (even); one capture per case.
TEST_F(LiveCapture, OnlyFramesTheFilterAcceptsAreCountedAndStored)
{
    FrameFilter fromA;
    fromA.Enabled = fromA.MACSourceOn = true;
    std::copy(TestFrames::kSourceA.begin(), TestFrames::kSourceA.end(), fromA.MACSource);
    FrameFilter fromB = fromA, fromAOff = fromA;
    std::copy(TestFrames::kSourceB.begin(), TestFrames::kSourceB.end(), fromB.MACSource);
    fromAOff.Enabled = false;
    const struct {
        const char* what;
        FrameFilter filter1, filter2;
        std::vector<uint32_t> kept;
    } cases[] = {
        {"filter 1 keeps source A", fromA, FrameFilter{}, {1, 3, 5, 7}},
        {"filter 2 keeps source B", FrameFilter{}, fromB, {2, 4, 6, 8}},
        {"either slot may accept", fromA, fromB, Range(1, 8)},
        {"slots off keep every frame", fromAOff, fromAOff, Range(1, 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PublishFilters(c.filter1, c.filter2);
        ASSERT_TRUE(SessionBuffer::Allocate(10, true));
        ASSERT_TRUE(StartCapture());
        for (uint32_t n = 1; n <= 8; ++n)
            Send(n, n % 2 ? TestFrames::kSourceA : TestFrames::kSourceB);
        const auto kept = static_cast<int32_t>(c.kept.size());
        EXPECT_TRUE(WaitUntil([&] { return CurrentCaptureCounts().received == 8; }));
        std::this_thread::sleep_for(50ms); // a wrongly kept frame would show by now
        StopCapture();
        EXPECT_EQ(FrameCounter(), kept);
        EXPECT_EQ(ReadStored().numbers, c.kept);
        const uint64_t k = c.kept.size();
        EXPECT_EQ(CurrentCaptureCounts(), (CaptureCounts{.received = 8, .kept = k, .refused = 8 - k, .lost = 0}));
    }
}

// The capture thread is held back while a burst of full-size frames larger
// than the adapter's ring arrives: the kernel drops what does not fit, and
// the counts say exactly how many. Frames that arrived before the capture
// began, or after it ended, are not its losses.
TEST_F(LiveCapture, ABurstBeyondTheRingWhileTheThreadIsHeldBackIsCountedLostExactly)
{
    auto fullSize = [](uint32_t seq) {
        auto frame = TestFrames::Numbered(seq);
        frame.resize(kFrameBufferSize);
        return frame;
    };
    for (uint32_t n = 0; n < 100; ++n) // before the capture: dropped by its first post
        net->Send(fullSize(n));
    std::this_thread::sleep_for(30ms);
    ASSERT_TRUE(SessionBuffer::Allocate(100, true));
    g_holdWaits = true;
    ASSERT_TRUE(StartCapture());
    // 64 MiB hold about 42,000 frames of 1514 bytes.
    uint64_t sent = 0;
    for (uint32_t n = 0; n < 50'000; ++n)
        sent += net->Send(fullSize(n)) ? 1 : 0; // a refused send never reached the adapter
    std::this_thread::sleep_for(30ms);
    g_holdWaits = false;
    EXPECT_TRUE(WaitUntil([&] {
        const CaptureCounts counts = CurrentCaptureCounts();
        return counts.received + counts.lost >= sent;
    }));
    StopCapture();
    for (uint32_t n = 0; n < 100; ++n) // after it: not counted
        net->Send(fullSize(n));

    const CaptureCounts counts = CurrentCaptureCounts();
    EXPECT_GT(counts.lost, 0u) << "the burst fitted the ring";
    EXPECT_EQ(counts.lost, sent - counts.received);
    EXPECT_EQ(counts.kept, counts.received);
    EXPECT_EQ(counts.refused, 0u);
    EXPECT_EQ(uint64_t(FrameCounter()), counts.kept);
    EXPECT_EQ(SessionBuffer::Count(), 100u);
}

// Frames queued when Stop comes (handed up to receives the held-back thread
// has yet to take, in the ring's blocks, in the block being filled) are lost;
// those sent while Stop waits for the thread are not the capture's.
TEST_F(LiveCapture, FramesQueuedAtStopAreCountedLost)
{
    FrameFilter fromA;
    fromA.Enabled = fromA.MACSourceOn = true;
    std::copy(TestFrames::kSourceA.begin(), TestFrames::kSourceA.end(), fromA.MACSource);
    PublishFilters(fromA, FrameFilter{});
    const auto send = [&](uint32_t first, uint32_t last) {
        for (uint32_t n = first; n <= last; ++n)
            Send(n, n % 2 ? TestFrames::kSourceA : TestFrames::kSourceB);
    };
    ASSERT_TRUE(SessionBuffer::Allocate(100, true));
    ASSERT_TRUE(StartCapture());
    send(1, 8);
    ASSERT_TRUE(WaitUntil([] { return CurrentCaptureCounts().received == 8; }));
    std::this_thread::sleep_for(20ms); // the thread waits for frame 9
    g_holdWaits = true;                // it takes frame 9 and is held before its next wait
    send(9, 40);
    std::this_thread::sleep_for(50ms); // the kernel hands its block over
    send(41, 44);
    std::thread release([&] {
        std::this_thread::sleep_for(30ms);
        send(45, 50);
        std::this_thread::sleep_for(30ms);
        g_holdWaits = false;
    });
    StopCapture();
    release.join();
    const CaptureCounts counts = CurrentCaptureCounts();
    EXPECT_EQ(counts, (CaptureCounts{.received = 9, .kept = 5, .refused = 4, .lost = 35}));
    EXPECT_EQ(ReadStored().numbers, (std::vector<uint32_t>{1, 3, 5, 7, 9}));
}

// Stop ends a capture on which no frame ever arrives. The best of three keeps a
// loaded machine from failing the 100 ms by chance; a Stop that waits for
// traffic or a long timeout fails every time.
TEST_F(LiveCapture, StopWithoutTrafficReturnsPromptly)
{
    auto best = std::chrono::steady_clock::duration::max();
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(SessionBuffer::Allocate(10, true));
        ASSERT_TRUE(StartCapture());
        std::this_thread::sleep_for(20ms); // the thread is in its first wait
        const auto begin = std::chrono::steady_clock::now();
        StopCapture();
        best = std::min(best, std::chrono::steady_clock::now() - begin);
        EXPECT_FALSE(IsCapturing());
        EXPECT_EQ(FrameCounter(), 0);
        EXPECT_EQ(LiveFrameBuffers(), 10u);
    }
    EXPECT_LT(best, 100ms);
    EXPECT_EQ(status.StatusCount(kStatusIdle), 3u);
}

// The link goes down and comes back during a capture: the capture thread sleeps
// meanwhile and captures again afterwards. A removed interface leaves it asleep
// until Stop, which ends the capture as usual; no adapter is bound afterwards,
// so the next Start is refused with the no-adapter message.
TEST_F(LiveCapture, ADownedOrRemovedLinkCostsNoCpuAndStopEndsTheCaptureAsUsual)
{
    ASSERT_TRUE(SessionBuffer::Allocate(10, true));
    ASSERT_TRUE(StartCapture());
    Send(1);
    ASSERT_TRUE(WaitUntil([] { return FrameCounter() == 1; }));
    ASSERT_TRUE(net->SetCaptureLink(false)) << net->Error();
    ExpectIdle("link down");
    ASSERT_TRUE(net->SetCaptureLink(true)) << net->Error();
    ExpectIdle("link back up");
    Send(2);
    EXPECT_TRUE(WaitUntil([] { return FrameCounter() == 2; })) << "nothing captured once the link was back";
    ASSERT_TRUE(net->DeleteCaptureInterface()) << net->Error();
    ExpectIdle("interface removed");
    ASSERT_TRUE(IsCapturing());

    ExpectPromptStop();
    EXPECT_FALSE(IsCapturing());
    EXPECT_EQ(ReadStored().numbers, Range(1, 2));
    EXPECT_EQ(status.Status().back(), kStatusIdle);
    EXPECT_EQ(status.Controls(), std::vector<std::string>{"on"});
    EXPECT_EQ(status.Counter().back(), "2");
    EXPECT_EQ(LiveFrameBuffers(), 10u);
    EXPECT_EQ(BoundAdapter(), nullptr);
}

// Waits that keep failing at once must not keep the capture thread busy, and
// Stop must still end the capture at once, even while the thread pauses.
TEST_F(LiveCapture, WaitsThatKeepFailingCostNoCpuAndStopEndsTheCaptureAsUsual)
{
    struct FailingWaits {
        FailingWaits() { g_failWaits = true; }
        ~FailingWaits() { g_failWaits = false; }
    };
    ASSERT_TRUE(SessionBuffer::Allocate(10, true));
    ASSERT_TRUE(StartCapture());
    Send(1);
    ASSERT_TRUE(WaitUntil([] { return FrameCounter() == 1; }));
    {
        FailingWaits failing;
        PacketResetAdapter(BoundAdapter()); // ends the wait the thread is in
        const int64_t before = g_waits;
        ExpectIdle("waits failing");
        // Pausing 1 ms after each round of 16 would make about 14,000.
        EXPECT_LT(g_waits - before, 1000) << "waits in 1 s";
        // Stop during a pause: a round of failed waits has just ended one.
        const int64_t seen = g_waits;
        ASSERT_TRUE(WaitUntil([&] { return g_waits != seen; }));
        std::this_thread::sleep_for(20ms);
        ExpectPromptStop();
    }
    EXPECT_FALSE(IsCapturing());
    EXPECT_EQ(FrameCounter(), 1);
    EXPECT_EQ(status.Status().back(), kStatusIdle);
    EXPECT_EQ(status.Controls(), std::vector<std::string>{"on"});
    EXPECT_EQ(LiveFrameBuffers(), 10u);
    EXPECT_NE(BoundAdapter(), nullptr);
}

// The program ends (exit(), as at the end of main) after a session capture
// has ended by itself, leaving nothing for Stop, and while one still runs: the
// capture thread is joined, the running capture stopped first, and the program
// ends cleanly.
TEST_F(LiveCapture, ProgramEndsCleanlyAfterACaptureEndedByItselfAndDuringOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const bool ended = SessionBuffer::Allocate(2, false) && StartCapture() && net->Send(TestFrames::Numbered(1))
                && net->Send(TestFrames::Numbered(2)) && WaitUntil([] { return !IsCapturing(); });
            // The child's own namespaces go; its capture thread stays unjoined.
            ReleaseAdapter();
            net.reset();
            if (!ended)
                std::_Exit(2);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            // Registered before the capture starts, so it runs after the capture's end.
            std::atexit([] {
                if (IsCapturing())
                    std::_Exit(3);
            });
            if (!SessionBuffer::Allocate(2, false) || !StartCapture())
                std::_Exit(2);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(LiveCapture, StartIsRefusedWithoutAdapterSessionBufferOrRing)
{
    const struct {
        const char* why;
        bool bound, buffer;
        int64_t buffersLeft; // frame buffers that may still be allocated; -1: any
    } cases[] = {
        {"no adapter", false, true, -1},
        {"no session buffer", true, false, -1},
        {"no buffer for the first packet", true, true, 0},
        {"no buffer for the last packet", true, true, kReceiveRingSize - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        if (!c.bound)
            ReleaseAdapter();
        SessionBuffer::FreeAll();
        if (c.buffer) {
            ASSERT_TRUE(SessionBuffer::Allocate(4, false));
        }
        const uint64_t buffers = LiveFrameBuffers();
        status.Clear();
        LimitFrameBufferAllocations(c.buffersLeft);
        const bool started = StartCapture();
        LimitFrameBufferAllocations(-1);
        EXPECT_FALSE(started);
        EXPECT_FALSE(IsCapturing());
        EXPECT_TRUE(status.Empty());
        EXPECT_EQ(LiveFrameBuffers(), buffers);
        if (!c.bound) {
            ASSERT_TRUE(EnsureAdapterBound());
        }
    }
    // Nothing was left half-started: the adapter still captures.
    ASSERT_NO_FATAL_FAILURE(CaptureSession(2, 1, 2));
    EXPECT_EQ(ReadStored().numbers, Range(1, 2));
}

} // namespace
