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

// What the report writer would list for one frame: the number written into its
// first bytes when it was stored, its length and its time.
struct ReadFrame {
    uint32_t number;
    uint32_t length;
    uint8_t second;
};

// Stores frames numbered first.. like the capture thread: the received buffer
// goes into the slot and the slot's old buffer becomes the spare for the next
// receive. Stops early when a session-mode chain is full. Returns the number of
// frames stored; the spare stays with the caller.
uint32_t CaptureFrames(uint32_t first, uint32_t frames, uint8_t*& spare, bool& full) {
    full = false;
    uint32_t stored = 0;
    for (uint32_t n = first; n < first + frames; ++n) {
        std::memcpy(spare, &n, sizeof n);
        uint8_t* old = SessionBuffer::CurrentFrame();
        CaptureTime time;
        time.second = static_cast<uint8_t>(n % 60);
        SessionBuffer::Store(spare, 60 + n, time);
        spare = old;
        ++stored;
        if (!SessionBuffer::Advance()) {
            full = true;
            break;
        }
    }
    return stored;
}

// The report writer's walk: from the first slot while the running number is
// below the count, asked afresh before every frame.
std::vector<ReadFrame> ReadLikeWriter() {
    std::vector<ReadFrame> frames;
    SessionBuffer::Rewind();
    for (uint32_t i = 0; i < SessionBuffer::Count(); ++i) {
        ReadFrame frame{};
        std::memcpy(&frame.number, SessionBuffer::CurrentFrame(), sizeof frame.number);
        frame.length = SessionBuffer::CurrentLength();
        frame.second = SessionBuffer::CurrentTime().second;
        frames.push_back(frame);
        SessionBuffer::Advance();
    }
    return frames;
}

std::vector<uint32_t> Numbers(const std::vector<ReadFrame>& frames) {
    std::vector<uint32_t> numbers;
    for (const ReadFrame& frame : frames)
        numbers.push_back(frame.number);
    return numbers;
}

// Like StartCapture: a fresh count and the first slot current.
void StartLikeCapture() {
    SessionBuffer::ClearCount();
    SessionBuffer::Rewind();
}

class SessionBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        SessionBuffer::FreeAll();
        SessionBuffer::ClearCount();
        baseline_ = LiveFrameBuffers();
        spare_ = AllocateFrameBuffer();
        ASSERT_NE(spare_, nullptr);
    }
    void TearDown() override {
        LimitFrameBufferAllocations(-1);
        FreeFrameBuffer(spare_);
        SessionBuffer::FreeAll();
        SessionBuffer::ClearCount();
        EXPECT_EQ(LiveFrameBuffers(), baseline_) << "a frame buffer leaked or was freed twice";
    }

    // Every slot buffer and the spare are distinct, and nothing else is live.
    void ExpectEachBufferOwnedOnce() {
        std::set<uint8_t*> owned{spare_};
        SessionBuffer::Rewind();
        for (uint32_t i = 0; i < SessionBuffer::Capacity(); ++i) {
            owned.insert(SessionBuffer::CurrentFrame());
            SessionBuffer::Advance();
        }
        EXPECT_EQ(owned.size(), SessionBuffer::Capacity() + 1u);
        EXPECT_EQ(owned.count(nullptr), 0u);
        EXPECT_EQ(LiveFrameBuffers(), baseline_ + SessionBuffer::Capacity() + 1);
    }

    uint64_t baseline_ = 0;
    uint8_t* spare_ = nullptr;
};

TEST_F(SessionBufferTest, SessionModeFillsTheChainInCaptureOrderAndThenEnds) {
    ASSERT_TRUE(SessionBuffer::Allocate(10, false));
    StartLikeCapture();
    bool full = false;
    EXPECT_EQ(CaptureFrames(1, 15, spare_, full), 10u);
    EXPECT_TRUE(full);
    EXPECT_EQ(SessionBuffer::Count(), 10u);

    const std::vector<ReadFrame> frames = ReadLikeWriter();
    ASSERT_EQ(frames.size(), 10u);
    for (uint32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(frames[i].number, i + 1);
        EXPECT_EQ(frames[i].length, 61 + i);
        EXPECT_EQ(frames[i].second, (i + 1) % 60);
    }
    ExpectEachBufferOwnedOnce();
}

struct RingCase {
    uint32_t capacity;
    uint32_t stored;
    std::vector<uint32_t> readOrder;
};

