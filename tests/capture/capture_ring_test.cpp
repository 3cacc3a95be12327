// The capture engine over a stand-in driver: what a capture stores, how it
// ends, and that each capture ends exactly once with every buffer owned once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "capture/capture.h"
#include "fake_driver.h"
#include "filter/frame_filter.h"
#include "session/session_buffer.h"
#include "status_recorder.h"
#include "test_frames.h"

namespace {

using namespace std::chrono_literals;
using TestFrames::Numbered;
using TestFrames::Range;
using TestFrames::ReadStored;

class CaptureRing : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeDriver::Reset();
        PublishFilters(FrameFilter{}, FrameFilter{});
    }
    void TearDown() override
    {
        if (IsCapturing())
            StopCapture();
        WaitCaptureEnd();
        SessionBuffer::FreeAll();
        EXPECT_EQ(FakeDriver::Violations(), 0);
        EXPECT_EQ(FakeDriver::PacketsAlive(), 0);
        EXPECT_EQ(LiveFrameBuffers(), 0u);
    }
    static bool WaitUntil(auto done)
    {
        for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(1ms))
            if (done())
                return true;
        return done();
    }
    StatusRecorder status;
};

TEST_F(CaptureRing, StartIsRefusedWithoutAdapterSessionBufferOrRing)
{
    struct Case {
        const char* why;
        bool bound;
        bool buffer;
        int failPacketAt;
    };
    for (const Case& c : {Case{"no adapter", false, true, 0}, Case{"no session buffer", true, false, 0},
                          Case{"first packet", true, true, 1}, Case{"last packet", true, true, 16}}) {
        SCOPED_TRACE(c.why);
        FakeDriver::SetBound(c.bound);
        FakeDriver::FailPacketAllocationAt(c.failPacketAt);
        SessionBuffer::FreeAll();
        if (c.buffer) {
            ASSERT_TRUE(SessionBuffer::Allocate(4, false));
        }
        const uint64_t buffers = LiveFrameBuffers();
        EXPECT_FALSE(StartCapture());
        EXPECT_FALSE(IsCapturing());
        EXPECT_TRUE(status.Empty());
        EXPECT_EQ(LiveFrameBuffers(), buffers);
        EXPECT_EQ(FakeDriver::PacketsAlive(), 0);
        EXPECT_EQ(FakeDriver::Reopens(), 0);
    }
}

TEST_F(CaptureRing, RingBufferAllocationFailureRefusesStart)
{
    ASSERT_TRUE(SessionBuffer::Allocate(4, false));
    LimitFrameBufferAllocations(7);
    const bool started = StartCapture();
    LimitFrameBufferAllocations(-1);
    EXPECT_FALSE(started);
    EXPECT_TRUE(status.Empty());
    EXPECT_EQ(LiveFrameBuffers(), 4u);
    EXPECT_EQ(FakeDriver::PacketsAlive(), 0);
}

TEST_F(CaptureRing, SessionCaptureStoresNFramesInOrderAndEndsItself)
{
    ASSERT_TRUE(SessionBuffer::Allocate(10, false));
    for (uint32_t n = 1; n <= 12; ++n)
        FakeDriver::PutOnWire(Numbered(n));
    ASSERT_TRUE(StartCapture());
    ASSERT_TRUE(WaitUntil([] { return !IsCapturing(); }));
    WaitCaptureEnd();

    const auto stored = ReadStored();
    EXPECT_EQ(stored.numbers, Range(1, 10));
    EXPECT_TRUE(stored.lengthsMatch);
    EXPECT_TRUE(stored.buffersDistinct);
    EXPECT_EQ(FrameCounter(), 10);
    EXPECT_EQ(ReceivedLength(), 70u);
    EXPECT_EQ(FakeDriver::Reopens(), 1);
    EXPECT_EQ(LiveFrameBuffers(), 10u); // the ring's 16 are gone
    EXPECT_EQ(status.Status(), (std::vector<std::string>{std::string(kStatusCapturing), std::string(kStatusIdle)}));
    EXPECT_EQ(status.Counter(), (std::vector<std::string>{"0", "10"}));
    EXPECT_EQ(status.Controls(), std::vector<std::string>{"on"});
}

TEST_F(CaptureRing, ContinuousCaptureKeepsTheNewestFramesUntilStop)
{
    ASSERT_TRUE(SessionBuffer::Allocate(10, true));
    ASSERT_TRUE(StartCapture());
    for (uint32_t n = 1; n <= 25; ++n)
        FakeDriver::PutOnWire(Numbered(n));
    ASSERT_TRUE(WaitUntil([] { return FrameCounter() == 25; }));
    EXPECT_TRUE(IsCapturing());
    StopCapture();

    EXPECT_FALSE(IsCapturing());
    EXPECT_EQ(SessionBuffer::Count(), 10u);
    auto expected = Range(21, 25);
    for (uint32_t n : Range(16, 20))
        expected.push_back(n);
    const auto stored = ReadStored();
    EXPECT_EQ(stored.numbers, expected);
    EXPECT_TRUE(stored.buffersDistinct);
    EXPECT_EQ(status.Counter().back(), "25");
    EXPECT_EQ(status.Status().back(), kStatusIdle);
}

TEST_F(CaptureRing, RefusedFramesLeaveNoTrace)
{
    FrameFilter onlyA;
    onlyA.Enabled = onlyA.MACSourceOn = true;
    std::copy(TestFrames::kSourceA.begin(), TestFrames::kSourceA.end(), onlyA.MACSource);
    PublishFilters(onlyA, FrameFilter{});
    ASSERT_TRUE(SessionBuffer::Allocate(10, true));
    ASSERT_TRUE(StartCapture());
    for (uint32_t n = 1; n <= 8; ++n)
        FakeDriver::PutOnWire(Numbered(n, n % 2 ? TestFrames::kSourceA : TestFrames::kSourceB));
    ASSERT_TRUE(WaitUntil([] { return FrameCounter() == 4; }));
    std::this_thread::sleep_for(20ms); // a wrongly kept frame would show up by now
    StopCapture();
    EXPECT_EQ(FrameCounter(), 4);
    EXPECT_EQ(ReadStored().numbers, (std::vector<uint32_t>{1, 3, 5, 7}));
}

// Stop races the thread's own end when a session buffer fills: whichever wins,
// the capture ends once (one reopen, one idle status), and every buffer is
// owned by exactly one slot once the ring is freed.
TEST_F(CaptureRing, StopAndTheThreadsOwnEndNeverBothEndACapture)
{
    constexpr uint32_t kSlots = 4;
    for (int cycle = 1; cycle <= 150; ++cycle) {
        ASSERT_TRUE(SessionBuffer::Allocate(kSlots, false));
        FakeDriver::ClearWire();
        status.Clear();
        ASSERT_TRUE(StartCapture());
        for (uint32_t n = 1; n <= kSlots; ++n)
            FakeDriver::PutOnWire(Numbered(n));
        if (cycle % 3)
            std::this_thread::sleep_for(std::chrono::microseconds(cycle % 7 * 20));
        StopCapture();
        ASSERT_FALSE(IsCapturing());
        ASSERT_EQ(FakeDriver::Reopens(), cycle);
        ASSERT_EQ(status.StatusCount(kStatusIdle), 1u);
        ASSERT_EQ(LiveFrameBuffers(), kSlots);
        ASSERT_TRUE(ReadStored().buffersDistinct);
        ASSERT_EQ(FakeDriver::Violations(), 0);
    }
}

} // namespace
