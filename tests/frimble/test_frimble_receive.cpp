// The receive contract on a veth pair: posting order, exact lengths, cut
// jumbo frames, frames outside posted receives, and ending receives by close
// and by reset while another thread waits.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include "frimble/frimble.h"
#include "tests/support/live_net.h"

namespace {

using quarn::test::LiveNet;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kFrameBuffer = 1514;

// A frame to the capture end from the peer, with an experimental EtherType and
// a payload that tells frames apart.
std::vector<uint8_t> MakeFrame(const LiveNet& net, size_t length, uint8_t tag)
{
    std::vector<uint8_t> frame(length);
    std::memcpy(frame.data(), net.CaptureMac().data(), 6);
    std::memcpy(frame.data() + 6, net.PeerMac().data(), 6);
    frame[12] = 0x88;
    frame[13] = 0xB5;
    for (size_t i = 14; i < length; ++i)
        frame[i] = static_cast<uint8_t>(tag + i);
    return frame;
}

// One receive packet with its own 1514-byte buffer.
struct Receive {
    Receive() : packet(PacketAllocatePacket())
    {
        buffer.fill(0xEE);
        PacketInitPacket(packet, buffer.data(), kFrameBuffer);
    }
    ~Receive() { PacketFreePacket(packet); }
    PacketObject* packet;
    std::array<uint8_t, kFrameBuffer> buffer;
};

class LiveAdapter : public ::testing::Test {
protected:
    void Open(LiveNet::Options options = {})
    {
        net = std::make_unique<LiveNet>(options);
        ASSERT_TRUE(net->Ready()) << net->Error();
        adapter = PacketOpenAdapter(net->AdapterName().c_str());
        ASSERT_NE(adapter, nullptr);
        ASSERT_TRUE(PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS));
    }
    void TearDown() override
    {
        if (adapter != nullptr)
            PacketCloseAdapter(adapter);
        net.reset();
    }
    std::unique_ptr<LiveNet> net;
    AdapterObject* adapter = nullptr;
};

TEST_F(LiveAdapter, PostedReceivesCompleteInPostingOrderWithExactLengths)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    std::vector<std::unique_ptr<Receive>> ring;
    for (int i = 0; i < 16; ++i) {
        ring.push_back(std::make_unique<Receive>());
        ASSERT_TRUE(PacketReceivePacket(adapter, ring.back()->packet, false, nullptr));
    }
    std::vector<std::vector<uint8_t>> sent;
    for (int i = 0; i < 16; ++i) {
        sent.push_back(MakeFrame(*net, 60 + 90 * i, static_cast<uint8_t>(i)));
        ASSERT_TRUE(net->Send(sent.back()));
    }
    for (int i = 0; i < 16; ++i) {
        uint32_t count = 0;
        ASSERT_TRUE(PacketWaitPacket(adapter, ring[i]->packet, &count)) << i;
        ASSERT_EQ(count, sent[i].size()) << i;
        EXPECT_EQ(0, std::memcmp(ring[i]->buffer.data(), sent[i].data(), count)) << i;
        EXPECT_EQ(ring[i]->buffer[count], 0xEE) << i << ": written past the frame";
    }
    // The buffer field may be swapped between receives; the next one lands in the new buffer.
    std::array<uint8_t, kFrameBuffer> other{};
    PacketInitPacket(ring[0]->packet, other.data(), kFrameBuffer);
    ASSERT_TRUE(PacketReceivePacket(adapter, ring[0]->packet, false, nullptr));
    const auto last = MakeFrame(*net, 100, 0x77);
    ASSERT_TRUE(net->Send(last));
    uint32_t count = 0;
    ASSERT_TRUE(PacketWaitPacket(adapter, ring[0]->packet, &count));
    EXPECT_EQ(count, 100u);
    EXPECT_EQ(0, std::memcmp(other.data(), last.data(), 100));
}

TEST_F(LiveAdapter, WaitingForALaterPacketCompletesTheEarlierOnesFirst)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    Receive first, second;
    ASSERT_TRUE(PacketReceivePacket(adapter, first.packet, false, nullptr));
    ASSERT_TRUE(PacketReceivePacket(adapter, second.packet, false, nullptr));
    const auto a = MakeFrame(*net, 64, 1), b = MakeFrame(*net, 70, 2);
    ASSERT_TRUE(net->Send(a));
    ASSERT_TRUE(net->Send(b));
    uint32_t count = 0;
    ASSERT_TRUE(PacketWaitPacket(adapter, second.packet, &count));
    EXPECT_EQ(count, 70u);
    ASSERT_TRUE(PacketWaitPacket(adapter, first.packet, &count));
    EXPECT_EQ(count, 64u);
    EXPECT_EQ(0, std::memcmp(first.buffer.data(), a.data(), 64));
}

