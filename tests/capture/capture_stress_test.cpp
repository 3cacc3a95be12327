// Start and Stop, over and over, while frames flow from the peer and the filter
// slots are republished from another thread. Meant for the sanitizer builds
// (a race, leak or double free fails there); every cycle must also leave each
// buffer owned exactly once.
#include "live_capture.h"

namespace {

using namespace std::chrono_literals;

TEST_F(LiveCapture, StartStopCyclesUnderTrafficAndFilterChanges)
{
    constexpr int kCycles = 200;
    constexpr uint32_t kSlots = 8;
    // Joined when the test leaves, also on a failed assertion.
    std::jthread traffic([&](std::stop_token stop) {
        for (uint32_t n = 1; !stop.stop_requested(); ++n) {
            net->Send(TestFrames::Numbered(n, n % 2 ? TestFrames::kSourceA : TestFrames::kSourceB));
            if (n % 8 == 0) // bursts, so session buffers fill within a cycle
                std::this_thread::sleep_for(100us);
        }
    });
    std::jthread filters([&](std::stop_token stop) {
        FrameFilter fromA;
        fromA.Enabled = fromA.MACSourceOn = true;
        std::copy(TestFrames::kSourceA.begin(), TestFrames::kSourceA.end(), fromA.MACSource);
        for (int k = 0; !stop.stop_requested(); ++k) {
            PublishFilters(k % 2 ? fromA : FrameFilter{}, FrameFilter{});
            std::this_thread::sleep_for(100us);
        }
    });

    int selfEnded = 0; // captures that ended by themselves before Stop
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        status.Clear();
        // Session-mode cycles (odd) end by Stop, by themselves, or by both at
        // about the same moment; every fourth runs until its buffer is full, so
        // the capture's own end is certainly met.
        ASSERT_TRUE(SessionBuffer::Allocate(kSlots, cycle % 2 == 0));
        ASSERT_TRUE(StartCapture());
        if (cycle % 8 == 7) {
            WaitUntil([] { return !IsCapturing(); }, 2s);
        } else {
            const int wait = cycle % 2 ? cycle / 2 % 4 * 4000 : cycle % 5 * 500;
            std::this_thread::sleep_for(std::chrono::microseconds(wait));
        }
        selfEnded += !IsCapturing();
        StopCapture();
        WaitCaptureEnd();
        ASSERT_FALSE(IsCapturing()) << "cycle " << cycle;
        ASSERT_EQ(status.StatusCount(kStatusIdle), 1u) << "cycle " << cycle;
        ASSERT_EQ(LiveFrameBuffers(), kSlots) << "cycle " << cycle;
        ASSERT_TRUE(TestFrames::ReadStored().buffersDistinct) << "cycle " << cycle;
        ASSERT_NE(BoundAdapter(), nullptr) << "cycle " << cycle;
    }
    EXPECT_GT(selfEnded, 0) << "no session cycle filled up, so Stop never met a capture's own end";
}

} // namespace
