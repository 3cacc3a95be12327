// Both filter slots given on quarn-report's command line keep exactly the
// frames that the same settings, made by an operator in the filter window,
// keep in the analyzer. Each row builds its settings both ways: clicks and
// typing in the window (OK publishes the slots, by which this process judges
// the frames as the capture thread would), and --filter1/--filter2 for a live
// capture of the same frames on a veth pair (root).
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include "filter/frame_filter.h"
#include "filter/window/tform2.h"
#include "offline_test_support.h"
#include "tests/support/require_live.h"
#include "tests/support/window_test_support.h"

namespace {

constexpr std::string_view kA = "02 00 00 00 00 0A", kB = "02 00 00 00 00 0B";
constexpr std::string_view kStation = "02 00 00 11 22 33", kBroadcast = "FF FF FF FF FF FF";

Bytes Frame(std::string_view destination, std::string_view source, uint16_t type, const Bytes& payload)
{
    return PadTo(Join({Hex(destination), Hex(source), Be16(type), payload}), 60);
}

Bytes Ip(std::string_view source, uint8_t protocol, uint32_t from, uint32_t to)
{
    return Frame(kStation, source, 0x0800,
                 IpPacket({.protocol = protocol, .source = from, .destination = to}, Filler(20, 0x40)));
}

// An IPX header (destination node, then source node) and a little data.
Bytes Ipx(std::string_view destinationNode, std::string_view sourceNode)
{
    return Join({Hex("FF FF 00 2E 00 04 00 00 00 01"), Hex(destinationNode), Hex("04 52 00 00 00 02"), Hex(sourceNode),
                 Hex("40 03"), Filler(16, 0x80)});
}

std::vector<Bytes> Traffic()
{
    const Bytes rawIpx = Ipx("02 00 00 44 55 66", "02 00 00 77 88 99");
    const Bytes netbeui = Join({Hex("F0 F0 03"), Filler(40, 0x20)});
    return {
        Ip(kA, 6, 0xC0A8010A, 0xC0A80114),  // TCP 192.168.1.10 > 192.168.1.20
        Ip(kA, 17, 0xC0A8010A, 0xC0A80114), // UDP
        Ip(kB, 1, 0xC0A8011E, 0xC0A80114),  // ICMP 192.168.1.30 > 192.168.1.20
        Ip(kB, 6, 0x0A000001, 0x0A000002),  // TCP 10.0.0.1 > 10.0.0.2
        Ip(kA, 47, 0xC0A8010A, 0x0A000002), // GRE 192.168.1.10 > 10.0.0.2
        Frame(kBroadcast, kA, 0x8137, Ipx("FF FF FF FF FF FF", "02 00 00 44 55 66")),
        Frame(kStation, kB, static_cast<uint16_t>(rawIpx.size()), rawIpx), // raw 802.3
        Frame(kStation, kA, static_cast<uint16_t>(netbeui.size()), netbeui),
        Frame(kBroadcast, kB, 0x0806, Hex("00 01 08 00 06 04 00 01")), // ARP
    };
}

template <class Control>
Control* Find(const char* name)
{
    if (auto* control = Form2->findChild<Control*>(QString::fromLatin1(name)))
        return control;
    throw std::logic_error(std::string("no control ") + name);
}

// What an operator does in the filter window.
void Click(const char* box) { Find<QCheckBox>(box)->click(); }
void Type(const char* edit, const char* text) { QTest::keyClicks(Find<QLineEdit>(edit), QString::fromLatin1(text)); }

struct Setting {
    const char* name;
    std::function<void()> inWindow;
    std::vector<std::string> onCommandLine;
};

void PrintTo(const Setting& setting, std::ostream* out) { *out << setting.name; }

const Setting kSettings[] = {
    {"MAC source",
     [] {
         Click("CheckBoxEnableFilter1");
         Click("CheckBoxMACSource1");
         Type("EditMACSource1", "02:00:00:00:00:0a");
     },
     {"--filter1", "mac-src=02:00:00:00:00:0a"}},
    {"TCP (which ticks IP) or IPX",
     [] {
         Click("CheckBoxEnableFilter1");
         Click("CheckBoxTCP1");
         Click("CheckBoxEnableFilter2");
         Click("CheckBoxIPX2");
     },
     {"--filter1", "tcp", "--filter2", "ipx"}},
    {"UDP or ICMP to an IP address, or NETBEUI to a MAC address",
     [] {
         Click("CheckBoxEnableFilter1");
         Click("CheckBoxUDP1");
         Click("CheckBoxICMP1");
         Click("CheckBoxIPDest1");
         Type("EditIPDest1", "192.168.1.20");
         Click("CheckBoxEnableFilter2");
         Click("CheckBoxNETBEUI2");
         Click("CheckBoxMACDest2");
         Type("EditMACDest2", "02-00-00-11-22-33");
     },
     {"--filter1", "udp,icmp,ip-dst=192.168.1.20", "--filter2", "netbeui,mac-dst=02-00-00-11-22-33"}},
    {"IPX from a node",
     [] {
         Click("CheckBoxEnableFilter2");
         Click("CheckBoxIPX2");
         Click("CheckBoxIPXSource2");
         Type("EditIPXSource2", "02:00:00:44:55:66");
     },
     {"--filter2", "ipx,ipx-src=02:00:00:44:55:66"}},
    {"an IP pair, or IP from a MAC address",
     [] {
         Click("CheckBoxEnableFilter1");
         Click("CheckBoxIP1");
         Click("CheckBoxIPSource1");
         Type("EditIPSource1", "192.168.1.10");
         Click("CheckBoxIPDest1");
         Type("EditIPDest1", "10.0.0.2");
         Click("CheckBoxEnableFilter2");
         Click("CheckBoxMACSource2");
         Type("EditMACSource2", "02000000000B");
         Click("CheckBoxIP2");
     },
     {"--filter1", "ip,ip-src=192.168.1.10,ip-dst=10.0.0.2", "--filter2", "mac-src=02000000000B,ip"}},
    {"UDP after TCP was ticked and unticked again",
     [] {
         Click("CheckBoxEnableFilter2");
         Click("CheckBoxTCP2");
         Click("CheckBoxUDP2");
         Click("CheckBoxTCP2");
     },
     {"--filter2", "udp"}},
};

class CommandLineFilters : public testing::TestWithParam<Setting> {
protected:
    void SetUp() override
    {
        QUARN_REQUIRE_LIVE();
        net = std::make_unique<quarn::test::LiveNet>();
        ASSERT_TRUE(net->Ready()) << net->Error();
    }
    std::unique_ptr<quarn::test::LiveNet> net;
    MessageRecorder recorder;
    Windows windows;
};

TEST_P(CommandLineFilters, KeepWhatTheFilterWindowKeeps)
{
    const Setting& setting = GetParam();
    const std::vector<Bytes> traffic = Traffic();

    Form2->show();
    setting.inWindow();
    Find<QToolButton>("SpeedButton1")->click();
    ASSERT_FALSE(Form2->isVisible()) << "OK refused the settings";
    std::vector<Bytes> kept;
    for (const Bytes& frame : traffic) {
        Bytes buffer = PadTo(frame, 1514); // as a receive buffer holds it
        if (AcceptFrame(buffer.data()))
            kept.push_back(frame);
    }
    ASSERT_GT(kept.size(), 0u) << "a row that keeps nothing shows nothing";
    ASSERT_LT(kept.size(), traffic.size()) << "a row that keeps everything shows nothing";

    ScratchDirectory dir;
    std::vector<std::string> arguments
        = {"-i", net->CaptureInterface(), "--ring", "100", "--seconds", "1", "-o", "report.txt", "-w", "kept.pcap"};
    arguments.insert(arguments.end(), setting.onCommandLine.begin(), setting.onCommandLine.end());
    RunningReport running = CaptureWhileSending(arguments, dir.path(), *net, traffic);
    const CommandResult run = FinishQuarnReport(running);
    ASSERT_EQ(run.exitStatus, 0) << run.err;

    EXPECT_EQ(FramesOf(dir / "kept.pcap"), kept);
    const size_t refused = traffic.size() - kept.size();
    EXPECT_TRUE(run.err.ends_with("quarn-report: Received " + std::to_string(traffic.size()) + ", kept "
                                  + std::to_string(kept.size()) + ", refused by the filters " + std::to_string(refused)
                                  + ", lost 0\n"))
        << run.err;
    EXPECT_TRUE(recorder.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Settings, CommandLineFilters, testing::ValuesIn(kSettings),
                         [](const testing::TestParamInfo<Setting>& info) {
                             return "Row" + std::to_string(info.index);
                         });

} // namespace
