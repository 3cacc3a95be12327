// Republishing the slots while the capture judges frames: every judgement and
// every read sees one publication whole, never fields of two.
#include "filter/frame_filter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "crafted_frame.h"

namespace {

// Two settings that differ in every byte the test can see. Each keeps only
// frames to its own destination from its own source; a torn slot would pair
// one setting's destination with the other's source.
struct Setting {
    FrameFilter filter1;
    FrameFilter filter2;
};

Setting MakeSetting(uint8_t dest, uint8_t source, bool ipInFilter2) {
    Setting s;
    s.filter1.Enabled = true;
    s.filter1.MACDestOn = true;
    std::memset(s.filter1.MACDest, dest, 6);
    s.filter1.MACSourceOn = true;
    std::memset(s.filter1.MACSource, source, 6);
    std::memset(s.filter1.IPXSource, dest, 6);
    s.filter2.Enabled = ipInFilter2;
    s.filter2.MACDestOn = true;
    std::memset(s.filter2.MACDest, source, 6);
    s.filter2.ProtoIP = true;
    std::memset(s.filter2.IPXSource, source, 6);
    return s;
}

bool Same(const FrameFilter& a, const FrameFilter& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

CraftedFrame FrameBetween(uint8_t dest, uint8_t source) {
    CraftedFrame frame;
    std::memset(frame.bytes.data(), dest, 6);
    std::memset(frame.bytes.data() + 6, source, 6);
    return frame.Type(0x0806);
}

TEST(PublishFilters, AJudgementNeverSeesAHalfWrittenSetting) {
    const Setting a = MakeSetting(0xA1, 0xA2, false);
    const Setting b = MakeSetting(0xB1, 0xB2, false);
    const CraftedFrame mixed1 = FrameBetween(0xA1, 0xB2), mixed2 = FrameBetween(0xB1, 0xA2);
    const CraftedFrame toA = FrameBetween(0xA1, 0xA2), toB = FrameBetween(0xB1, 0xB2);
    PublishFilters(a.filter1, a.filter2);

    // The publisher flips between the two settings for as long as the reader
    // judges, so the two overlap however the threads are scheduled.
    std::atomic<bool> started{false}, done{false};
    std::thread publisher([&] {
        for (long i = 0; !done.load(std::memory_order_relaxed); ++i) {
            const Setting& s = i % 2 ? b : a;
            PublishFilters(s.filter1, s.filter2);
            started.store(true, std::memory_order_relaxed);
        }
        PublishFilters(a.filter1, a.filter2);
    });
    while (!started.load(std::memory_order_relaxed))
        std::this_thread::yield();

    long mixedAccepted = 0, tornReads = 0;
    for (int i = 0; i < 50000; ++i) {
        mixedAccepted += AcceptFrame(mixed1.data()) + AcceptFrame(mixed2.data());
        FrameFilter f1, f2;
        ReadFilters(f1, f2);
        const bool isA = Same(f1, a.filter1) && Same(f2, a.filter2);
        const bool isB = Same(f1, b.filter1) && Same(f2, b.filter2);
        tornReads += !isA && !isB;
    }
    done.store(true);
    publisher.join();

    EXPECT_EQ(mixedAccepted, 0);
    EXPECT_EQ(tornReads, 0);
    // The last publication was setting a.
    EXPECT_TRUE(AcceptFrame(toA.data()));
    EXPECT_FALSE(AcceptFrame(toB.data()));
    EXPECT_FALSE(AcceptFrame(mixed1.data()));
}

// Several publishers at once (the window's OK and a test harness, say) still
// leave exactly one of their settings in force, whole.
TEST(PublishFilters, ConcurrentPublishersLeaveOneWholeSetting) {
    const Setting a = MakeSetting(0x11, 0x12, true);
    const Setting b = MakeSetting(0x21, 0x22, false);
    PublishFilters(FrameFilter{}, FrameFilter{});
    auto publish = [](const Setting& s) {
        for (int i = 0; i < 5000; ++i)
            PublishFilters(s.filter1, s.filter2);
    };
    std::thread first(publish, std::cref(a));
    std::thread second(publish, std::cref(b));
    long torn = 0;
    for (int i = 0; i < 5000; ++i) {
        FrameFilter f1, f2;
        ReadFilters(f1, f2);
        torn += !(Same(f1, a.filter1) && Same(f2, a.filter2)) && !(Same(f1, b.filter1) && Same(f2, b.filter2)) &&
                !(Same(f1, FrameFilter{}) && Same(f2, FrameFilter{}));
    }
    first.join();
    second.join();
    EXPECT_EQ(torn, 0);
    FrameFilter f1, f2;
    ReadFilters(f1, f2);
    EXPECT_TRUE((Same(f1, a.filter1) && Same(f2, a.filter2)) || (Same(f1, b.filter1) && Same(f2, b.filter2)));
}

} // namespace
