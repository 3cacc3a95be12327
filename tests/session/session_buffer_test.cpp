// The session buffer as the capture thread fills it and the report writer reads
// it: capture order, the ring's overwrite order, the count, ownership of every
// frame buffer, and a failed build that leaves nothing behind.
#include "session/session_buffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

uint32_t NumberIn(const uint8_t* frame)
{
    uint32_t number;
    std::memcpy(&number, frame, sizeof number);
    return number;
}

// Stores frames numbered 1.. like the capture thread: the received buffer goes
// into the slot, the slot's old buffer becomes the spare. Returns true when a
// session-mode chain filled up (and stops there).
bool CaptureFrames(uint32_t frames, uint8_t*& spare)
{
    for (uint32_t n = 1; n <= frames; ++n) {
        std::memcpy(spare, &n, sizeof n);
        uint8_t* old = SessionBuffer::CurrentFrame();
        SessionBuffer::Store(spare, 60 + n, CaptureTime{.second = static_cast<uint8_t>(n % 60)}, timespec{n, long(n)});
        spare = old;
        if (!SessionBuffer::Advance())
            return true;
    }
    return false;
}

// The report writer's walk: from the first slot while the running number is
// below the count. Each frame's length and time must be the ones stored with it.
std::vector<uint32_t> ReadLikeWriter()
{
    std::vector<uint32_t> numbers;
    SessionBuffer::Rewind();
    for (uint32_t i = 0; i < SessionBuffer::Count(); ++i) {
        const uint32_t n = NumberIn(SessionBuffer::CurrentFrame());
        EXPECT_EQ(SessionBuffer::CurrentLength(), 60 + n);
        EXPECT_EQ(SessionBuffer::CurrentTime().second, n % 60);
        numbers.push_back(n);
        SessionBuffer::Advance();
    }
    return numbers;
}

class SessionBufferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SessionBuffer::FreeAll();
        SessionBuffer::ClearCount();
        baseline_ = LiveFrameBuffers();
        spare_ = AllocateFrameBuffer();
        ASSERT_NE(spare_, nullptr);
    }
    void TearDown() override
    {
        LimitFrameBufferAllocations(-1);
        FreeFrameBuffer(spare_);
        SessionBuffer::FreeAll();
        SessionBuffer::ClearCount();
        EXPECT_EQ(LiveFrameBuffers(), baseline_) << "a frame buffer leaked or was freed twice";
    }

    // Every slot buffer and the spare are distinct, and nothing else is live.
    void ExpectEachBufferOwnedOnce()
    {
        std::set<uint8_t*> owned{spare_};
        SessionBuffer::Rewind();
        for (uint32_t i = 0; i < SessionBuffer::Capacity(); ++i, SessionBuffer::Advance())
            owned.insert(SessionBuffer::CurrentFrame());
        EXPECT_EQ(owned.size(), SessionBuffer::Capacity() + 1u);
        EXPECT_EQ(owned.count(nullptr), 0u);
        EXPECT_EQ(LiveFrameBuffers(), baseline_ + SessionBuffer::Capacity() + 1);
    }

    uint64_t baseline_ = 0;
    uint8_t* spare_ = nullptr;
};

