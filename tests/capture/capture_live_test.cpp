// The capture engine on a real adapter: frames sent from the peer end of a
// private veth pair and captured on the other.
#include "live_capture.h"

namespace {

using namespace std::chrono_literals;
using TestFrames::Range;
using TestFrames::ReadStored;

TEST_F(LiveCapture, SessionCaptureStoresNFramesInSendOrderEndsItselfAndStartsAgainAfterClear)
{
    const size_t labelWrites = labels.names.size() + labels.addresses.size();
    ASSERT_NO_FATAL_FAILURE(CaptureSession(10, 1, 12));
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
        EXPECT_TRUE(WaitUntil([&] { return FrameCounter() >= kept; }));
        std::this_thread::sleep_for(50ms); // a wrongly kept frame would show by now
        StopCapture();
        EXPECT_EQ(FrameCounter(), kept);
        EXPECT_EQ(ReadStored().numbers, c.kept);
    }
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

// The operator closes the program after a session capture has ended by itself:
// nothing is left for Stop, and the program must still end cleanly.
TEST_F(LiveCapture, ProgramEndsCleanlyAfterACaptureEndedByItself)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const bool ended = SessionBuffer::Allocate(2, false) && StartCapture()
                && net->Send(TestFrames::Numbered(1)) && net->Send(TestFrames::Numbered(2))
                && WaitUntil([] { return !IsCapturing(); });
            // The child's own namespaces go; its capture thread stays unjoined.
            ReleaseAdapter();
            net.reset();
            if (!ended)
                std::_Exit(2);
            std::exit(0); // static destructors run, as at the end of main
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