TEST_F(LiveAdapter, FreeingAPostedPacketTakesItOutOfTheQueue)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    auto freed = std::make_unique<Receive>();
    Receive kept;
    ASSERT_TRUE(PacketReceivePacket(adapter, freed->packet, false, nullptr));
    ASSERT_TRUE(PacketReceivePacket(adapter, kept.packet, false, nullptr));
    freed.reset();
    ASSERT_TRUE(net->Send(MakeFrame(*net, 99, 5)));
    uint32_t count = 0;
    ASSERT_TRUE(PacketWaitPacket(adapter, kept.packet, &count));
    EXPECT_EQ(count, 99u);
}

TEST_F(LiveAdapter, JumboFrameIsCutToTheBufferLength)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open(LiveNet::Options{.mtu = 9000}));
    Receive receive;
    ASSERT_TRUE(PacketReceivePacket(adapter, receive.packet, false, nullptr));
    const auto jumbo = MakeFrame(*net, 9000, 9);
    ASSERT_TRUE(net->Send(jumbo));
    uint32_t count = 0;
    ASSERT_TRUE(PacketWaitPacket(adapter, receive.packet, &count));
    EXPECT_EQ(count, 1514u);
    EXPECT_EQ(0, std::memcmp(receive.buffer.data(), jumbo.data(), 1514));
}

TEST_F(LiveAdapter, VlanTagTakenOutByTheKernelIsPutBack)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    Receive receive;
    ASSERT_TRUE(PacketReceivePacket(adapter, receive.packet, false, nullptr));
    auto tagged = MakeFrame(*net, 80, 3);
    const uint8_t tag[4] = {0x81, 0x00, 0x20, 0x07};  // priority 1, VLAN 7
    tagged.insert(tagged.begin() + 12, tag, tag + 4);
    ASSERT_TRUE(net->Send(tagged));
    uint32_t count = 0;
    ASSERT_TRUE(PacketWaitPacket(adapter, receive.packet, &count));
    ASSERT_EQ(count, tagged.size());
    EXPECT_EQ(0, std::memcmp(receive.buffer.data(), tagged.data(), count));
}

TEST_F(LiveAdapter, FramesArrivingWhileNothingIsPostedAreNotHandedUp)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(net->Send(MakeFrame(*net, 90, 1)));
    std::this_thread::sleep_for(milliseconds(30));  // the kernel has handed it to the ring
    Receive receive;
    ASSERT_TRUE(PacketReceivePacket(adapter, receive.packet, false, nullptr));
    ASSERT_TRUE(net->Send(MakeFrame(*net, 91, 2)));
    uint32_t count = 0;
    ASSERT_TRUE(PacketWaitPacket(adapter, receive.packet, &count));
    EXPECT_EQ(count, 91u);
}

TEST_F(LiveAdapter, SyncReceiveWaitsForTheFrame)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    Receive receive;
    auto sender = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(milliseconds(30));
        return net->Send(MakeFrame(*net, 123, 4));
    });
    uint32_t count = 0;
    EXPECT_TRUE(PacketReceivePacket(adapter, receive.packet, true, &count));
    EXPECT_TRUE(sender.get());
    EXPECT_EQ(count, 123u);
}

TEST_F(LiveAdapter, FailedPostIsReportedByTheWaitAtOnce)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    PacketObject* packet = PacketAllocatePacket();
    PacketInitPacket(packet, nullptr, 0);  // nothing to read into
    EXPECT_TRUE(PacketReceivePacket(adapter, packet, false, nullptr));  // async posts report nothing
    uint32_t count = 5;
    const auto start = Clock::now();
    EXPECT_FALSE(PacketWaitPacket(adapter, packet, &count));
    EXPECT_LT(Clock::now() - start, milliseconds(50));
    EXPECT_EQ(count, 0u);
    // A second wait has nothing outstanding to collect.
    EXPECT_FALSE(PacketWaitPacket(adapter, packet, &count));
    PacketFreePacket(packet);
}

// A thread blocked in a wait, and how long after `end` its wait returned.
struct BlockedWait {
    std::atomic<bool> returned{false};
    int result = -1;
    uint32_t count = 99;
    Clock::time_point at;
};

TEST_F(LiveAdapter, ClosingEndsAWaitInAnotherThreadPromptly)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    const int promiscuous = net->CapturePromiscuity();
    Receive waited, queued;
    ASSERT_TRUE(PacketReceivePacket(adapter, waited.packet, false, nullptr));
    ASSERT_TRUE(PacketReceivePacket(adapter, queued.packet, false, nullptr));
    BlockedWait wait;
    std::thread waiter([&] {
        wait.result = PacketWaitPacket(adapter, queued.packet, &wait.count);
        wait.at = Clock::now();
        wait.returned = true;
    });
    std::this_thread::sleep_for(milliseconds(50));
    ASSERT_FALSE(wait.returned);
    const auto closedAt = Clock::now();
    PacketCloseAdapter(adapter);  // frees the AdapterObject while the wait is inside
    AdapterObject* closed = adapter;
    adapter = nullptr;
    waiter.join();
    EXPECT_EQ(wait.result, 0);
    EXPECT_EQ(wait.count, 0u);
    EXPECT_LT(wait.at - closedAt, milliseconds(100));
    // Every other outstanding receive ended too; the wait never touches the freed adapter.
    uint32_t count = 7;
    EXPECT_FALSE(PacketWaitPacket(closed, waited.packet, &count));
    EXPECT_EQ(count, 0u);
    // The socket went with the last waiter, and promiscuity with it.
    EXPECT_EQ(net->CapturePromiscuity(), promiscuous - 1);
}

