// Adapter binding against real interfaces: the first adapter of the list is
// bound, shown and made promiscuous; without one the operator is told and the
// program asked to end; a missing adapter is never used.
#include <sched.h>
#include <unistd.h>

#include "app/messages.h"
#include "frimble/frimble.h"
#include "live_capture.h"
#include "tests/support/ordinary_user.h"

namespace {

using quarn::test::LiveNet;
using quarn::test::RunQuiet;
using Lines = std::vector<std::string>;

struct RecordingMessages : MessageSeam {
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ShowMessageBox(std::string_view text, std::string_view caption) override
    {
        boxes.push_back(std::string(text) + " | " + std::string(caption));
    }
    void RequestQuit() override { ++quits; }
    Lines messages, boxes;
    int quits = 0;
};

const std::string kNoAdapterBox = std::string(kNoAdapterMessage) + " | " + std::string(kNoAdapterCaption);

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        QUARN_REQUIRE_LIVE();
        RegisterMessageSeam(&seam);
    }
    void TearDown() override
    {
        ReleaseAdapter();
        RegisterMessageSeam(nullptr);
    }
    RecordingMessages seam;
    RecordingLabels labels;
};

TEST_F(Binding, WithoutAnAdapterTheLabelsSayNoneAndTheProgramEnds)
{
    // A fresh namespace holds nothing but a loopback interface.
    bool bound = true, ensured = true;
    AdapterObject* adapter = reinterpret_cast<AdapterObject*>(1);
    std::thread([&] {
        if (unshare(CLONE_NEWNET) != 0)
            return;
        bound = BindAdapter(labels);
        adapter = BoundAdapter();
        ensured = EnsureAdapterBound();
    }).join();
    EXPECT_FALSE(bound);
    EXPECT_EQ(adapter, nullptr);
    EXPECT_EQ(labels.names, Lines{"none"});
    EXPECT_EQ(labels.addresses, Lines{"none"});
    // Once at start-up with the quit request, once more for the refused re-bind.
    EXPECT_EQ(seam.boxes, (Lines{kNoAdapterBox, kNoAdapterBox}));
    EXPECT_EQ(seam.quits, 1);
    EXPECT_FALSE(ensured);
    EXPECT_TRUE(seam.messages.empty());
    EXPECT_EQ(AdapterFailure(), "no Ethernet adapter found");
}

// The no-adapter box cannot say why; the binding keeps the reason for the
// program to show. An ordinary user outside the capture group may not open a
// packet socket, nor run the capture helper (installed for this test).
TEST_F(Binding, WithoutTheRightToCaptureTheReasonSaysWhatToDo)
{
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    bool bound = true;
    ASSERT_TRUE(quarn::test::RunAsOrdinaryUser({}, [&] { bound = BindAdapter(labels); }));
    EXPECT_FALSE(bound);
    EXPECT_EQ(AdapterFailure(), net.AdapterName()
                                    + ": not a member of quarn-capture: sudo adduser nobody quarn-capture, then log in "
                                      "again");
    ASSERT_TRUE(EnsureAdapterBound()) << "as root";
    EXPECT_EQ(AdapterFailure(), "");
}

