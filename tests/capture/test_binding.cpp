// Adapter binding against real interfaces: the first adapter of the list is
// bound, shown and made promiscuous; without one the operator is told and the
// program asked to end; a missing adapter is never used.
#include <gtest/gtest.h>
#include <sched.h>

#include <string>
#include <thread>
#include <vector>

#include "app/messages.h"
#include "capture/binding.h"
#include "frimble/frimble.h"
#include "tests/support/live_net.h"

namespace {

using quarn::test::LiveNet;

struct RecordingLabels : AdapterLabels {
    void SetAdapterName(std::string_view text) override { names.emplace_back(text); }
    void SetAdapterAddress(std::string_view text) override { addresses.emplace_back(text); }
    std::vector<std::string> names, addresses;
};

struct RecordingMessages : MessageSeam {
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ShowMessageBox(std::string_view text, std::string_view caption) override
    {
        boxes.emplace_back(std::string(text) + " | " + std::string(caption));
    }
    void RequestQuit() override { ++quits; }
    std::vector<std::string> messages, boxes;
    int quits = 0;
};

const std::string kNoAdapterBox = std::string(kNoAdapterMessage) + " | " + std::string(kNoAdapterCaption);

class Binding : public ::testing::Test {
protected:
    void SetUp() override { RegisterMessageSeam(&seam); }
    void TearDown() override
    {
        ReleaseAdapter();
        RegisterMessageSeam(nullptr);
    }
    RecordingMessages seam;
    RecordingLabels labels;
};

bool Sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TEST_F(Binding, WithoutAnAdapterTheLabelsSayNoneAndTheProgramEnds)
{
    QUARN_REQUIRE_LIVE();
    // A fresh namespace holds nothing but a loopback interface.
    bool bound = true, ensured = true;
    AdapterObject* adapter = reinterpret_cast<AdapterObject*>(1);
    std::thread empty([&] {
        if (unshare(CLONE_NEWNET) != 0)
            return;
        bound = BindAdapter(labels);
        adapter = BoundAdapter();
        ensured = EnsureAdapterBound();
    });
    empty.join();
    EXPECT_FALSE(bound);
    EXPECT_EQ(adapter, nullptr);
    EXPECT_EQ(labels.names, std::vector<std::string>{"none"});
    EXPECT_EQ(labels.addresses, std::vector<std::string>{"none"});
    // Once at start-up with the quit request, once more for the refused re-bind.
    EXPECT_EQ(seam.boxes, (std::vector<std::string>{kNoAdapterBox, kNoAdapterBox}));
    EXPECT_EQ(seam.quits, 1);
    EXPECT_FALSE(ensured);
    EXPECT_TRUE(seam.messages.empty());
}

TEST_F(Binding, BindsTheFirstAdapterShowsItAndMakesItPromiscuous)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    ASSERT_TRUE(Sh("ip -n " + net.CaptureNamespace() + " link set " + net.CaptureInterface() +
                   " address 0a:1b:2c:3d:4e:5f"));
    // A second adapter behind it in the list is not the one bound.
    ASSERT_TRUE(Sh("ip -n " + net.CaptureNamespace() + " link add " + net.CaptureInterface() + "x type veth peer name " +
                   net.CaptureInterface() + "y"));
    const int promiscuity = net.CapturePromiscuity();

    ASSERT_TRUE(BindAdapter(labels));
    ASSERT_NE(BoundAdapter(), nullptr);
    EXPECT_EQ(labels.names, std::vector<std::string>{net.AdapterName()});
    EXPECT_EQ(labels.addresses, std::vector<std::string>{"0A:1B:2C:3D:4E:5F"});
    EXPECT_EQ(net.CapturePromiscuity(), promiscuity + 1);
    EXPECT_TRUE(seam.boxes.empty());
    EXPECT_EQ(seam.quits, 0);

    // After a capture: the same adapter again, promiscuous again, labels untouched.
    ReopenAdapter();
    ASSERT_NE(BoundAdapter(), nullptr);
    EXPECT_EQ(std::string(BoundAdapter()->LinkName), "\\\\.\\Packet_" + net.CaptureInterface());
    EXPECT_EQ(net.CapturePromiscuity(), promiscuity + 1);
    EXPECT_EQ(labels.names.size(), 1u);
    EXPECT_EQ(labels.addresses.size(), 1u);
    EXPECT_TRUE(EnsureAdapterBound());

    ReleaseAdapter();
    EXPECT_EQ(BoundAdapter(), nullptr);
    EXPECT_EQ(net.CapturePromiscuity(), promiscuity);
    EXPECT_TRUE(seam.boxes.empty());
}

TEST_F(Binding, ReopenEndsTheReceivesOfTheOldAdapter)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    ASSERT_TRUE(BindAdapter(labels));
    PacketObject* packet = PacketAllocatePacket();
    uint8_t buffer[1514];
    PacketInitPacket(packet, buffer, sizeof buffer);
    ASSERT_TRUE(PacketReceivePacket(BoundAdapter(), packet, false, nullptr));
    ReopenAdapter();
    uint32_t count = 1;
    EXPECT_FALSE(PacketWaitPacket(BoundAdapter(), packet, &count));
    EXPECT_EQ(count, 0u);
    PacketFreePacket(packet);
}

TEST_F(Binding, AVanishedAdapterIsNeverUsedAndStartIsRefused)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    ASSERT_TRUE(BindAdapter(labels));
    ASSERT_TRUE(Sh("ip -n " + net.CaptureNamespace() + " link del " + net.CaptureInterface()));

    ReopenAdapter();
    EXPECT_EQ(BoundAdapter(), nullptr);
    EXPECT_TRUE(seam.boxes.empty());  // the re-bind itself is silent
    EXPECT_FALSE(EnsureAdapterBound());
    EXPECT_EQ(seam.boxes, std::vector<std::string>{kNoAdapterBox});
    EXPECT_EQ(seam.quits, 0);
    ReleaseAdapter();  // nothing bound: nothing to close
    EXPECT_EQ(BoundAdapter(), nullptr);
}

} // namespace
