// Receives, resets and sends racing each other on one adapter: two threads
// each keep eight receives posted, a third resets the adapter every few
// milliseconds, a fourth sends without pause. Every completed receive must
// hold one whole frame, each thread must see the frames in sending order, and
// every thread must come back when asked (no lost wake-up, no wait for ever).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "frimble/frimble.h"
#include "tests/support/live_net.h"

namespace {

using quarn::test::LiveNet;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kFrame = 64;
constexpr int kPerReader = 8;

struct ReaderLog {
    long frames = 0;
    long failures = 0;
    long badFrames = 0;
    long outOfOrder = 0;
};

void Read(AdapterObject* adapter, const std::atomic<bool>& stop, std::atomic<int>& left, ReaderLog& log)
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
        if (PacketWaitPacket(adapter, packets[i], &count)) {
            uint32_t sequence = 0;
            std::memcpy(&sequence, buffers[i].data() + 14, sizeof sequence);
            log.badFrames += count != kFrame || buffers[i][12] != 0x88 || buffers[i][13] != 0xB5;
            log.outOfOrder += long(sequence) <= last;
            last = sequence;
            ++log.frames;
        } else {
            log.failures += 1;
            EXPECT_EQ(count, 0u);
        }
        if (stop.load())
            break;
        PacketReceivePacket(adapter, packets[i], false, nullptr);
    }
    ++left;
    // Stopped: the adapter's close, maybe still to come, ends whatever is posted.
    for (PacketObject* p : packets) {
        uint32_t count = 0;
        PacketWaitPacket(adapter, p, &count);
    }
    for (PacketObject* p : packets)
        PacketFreePacket(p);
}

TEST(ReceiveRace, ResetsAmongTwoWaitingThreadsLoseNoWakeUp)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    AdapterObject* adapter = PacketOpenAdapter(net.AdapterName().c_str());
    ASSERT_NE(adapter, nullptr);
    ASSERT_TRUE(PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS));

    std::atomic<bool> stopReaders{false}, stopOthers{false};
    std::atomic<int> left{0};
    std::array<ReaderLog, 2> logs;
    std::thread readerA([&] { Read(adapter, stopReaders, left, logs[0]); });
    std::thread readerB([&] { Read(adapter, stopReaders, left, logs[1]); });
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
        while (!stopOthers.load()) {
            PacketResetAdapter(adapter);
            std::this_thread::sleep_for(milliseconds(3));
        }
    });

    std::this_thread::sleep_for(milliseconds(1500));
    stopOthers = true;
    sender.join();
    resetter.join();
    // A reader may sit in a wait for a receive it posted after the last
    // reset: resets are repeated until both have left their loops (as the
    // capture's Stop does), then the close ends what they still wait for.
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

    for (const ReaderLog& log : logs) {
        EXPECT_GT(log.frames, 0);
        EXPECT_GT(log.failures, 0);
        EXPECT_EQ(log.badFrames, 0);
        EXPECT_EQ(log.outOfOrder, 0);
    }
}

} // namespace