TEST_F(Binding, BindsTheFirstAdapterShowsItAndMakesItPromiscuous)
{
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    const std::string link = "ip -n " + net.CaptureNamespace() + " link ";
    ASSERT_TRUE(RunQuiet(link + "set " + net.CaptureInterface() + " address 0a:1b:2c:3d:4e:5f"));
    // A second adapter behind it in the list is not the one bound.
    const std::string second = net.CaptureInterface();
    ASSERT_TRUE(RunQuiet(link + "add " + second + "x type veth peer name " + second + "y"));
    const int promiscuity = net.CapturePromiscuity();

    ASSERT_TRUE(BindAdapter(labels));
    ASSERT_NE(BoundAdapter(), nullptr);
    EXPECT_EQ(labels.names, Lines{net.AdapterName()});
    EXPECT_EQ(labels.addresses, Lines{"0A:1B:2C:3D:4E:5F"});
    EXPECT_EQ(net.CapturePromiscuity(), promiscuity + 1);

    // After a capture: the same adapter again, promiscuous again, labels untouched;
    // a receive posted on the old adapter has ended.
    PacketObject* packet = PacketAllocatePacket();
    uint8_t buffer[1514];
    PacketInitPacket(packet, buffer, sizeof buffer);
    ASSERT_TRUE(PacketReceivePacket(BoundAdapter(), packet, false, nullptr));
    ReopenAdapter();
    uint32_t count = 1;
    EXPECT_FALSE(PacketWaitPacket(BoundAdapter(), packet, &count));
    EXPECT_EQ(count, 0u);
    PacketFreePacket(packet);
    ASSERT_NE(BoundAdapter(), nullptr);
    EXPECT_EQ(std::string(BoundAdapter()->LinkName), "\\\\.\\Packet_" + net.CaptureInterface());
    EXPECT_EQ(net.CapturePromiscuity(), promiscuity + 1);
    EXPECT_EQ(labels.names.size() + labels.addresses.size(), 2u);
    EXPECT_TRUE(EnsureAdapterBound());

    ReleaseAdapter();
    EXPECT_EQ(BoundAdapter(), nullptr);
    EXPECT_EQ(net.CapturePromiscuity(), promiscuity);
    EXPECT_TRUE(seam.boxes.empty());
    EXPECT_EQ(seam.quits, 0);
}

// A command line names its adapter: that one is bound and reopened, silently,
// though another comes first in the list; the main window's binding takes the
// list's first again.
TEST_F(Binding, ANamedAdapterIsBoundAndReopenedInsteadOfTheFirst)
{
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    const std::string second = net.CaptureInterface() + "x";
    const std::string link = "ip -n " + net.CaptureNamespace() + " link ";
    ASSERT_TRUE(RunQuiet(link + "add " + second + " type veth peer name " + net.CaptureInterface() + "y"));
    ASSERT_TRUE(RunQuiet(link + "set " + second + " up"));
    const std::string secondLink = "\\\\.\\Packet_" + second;

    ASSERT_TRUE(BindNamedAdapter("\\Device\\" + second)) << AdapterFailure();
    ASSERT_NE(BoundAdapter(), nullptr);
    EXPECT_EQ(std::string(BoundAdapter()->LinkName), secondLink);
    ReopenAdapter();
    ASSERT_NE(BoundAdapter(), nullptr);
    EXPECT_EQ(std::string(BoundAdapter()->LinkName), secondLink);

    EXPECT_FALSE(BindNamedAdapter("\\Device\\" + second + "z"));
    EXPECT_EQ(BoundAdapter(), nullptr);
    EXPECT_EQ(AdapterFailure().rfind("\\Device\\" + second + "z: ", 0), 0u) << AdapterFailure();
    EXPECT_TRUE(labels.names.empty());
    EXPECT_TRUE(seam.boxes.empty());

    ASSERT_TRUE(BindAdapter(labels));
    ReopenAdapter();
    EXPECT_EQ(std::string(BoundAdapter()->LinkName), "\\\\.\\Packet_" + net.CaptureInterface());
}

TEST_F(Binding, AVanishedAdapterIsNeverUsedAndStartIsRefused)
{
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    ASSERT_TRUE(BindAdapter(labels));
    ASSERT_TRUE(net.DeleteCaptureInterface());

    ReopenAdapter();
    EXPECT_EQ(BoundAdapter(), nullptr);
    EXPECT_EQ(AdapterFailure(), "no Ethernet adapter found");
    EXPECT_TRUE(seam.boxes.empty()); // the re-bind itself is silent
    EXPECT_FALSE(EnsureAdapterBound());
    EXPECT_EQ(seam.boxes, Lines{kNoAdapterBox});
    EXPECT_EQ(seam.quits, 0);
    ReleaseAdapter(); // nothing bound: nothing to close
    EXPECT_EQ(BoundAdapter(), nullptr);
}

} // namespace
