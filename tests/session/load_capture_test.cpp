// A capture file loaded into the session buffer: each frame in the slot a
// capture would have stored it in, cut at 1514 bytes, with its own time.
#include "session/load_capture.h"

#include <gtest/gtest.h>

#include <vector>

#include "session/session_buffer.h"
#include "tests/support/capture_files.h"
#include "tests/support/scratch_files.h"

namespace {

struct Loading {
    const char* what;
    uint32_t capacity;
    bool continuous;
    std::vector<uint16_t> slots; // the frame each slot holds
};

void PrintTo(const Loading& loading, std::ostream* out) { *out << loading.what; }

class LoadCaptureTest : public testing::TestWithParam<Loading> {};

// Seven frames, frame i carrying i; frame 3 is 1600 bytes long.
TEST_P(LoadCaptureTest, FillsTheSlotsACaptureWouldFill)
{
    const Loading& loading = GetParam();
    std::vector<CapturedFrame> frames;
    for (uint16_t i = 0; i < 7; ++i)
        frames.push_back({Join({EthernetHeader(0x88B5), Be16(i), Filler(i == 3 ? 1584 : 44, 0)}),
                          0,
                          {1'000'000'000 + i, 1'000 * i + 7}});
    ScratchDirectory directory;
    WriteFile(directory / "seven.pcap", PcapFile(frames, true));

    LoadedCapture loaded;
    std::string problem;
    ASSERT_TRUE(LoadCaptureFile(directory / "seven.pcap", loading.capacity, loading.continuous, loaded, problem))
        << problem;
    EXPECT_EQ(loaded.read, 7u);
    EXPECT_EQ(loaded.kept, loading.slots.size());
    EXPECT_EQ(SessionBuffer::Count(), loading.slots.size());
    EXPECT_EQ(SessionBuffer::Capacity(), loading.capacity);
    for (uint32_t slot = 0; slot < loading.slots.size(); ++slot) {
        const uint16_t i = loading.slots[slot];
        const SessionBuffer::SlotContents held = SessionBuffer::SlotAt(slot);
        ASSERT_EQ(held.length, i == 3 ? kFrameBufferSize : 60u) << "slot " << slot;
        EXPECT_TRUE(std::equal(held.frame, held.frame + held.length, frames[i].bytes.begin())) << "slot " << slot;
        EXPECT_EQ(held.moment.tv_sec, frames[i].when.tv_sec) << "slot " << slot;
        EXPECT_EQ(held.moment.tv_nsec, frames[i].when.tv_nsec) << "slot " << slot;
        EXPECT_EQ(held.time.second, LocalCaptureTime(frames[i].when).second) << "slot " << slot;
    }
    SessionBuffer::FreeAll();
}

INSTANTIATE_TEST_SUITE_P(Buffers, LoadCaptureTest,
                         testing::Values(Loading{"SessionKeepsTheFirst", 5, false, {0, 1, 2, 3, 4}},
                                         Loading{"RingKeepsTheNewest", 5, true, {5, 6, 2, 3, 4}},
                                         Loading{"RoomForAll", 10, false, {0, 1, 2, 3, 4, 5, 6}},
                                         Loading{"RingWithRoomForAll", 7, true, {0, 1, 2, 3, 4, 5, 6}}),
                         [](const testing::TestParamInfo<Loading>& info) { return info.param.what; });

} // namespace
