// Parts of the packet library that need no interface: link names, refusals,
// waits that must not block, driver start and its messages.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "frimble/adapter_core.h"
#include "frimble/frimble.h"
#include "frimble/link_name.h"

namespace {

TEST(LinkName, PrefixIsReplacedByThePacketDevice)
{
    struct Case {
        std::string adapterName;
        bool accepted;
        std::string linkName;
    };
    const std::string longest(52, 'x');
    const std::vector<Case> cases = {
        {"\\Device\\eth0", true, "\\\\.\\Packet_eth0"},
        // Exactly the prefix: the link name is the device part and nothing else.
        {"\\Device\\", true, "\\\\.\\Packet_"},
        // The prefix is skipped whatever it says.
        {"ABCDEFGHveth1", true, "\\\\.\\Packet_veth1"},
        {"\\Device\\" + longest, true, "\\\\.\\Packet_" + longest},
        {"\\Device\\" + longest + "y", false, ""},
        {"\\Device", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        char field[FRIMBLE_LINK_NAME_SIZE];
        EXPECT_EQ(frimble::FormatLinkName(c.adapterName.c_str(), field), c.accepted) << c.adapterName;
        EXPECT_EQ(std::string(field), c.linkName) << c.adapterName;
    }
}

TEST(ArrivedBefore, OnlyFramesJustBeforeThePostAreHeldBack)
{
    constexpr uint64_t second = 1'000'000'000;
    constexpr uint64_t post = 1'700'000'000 * second;
    struct Case {
        const char* what;
        uint64_t frame;
        bool before;
    };
    for (const Case& c : std::vector<Case>{{"10 ms before the post", post - second / 100, true},
                                           {"just before", post - 1, true},
                                           {"at the post", post, false},
                                           {"after it", post + 5, false},
                                           // The wall clock was stepped back an hour after the post.
                                           {"an hour before", post - 3600 * second, false}}) {
        EXPECT_EQ(frimble::ArrivedBefore(c.frame, post), c.before) << c.what;
    }
}

TEST(OpenAdapter, RefusesNamesThatNameNoInterface)
{
    EXPECT_EQ(PacketOpenAdapter(nullptr), nullptr);
    EXPECT_EQ(PacketOpenAdapter(""), nullptr);
    EXPECT_EQ(PacketOpenAdapter("\\Device"), nullptr);
    EXPECT_EQ(PacketOpenAdapter("\\Device\\"), nullptr);
    EXPECT_EQ(PacketOpenAdapter("\\Device\\no-such-if0"), nullptr);
    EXPECT_EQ(PacketOpenAdapter(("\\Device\\" + std::string(60, 'e')).c_str()), nullptr);
}

TEST(WaitPacket, ReturnsAtOnceForAPacketNeverPosted)
{
    PacketObject* packet = PacketAllocatePacket();
    ASSERT_NE(packet, nullptr);
    uint8_t buffer[1514];
    PacketInitPacket(packet, buffer, sizeof buffer);
    EXPECT_EQ(packet->Buffer, buffer);
    EXPECT_EQ(packet->Length, 1514u);

    uint32_t count = 77;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(PacketWaitPacket(nullptr, packet, &count));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(count, 0u);
    PacketFreePacket(packet);
}

TEST(Requests, WithoutAnAdapterAnswerNothing)
{
    uint8_t address[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(PacketGetAddress(nullptr, address), 0);
    EXPECT_EQ(address[0], 1);  // left as it was
    EXPECT_EQ(address[5], 6);
    EXPECT_FALSE(PacketSetFilter(nullptr, NDIS_PACKET_TYPE_PROMISCUOUS));
    EXPECT_TRUE(PacketResetAdapter(nullptr));
}

std::vector<std::pair<std::string, std::string>> g_messages;
void RecordMessage(const char* text, const char* caption) { g_messages.emplace_back(text, caption); }

class DriverStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_messages.clear();
        PacketSetMessageSink(RecordMessage);
    }
    void TearDown() override { PacketSetMessageSink(nullptr); }
};

TEST_F(DriverStart, KnowsOnlyThePacketService)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "the packet socket family needs root";
    EXPECT_TRUE(StartPacketDriver("PACKET"));
    EXPECT_TRUE(StartPacketDriver("Packet"));  // service names ignore case
    EXPECT_TRUE(PacketInit(nullptr, 1, nullptr));
    EXPECT_TRUE(g_messages.empty());

    EXPECT_FALSE(StartPacketDriver("NoSuchService"));
    EXPECT_FALSE(StartPacketDriver(nullptr));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Could not open service", "FRIMBLE.DLL"}, {"Could not open service", "FRIMBLE.DLL"}};
    EXPECT_EQ(g_messages, expected);
}

TEST_F(DriverStart, WithoutPermissionTheServiceManagerCannotBeOpened)
{
    // Root may always open packet sockets: a child process gives up root
    // (and with it every capability) before it tries.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(3);
        const bool started = StartPacketDriver("PACKET") != 0;
        const bool told = g_messages.size() == 1 && g_messages[0].first == "Could not open SC" &&
                          g_messages[0].second == "FRIMBLE.DLL";
        _exit(started ? 1 : told ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: started without permission; 2: not exactly one \"Could not open SC\" message; "
           "3: could not give up root";
}

TEST_F(DriverStart, OtherLoadReasonsDoNothing)
{
    EXPECT_TRUE(PacketInit(nullptr, 0, nullptr));
    EXPECT_TRUE(PacketInit(nullptr, 2, nullptr));
    EXPECT_TRUE(g_messages.empty());
}

} // namespace