TEST_F(LiveAdapter, ResetEndsOutstandingReceivesAndForgetsCapturedFrames)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    Receive blocked, pending;
    ASSERT_TRUE(PacketReceivePacket(adapter, blocked.packet, false, nullptr));
    BlockedWait wait;
    std::thread waiter([&] {
        wait.result = PacketWaitPacket(adapter, blocked.packet, &wait.count);
        wait.at = Clock::now();
        wait.returned = true;
    });
    std::this_thread::sleep_for(milliseconds(50));
    ASSERT_FALSE(wait.returned);
    // A second receive is outstanding behind it.
    ASSERT_TRUE(PacketReceivePacket(adapter, pending.packet, false, nullptr));
    const auto resetAt = Clock::now();
    EXPECT_TRUE(PacketResetAdapter(adapter));
    waiter.join();
    EXPECT_EQ(wait.result, 0);
    EXPECT_EQ(wait.count, 0u);
    EXPECT_LT(wait.at - resetAt, milliseconds(100));
    uint32_t count = 1;
    EXPECT_FALSE(PacketWaitPacket(adapter, pending.packet, &count));
    EXPECT_EQ(count, 0u);

    // Still open and usable: a frame captured before the reset is gone, new ones arrive.
    ASSERT_TRUE(PacketReceivePacket(adapter, blocked.packet, false, nullptr));
    ASSERT_TRUE(net->Send(MakeFrame(*net, 66, 1)));
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_TRUE(PacketResetAdapter(adapter));
    EXPECT_FALSE(PacketWaitPacket(adapter, blocked.packet, &count));
    ASSERT_TRUE(PacketReceivePacket(adapter, blocked.packet, false, nullptr));
    ASSERT_TRUE(net->Send(MakeFrame(*net, 67, 2)));
    ASSERT_TRUE(PacketWaitPacket(adapter, blocked.packet, &count));
    EXPECT_EQ(count, 67u);
    // A later wait blocks again instead of seeing the old wake-up.
    ASSERT_TRUE(PacketReceivePacket(adapter, blocked.packet, false, nullptr));
    std::thread late([&] { net->Send(MakeFrame(*net, 68, 3)); });
    ASSERT_TRUE(PacketWaitPacket(adapter, blocked.packet, &count));
    late.join();
    EXPECT_EQ(count, 68u);
}

TEST_F(LiveAdapter, SendReachesTheOtherEnd)
{
    QUARN_REQUIRE_LIVE();
    ASSERT_NO_FATAL_FAILURE(Open());
    // An adapter on the peer end, opened from a thread inside the peer namespace.
    std::promise<AdapterObject*> opened;
    std::promise<void> done;
    Receive receive;
    uint32_t count = 0;
    int received = -1;
    std::thread peer([&] {
        const int ns = open(("/run/netns/" + net->PeerNamespace()).c_str(), O_RDONLY | O_CLOEXEC);
        AdapterObject* peerAdapter = nullptr;
        if (ns >= 0 && setns(ns, CLONE_NEWNET) == 0)
            peerAdapter = PacketOpenAdapter(("\\Device\\" + net->PeerInterface()).c_str());
        if (ns >= 0)
            close(ns);
        if (peerAdapter != nullptr)
            PacketReceivePacket(peerAdapter, receive.packet, false, nullptr);
        opened.set_value(peerAdapter);
        if (peerAdapter != nullptr) {
            received = PacketWaitPacket(peerAdapter, receive.packet, &count);
            PacketCloseAdapter(peerAdapter);
        }
    });
    AdapterObject* peerAdapter = opened.get_future().get();
    ASSERT_NE(peerAdapter, nullptr);
    std::vector<uint8_t> frame(200, 0x5A);
    std::memcpy(frame.data(), net->PeerMac().data(), 6);
    std::memcpy(frame.data() + 6, net->CaptureMac().data(), 6);
    PacketObject* send = PacketAllocatePacket();
    PacketInitPacket(send, frame.data(), static_cast<uint32_t>(frame.size()));
    EXPECT_TRUE(PacketSendPacket(adapter, send, true));
    peer.join();
    PacketFreePacket(send);
    EXPECT_EQ(received, 1);
    EXPECT_EQ(count, 200u);
    EXPECT_EQ(0, std::memcmp(receive.buffer.data(), frame.data(), 200));
}

} // namespace
