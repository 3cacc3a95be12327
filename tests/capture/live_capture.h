// Live capture fixture: a private veth pair, its capture end bound as the
// adapter, a status recorder, both filter slots off. Frames are sent from the
// peer end.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "capture/binding.h"
#include "capture/capture.h"
#include "filter/frame_filter.h"
#include "session/session_buffer.h"
#include "status_recorder.h"
#include "test_frames.h"
#include "tests/support/live_net.h"

class CountingLabels : public AdapterLabels {
public:
    void SetAdapterName(std::string_view) override { ++writes; }
    void SetAdapterAddress(std::string_view) override { ++writes; }
    std::atomic<int> writes{0};
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

    std::unique_ptr<quarn::test::LiveNet> net;
    CountingLabels labels;
    StatusRecorder status;
};
