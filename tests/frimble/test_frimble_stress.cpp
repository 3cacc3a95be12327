// Two threads each keep eight receives posted on one adapter while a third
// resets it every few milliseconds and a fourth sends without pause: every
// completed receive holds one whole frame, in sending order, and every thread
// comes back when asked (no lost wake-up, no wait for ever).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "frimble/frimble.h"
#include "tests/support/require_live.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kFrame = 64;
constexpr int kPerReader = 8;

struct Reader {
    long frames = 0, failures = 0, badFrames = 0, outOfOrder = 0;

    void Run(AdapterObject* adapter, const std::atomic<bool>& stop, std::atomic<int>& left)
    {
        std::array<PacketObject*, kPerReader> packets{};
        std::vector<std::array<uint8_t, 1514>> buffers(kPerReader);
        for (int i = 0; i < kPerReader; ++i) {
            packets[i] = PacketAllocatePacket();
            PacketInitPacket(packets[i], buffers[i].data(), 1514);
            PacketReceivePacket(adapter, packets[i], false, nullptr);
        }
        long last = -1;
        for (int i = 0; !stop.load(); i = (i + 1) % kPerReader) {
            uint32_t count = 0;
            const uint8_t* frame = buffers[i].data();
            if (PacketWaitPacket(adapter, packets[i], &count)) {
                uint32_t sequence = 0;
                std::memcpy(&sequence, frame + 14, sizeof sequence);
                badFrames += count != kFrame || frame[12] != 0x88 || frame[13] != 0xB5;
                outOfOrder += long(sequence) <= last;
                last = sequence;
                ++frames;
            } else {
                ++failures;
                EXPECT_EQ(count, 0u);
            }
            if (!stop.load())
                PacketReceivePacket(adapter, packets[i], false, nullptr);
        }
        ++left;
        // Stopped: the adapter's close, maybe still to come, ends whatever is posted.
        for (PacketObject* p : packets) {
            uint32_t count = 0;
            PacketWaitPacket(adapter, p, &count);
            PacketFreePacket(p);
        }
    }
};

TEST(ReceiveRace, ResetsAmongTwoWaitingThreadsLoseNoWakeUp)
{
    QUARN_REQUIRE_LIVE();
    quarn::test::LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    AdapterObject* adapter = PacketOpenAdapter(net.AdapterName().c_str());
    ASSERT_NE(adapter, nullptr);
    ASSERT_TRUE(PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS));

    std::atomic<bool> stopReaders{false}, stopOthers{false};
    std::atomic<int> left{0};
    std::array<Reader, 2> readers;
    std::thread readerA([&] { readers[0].Run(adapter, stopReaders, left); });
    std::thread readerB([&] { readers[1].Run(adapter, stopReaders, left); });
    std::thread sender([&] {
        std::array<uint8_t, kFrame> frame{};
        std::memcpy(frame.data(), net.CaptureMac().data(), 6);
        std::memcpy(frame.data() + 6, net.PeerMac().data(), 6);
        frame[12] = 0x88;
        frame[13] = 0xB5;
        for (uint32_t sequence = 0; !stopOthers.load(); ++sequence) {
            std::memcpy(frame.data() + 14, &sequence, sizeof sequence);
            net.Send(frame);
            if (sequence % 64 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::thread resetter([&] {
        for (; !stopOthers.load(); std::this_thread::sleep_for(milliseconds(3)))
            PacketResetAdapter(adapter);
    });

    std::this_thread::sleep_for(milliseconds(1500));
    stopOthers = true;
    sender.join();
    resetter.join();
    // A reader may wait for a receive posted after the last reset: reset until
    // both have left their loops (as the capture's Stop does), then close.
    stopReaders = true;
    const auto stoppedAt = Clock::now();
    while (left.load() < 2 && Clock::now() - stoppedAt < std::chrono::seconds(2)) {
        PacketResetAdapter(adapter);
        std::this_thread::sleep_for(milliseconds(1));
    }
    EXPECT_EQ(left.load(), 2) << "a reader never came back from its wait";
    // Well inside the waits' 250 ms safety poll: the wake-ups did the work.
    EXPECT_LT(Clock::now() - stoppedAt, milliseconds(150));
    const auto closedAt = Clock::now();
    PacketCloseAdapter(adapter);
    readerA.join();
    readerB.join();
    EXPECT_LT(Clock::now() - closedAt, milliseconds(500));

    for (const Reader& r : readers) {
        EXPECT_GT(r.frames, 0);
        EXPECT_GT(r.failures, 0);
        EXPECT_EQ(r.badFrames, 0);
        EXPECT_EQ(r.outOfOrder, 0);
    }
}

} // namespace
