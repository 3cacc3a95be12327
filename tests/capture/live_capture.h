// Live capture support: numbered test frames and reading back the session
// buffer, recorders for the status and label seams, and the fixture (a private
// veth pair, its capture end bound as the adapter, both filter slots off).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <numeric>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/status.h"
#include "capture/binding.h"
#include "capture/capture.h"
#include "capture/capture_counts.h"
#include "filter/frame_filter.h"
#include "session/session_buffer.h"
#include "tests/support/require_live.h"

namespace TestFrames {

using Mac = std::array<uint8_t, 6>;
inline constexpr Mac kSourceA = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0A};
inline constexpr Mac kSourceB = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0B};

// Frame number seq from source: a local experimental EtherType, the number
// big-endian after the link header, and 60 + seq % 1000 bytes long so that a
// stored length can be told apart from its neighbours'.
inline std::vector<uint8_t> Numbered(uint32_t seq, const Mac& source = kSourceA)
{
    std::vector<uint8_t> frame(60 + seq % 1000, 0);
    frame[0] = 0x02;
    frame[5] = 0x01;
    std::copy(source.begin(), source.end(), frame.begin() + 6);
    frame[12] = 0x88;
    frame[13] = 0xB5;
    for (int k = 0; k < 4; ++k)
        frame[14 + k] = static_cast<uint8_t>(seq >> (24 - 8 * k));
    return frame;
}

struct Stored {
    std::vector<uint32_t> numbers; // the Count() stored frames, from the first slot on
    bool lengthsMatch = true;      // every stored length is that of its number
    bool buffersDistinct = true;   // no two slots share a buffer, none is null
};

// Walks all slots (not only the stored ones) for ownership; reads the stored.
inline Stored ReadStored()
{
    Stored out;
    std::set<const uint8_t*> seen;
    const uint32_t count = SessionBuffer::Count();
    SessionBuffer::Rewind();
    for (uint32_t i = 0; i < SessionBuffer::Capacity(); ++i, SessionBuffer::Advance()) {
        const uint8_t* f = SessionBuffer::CurrentFrame();
        out.buffersDistinct &= f != nullptr && seen.insert(f).second;
        if (f && i < count) {
            out.numbers.push_back(uint32_t{f[14]} << 24 | uint32_t{f[15]} << 16 | uint32_t{f[16]} << 8 | f[17]);
            out.lengthsMatch &= SessionBuffer::CurrentLength() == 60 + out.numbers.back() % 1000;
        }
    }
    return out;
}

inline std::vector<uint32_t> Range(uint32_t first, uint32_t last)
{
    std::vector<uint32_t> out(last - first + 1);
    std::iota(out.begin(), out.end(), first);
    return out;
}

} // namespace TestFrames

class StatusRecorder : public StatusSeam {
public:
    using Lines = std::vector<std::string>;
    StatusRecorder() { RegisterStatusSeam(this); }
    ~StatusRecorder() override { RegisterStatusSeam(nullptr); }

    void SetStatusText(std::string_view text) override { Add(0, text); }
    void SetSessionControlsEnabled(bool enabled) override { Add(1, enabled ? "on" : "off"); }
    void SetFrameCounterText(std::string_view text) override { Add(2, text); }

    Lines Status() const { return Get(0); }
    Lines Controls() const { return Get(1); }
    Lines Counter() const { return Get(2); }
    size_t StatusCount(std::string_view text) const
    {
        const Lines all = Status();
        return static_cast<size_t>(std::count(all.begin(), all.end(), text));
    }
    bool Empty() const { return Status().empty() && Controls().empty() && Counter().empty(); }
    void Clear()
    {
        std::lock_guard lock(m_);
        lines_ = {};
    }

private:
    void Add(int kind, std::string_view text)
    {
        std::lock_guard lock(m_);
        lines_[kind].emplace_back(text);
    }
    Lines Get(int kind) const
    {
        std::lock_guard lock(m_);
        return lines_[kind];
    }

    mutable std::mutex m_;
    std::array<Lines, 3> lines_;
};

struct RecordingLabels : AdapterLabels {
    void SetAdapterName(std::string_view text) override { names.emplace_back(text); }
    void SetAdapterAddress(std::string_view text) override { addresses.emplace_back(text); }
    std::vector<std::string> names, addresses;
};

class LiveCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        QUARN_REQUIRE_LIVE();
        net = std::make_unique<quarn::test::LiveNet>();
        ASSERT_TRUE(net->Ready()) << net->Error();
        PublishFilters(FrameFilter{}, FrameFilter{});
        ASSERT_TRUE(BindAdapter(labels));
    }
    void TearDown() override
    {
        if (!net)
            return;
        if (IsCapturing())
            StopCapture();
        WaitCaptureEnd();
        SessionBuffer::FreeAll();
        ReleaseAdapter();
        net.reset();
        EXPECT_EQ(LiveFrameBuffers(), 0u);
    }
    void Send(uint32_t seq, const TestFrames::Mac& source = TestFrames::kSourceA)
    {
        ASSERT_TRUE(net->Send(TestFrames::Numbered(seq, source)));
    }
    static bool WaitUntil(auto done, std::chrono::milliseconds limit = std::chrono::seconds(5))
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    }
    // A session-mode capture of frames first..last that ends by itself once N are kept.
    void CaptureSession(uint32_t n, uint32_t first, uint32_t last)
    {
        ASSERT_TRUE(SessionBuffer::Allocate(n, false));
        ASSERT_TRUE(StartCapture());
        for (uint32_t k = first; k <= last; ++k)
            Send(k);
        ASSERT_TRUE(WaitUntil([] { return !IsCapturing(); }));
        WaitCaptureEnd();
    }

    std::unique_ptr<quarn::test::LiveNet> net;
    RecordingLabels labels;
    StatusRecorder status;
};