TEST_F(SessionBufferTest, ContinuousModeOverwritesTheOldestAndReadsFromTheFirstSlot) {
    const std::vector<RingCase> cases = {
        {10, 25, {21, 22, 23, 24, 25, 16, 17, 18, 19, 20}},
        {10, 7, {1, 2, 3, 4, 5, 6, 7}},
        {10, 10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {10, 11, {11, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {1, 3, {3}},
        {3, 0, {}},
    };
    for (const RingCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "capacity " << c.capacity << ", " << c.stored << " stored");
        ASSERT_TRUE(SessionBuffer::Allocate(c.capacity, true));
        StartLikeCapture();
        bool full = false;
        EXPECT_EQ(CaptureFrames(1, c.stored, spare_, full), c.stored);
        EXPECT_FALSE(full) << "a ring never ends the capture";
        EXPECT_EQ(SessionBuffer::Count(), c.readOrder.size());
        EXPECT_EQ(Numbers(ReadLikeWriter()), c.readOrder);
        ExpectEachBufferOwnedOnce();
        SessionBuffer::FreeAll();
    }
}

TEST_F(SessionBufferTest, ReadingTwiceListsTheSameFramesAndClearingEmptiesTheList) {
    ASSERT_TRUE(SessionBuffer::Allocate(10, true));
    StartLikeCapture();
    bool full = false;
    CaptureFrames(1, 13, spare_, full);
    const std::vector<uint32_t> first = Numbers(ReadLikeWriter());
    EXPECT_EQ(first, (std::vector<uint32_t>{11, 12, 13, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Numbers(ReadLikeWriter()), first);

    SessionBuffer::ClearCount();
    EXPECT_EQ(SessionBuffer::Count(), 0u);
    EXPECT_TRUE(ReadLikeWriter().empty());
    ExpectEachBufferOwnedOnce(); // clearing keeps the buffers in their slots
}

TEST_F(SessionBufferTest, AllocateLeavesTheLastSlotCurrentAndTheCountAlone) {
    // A chain's last slot has no next; a ring's last slot leads to the first.
    ASSERT_TRUE(SessionBuffer::Allocate(3, false));
    EXPECT_FALSE(SessionBuffer::Advance());
    ASSERT_TRUE(SessionBuffer::Allocate(3, true));
    uint8_t* last = SessionBuffer::CurrentFrame();
    ASSERT_TRUE(SessionBuffer::Advance());
    uint8_t* afterLast = SessionBuffer::CurrentFrame();
    SessionBuffer::Rewind();
    EXPECT_EQ(afterLast, SessionBuffer::CurrentFrame());
    EXPECT_NE(last, afterLast);

    bool full = false;
    CaptureFrames(1, 2, spare_, full);
    ASSERT_TRUE(SessionBuffer::Allocate(5, false));
    EXPECT_EQ(SessionBuffer::Count(), 2u) << "only ClearCount resets the count";
}

TEST_F(SessionBufferTest, RepeatedBuildsFreeEverySlotAndBuffer) {
    for (uint32_t cycle = 0; cycle < 40; ++cycle) {
        const uint32_t capacity = 1 + cycle * 37 % 200;
        ASSERT_TRUE(SessionBuffer::Allocate(capacity, cycle % 2 == 1));
        EXPECT_EQ(SessionBuffer::Capacity(), capacity);
        EXPECT_EQ(LiveFrameBuffers(), baseline_ + 1 + capacity);
        if (cycle % 3 == 0)
            SessionBuffer::FreeAll(); // and otherwise Allocate rebuilds over the old slots
    }
    SessionBuffer::FreeAll();
    EXPECT_EQ(SessionBuffer::Capacity(), 0u);
    EXPECT_EQ(LiveFrameBuffers(), baseline_ + 1);
    SessionBuffer::FreeAll(); // freeing an empty buffer frees nothing
    EXPECT_EQ(LiveFrameBuffers(), baseline_ + 1);
}

TEST_F(SessionBufferTest, FailedOrRefusedBuildLeavesNoSlotsAndStoresNothing) {
    struct Case {
        uint32_t capacity;
        int64_t buffersAvailable; // negative: no limit
    };
    const std::vector<Case> cases = {
        {10, 0}, {10, 1}, {10, 9}, {5000, 4999}, {0, -1}, {5001, -1},
    };
    for (const Case& c : cases) {
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
    // The limit lifted, the largest buffer builds.
    ASSERT_TRUE(SessionBuffer::Allocate(5000, false));
    EXPECT_EQ(LiveFrameBuffers(), baseline_ + 5001);
}

// Threads meet as the main window's rules allow: the capture thread fills the
// buffer and is joined; a writer thread then reads while the user-interface
// thread clears the count. The writer's list ends where the clear happened,
// never past the stored frames.
TEST_F(SessionBufferTest, ClearWhileTheWriterReadsEndsItsListCleanly) {
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(SessionBuffer::Allocate(50, true));
        StartLikeCapture();
        std::thread capture([&] {
            bool full = false;
            CaptureFrames(1, 70, spare_, full);
        });
        capture.join();

        SessionBuffer::Rewind();
        std::atomic<bool> started{false};
        std::vector<uint32_t> read;
        std::thread writer([&] {
            started.store(true);
            for (uint32_t i = 0; i < SessionBuffer::Count(); ++i) {
                uint32_t number;
                std::memcpy(&number, SessionBuffer::CurrentFrame(), sizeof number);
                read.push_back(number);
                SessionBuffer::Advance();
            }
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