TEST_F(SessionBufferTest, ChainEndsWhenFullAndRingOverwritesTheOldest)
{
    struct Case {
        bool continuous;
        uint32_t capacity, offered;
        std::vector<uint32_t> readOrder;
    };
    const std::vector<Case> cases = {
        {false, 10, 15, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {true, 10, 25, {21, 22, 23, 24, 25, 16, 17, 18, 19, 20}},
        {true, 10, 7, {1, 2, 3, 4, 5, 6, 7}},
        {true, 10, 10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {true, 10, 11, {11, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {true, 1, 3, {3}},
        {true, 3, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.continuous ? "ring " : "chain ") << c.capacity << ", " << c.offered
                                        << " offered");
        ASSERT_TRUE(SessionBuffer::Allocate(c.capacity, c.continuous));
        // The last slot is current: a chain cannot advance, a ring advances to the first.
        uint8_t* last = SessionBuffer::CurrentFrame();
        EXPECT_EQ(SessionBuffer::Advance(), c.continuous);
        uint8_t* next = SessionBuffer::CurrentFrame();
        SessionBuffer::Rewind();
        EXPECT_EQ(next, c.continuous ? SessionBuffer::CurrentFrame() : last);
        SessionBuffer::ClearCount(); // as a capture starts
        EXPECT_EQ(CaptureFrames(c.offered, spare_), !c.continuous) << "only a full chain ends the capture";
        EXPECT_EQ(SessionBuffer::Count(), c.readOrder.size());
        EXPECT_EQ(ReadLikeWriter(), c.readOrder);
        EXPECT_EQ(ReadLikeWriter(), c.readOrder) << "a second read lists the same frames";
        // The same frames by position from the first slot, the current slot left alone.
        const uint8_t* current = SessionBuffer::CurrentFrame();
        std::vector<uint32_t> byPosition;
        for (uint32_t i = 0; i < SessionBuffer::Count(); ++i) {
            const SessionBuffer::SlotContents slot = SessionBuffer::SlotAt(i);
            byPosition.push_back(NumberIn(slot.frame));
            EXPECT_EQ(slot.length, 60 + byPosition.back());
            EXPECT_EQ(slot.moment.tv_sec, byPosition.back());
            EXPECT_EQ(slot.moment.tv_nsec, byPosition.back());
        }
        EXPECT_EQ(byPosition, c.readOrder);
        EXPECT_EQ(SessionBuffer::CurrentFrame(), current);
        EXPECT_EQ(SessionBuffer::SlotAt(c.capacity).frame, nullptr);
        ExpectEachBufferOwnedOnce();

        SessionBuffer::ClearCount();
        EXPECT_TRUE(ReadLikeWriter().empty());
        ExpectEachBufferOwnedOnce(); // clearing keeps the buffers in their slots
    }
}

TEST_F(SessionBufferTest, RebuildingFreesTheOldSlotsKeepsTheCountAndAFailedBuildLeavesNone)
{
    uint32_t stored = 0;
    for (uint32_t capacity : {5u, 200u, 37u, 5000u, 10u}) { // each Allocate over the previous build
        ASSERT_TRUE(SessionBuffer::Allocate(capacity, capacity % 2 == 0));
        EXPECT_EQ(SessionBuffer::Capacity(), capacity);
        EXPECT_EQ(LiveFrameBuffers(), baseline_ + 1 + capacity);
        EXPECT_EQ(SessionBuffer::Count(), stored++) << "only ClearCount resets the count";
        CaptureFrames(1, spare_);
    }
    SessionBuffer::ClearCount();
    struct Case {
        uint32_t capacity;
        int64_t buffersAvailable; // negative: no limit
    };
    for (const Case& c : {Case{10, 0}, {10, 1}, {10, 9}, {5000, 4999}, {0, -1}, {5001, -1}}) {
        SCOPED_TRACE(testing::Message() << "capacity " << c.capacity << ", buffers " << c.buffersAvailable);
        ASSERT_TRUE(SessionBuffer::Allocate(4, true)); // an earlier build goes too
        LimitFrameBufferAllocations(c.buffersAvailable);
        EXPECT_FALSE(SessionBuffer::Allocate(c.capacity, true));
        LimitFrameBufferAllocations(-1);

        EXPECT_EQ(SessionBuffer::Capacity(), 0u);
        EXPECT_EQ(LiveFrameBuffers(), baseline_ + 1);
        EXPECT_EQ(SessionBuffer::CurrentFrame(), nullptr);
        SessionBuffer::Rewind();
        SessionBuffer::Store(spare_, 60, CaptureTime{});
        EXPECT_EQ(SessionBuffer::Count(), 0u);
        EXPECT_FALSE(SessionBuffer::Advance());
    }
    SessionBuffer::FreeAll(); // freeing an empty buffer frees nothing
    EXPECT_EQ(LiveFrameBuffers(), baseline_ + 1);
}

// Clear buffer on the user-interface thread while a writer thread reads: the
// writer's list ends where the clear happened, never past the stored frames.
TEST_F(SessionBufferTest, ClearWhileTheWriterReadsEndsItsListCleanly)
{
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(SessionBuffer::Allocate(50, true));
        SessionBuffer::Rewind();
        CaptureFrames(70, spare_);
        SessionBuffer::Rewind();
        std::atomic<bool> started{false};
        std::vector<uint32_t> read;
        std::thread writer([&] {
            started.store(true);
            for (uint32_t i = 0; i < SessionBuffer::Count(); ++i, SessionBuffer::Advance())
                read.push_back(NumberIn(SessionBuffer::CurrentFrame()));
        });
        while (!started.load())
            std::this_thread::yield();
        SessionBuffer::ClearCount();
        writer.join();

        ASSERT_LE(read.size(), 50u);
        for (size_t i = 0; i < read.size(); ++i)
            EXPECT_EQ(read[i], i < 20 ? 51 + i : 1 + i);
        EXPECT_EQ(SessionBuffer::Count(), 0u);
    }
}

} // namespace
