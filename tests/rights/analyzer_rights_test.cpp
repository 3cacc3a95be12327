// The analyzer started by ordinary users, with a Qt style and a Qt platform
// plugin planted in a folder of their own (planted_probe.h) and named by
// QT_PLUGIN_PATH and -platformpluginpath. The plugins' code runs inside the
// analyzer, so it must hold no capability and be unable to open a packet
// socket; a member of the capture group still captures, through the capture
// helper, and gets the report; anyone else is told why and the program ends
// with status 1.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "tests/support/command_run.h"
#include "tests/support/frames.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/require_live.h"
#include "tests/support/scratch_files.h"

namespace {

using namespace quarn::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kFrames = 10;
const std::string kNoCapability = "CapEff 0000000000000000, packet socket refused";

class AnalyzerRights : public testing::Test {
protected:
    void SetUp() override
    {
        QUARN_REQUIRE_LIVE();
        net.emplace();
        ASSERT_TRUE(net->Ready()) << net->Error();
        fs::permissions(dir.path(), fs::perms::all);
        fs::create_directories(dir / "plugins/styles");
        fs::create_directories(dir / "plugins/platforms");
        fs::copy_file(QUARN_PLANTED_STYLE, dir / "plugins/styles/libplanted.so");
        fs::copy_file(QUARN_PLANTED_PLATFORM, dir / "plugins/platforms/libplanted.so");
    }

    // The analyzer as uid 65534 with these groups; when it is to capture,
    // frames are sent once the planted plugin has pressed Start.
    CommandResult Run(std::vector<gid_t> groups, bool capture)
    {
        RunSetup setup;
        setup.environment
            = {"QT_PLUGIN_PATH=" + dir / "plugins", "QT_STYLE_OVERRIDE=planted", "QT_QPA_PLATFORM=planted;offscreen",
               "HOME=" + dir.path(), "QUARN_PLANTED_FRAMES=" + std::to_string(kFrames)};
        CommandResult result;
        const bool ran = RunAsOrdinaryUser(groups, [&] {
            RunningCommand running
                = StartCommand(QUARN_ANALYZER, {"-platformpluginpath", dir / "plugins/platforms"}, dir.path(), setup);
            for (auto waited = 0ms; capture && waited < 20s && !fs::exists(dir / "planted-capturing"); waited += 50ms)
                std::this_thread::sleep_for(50ms);
            for (int i = 0; i < kFrames && fs::exists(dir / "planted-capturing"); ++i)
                EXPECT_TRUE(net->Send(NumberedFrame(net->CaptureMac(), 0x20, static_cast<uint8_t>(i))));
            result = FinishCommand(running);
        });
        EXPECT_TRUE(ran);
        return result;
    }

    std::optional<LiveNet> net;
    ScratchDirectory dir;
};

TEST_F(AnalyzerRights, AMemberCapturesThroughTheHelperWhilePlantedPluginsGetNoRight)
{
    const CommandResult run = Run({QUARN_CAPTURE_GID}, true);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("planted style: " + kNoCapability + "\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("planted platform: " + kNoCapability + "\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("planted box:"), std::string::npos) << run.err;

    const std::string report = ReadFile(dir / "output.txt");
    EXPECT_EQ(CountOf(report, "--- Packet received:"), kFrames) << report;
    for (int i = 0; i < kFrames; ++i) {
        char source[32];
        std::snprintf(source, sizeof source, "MAC source: 02:00:00:00:20:%02X", i);
        EXPECT_EQ(CountOf(report, source), 1) << source;
    }
}

TEST_F(AnalyzerRights, AnyoneElseIsToldWhyAndTheProgramEndsWithStatusOne)
{
    const CommandResult run = Run({}, false);
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_NE(run.err.find("analyzer: " + net->AdapterName()
                           + ": not a member of quarn-capture: sudo adduser nobody quarn-capture, then log in again\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("planted box: Network card not found or packet driver not correctly installed\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(dir / "output.txt"));
}

} // namespace
