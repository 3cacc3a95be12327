// Parts of the packet library that need no interface.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "frimble/frimble.h"
#include "frimble/link_name.h"
#include "frimble/open_failure.h"

namespace {

TEST(LinkName, PrefixIsReplacedByThePacketDevice)
{
    const std::string longest(52, 'x');
    const struct {
        std::string adapterName;
        bool accepted;
        std::string linkName;
    } cases[] = {
        {"\\Device\\eth0", true, "\\\\.\\Packet_eth0"},
        {"\\Device\\", true, "\\\\.\\Packet_"},         // exactly the eight-character prefix
        {"ABCDEFGHveth1", true, "\\\\.\\Packet_veth1"}, // skipped whatever it says
        {"\\Device\\" + longest, true, "\\\\.\\Packet_" + longest},
        {"\\Device\\" + longest + "y", false, ""},
        {"\\Device", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        char field[FRIMBLE_LINK_NAME_SIZE];
        EXPECT_EQ(frimble::FormatLinkName(c.adapterName.c_str(), field), c.accepted) << c.adapterName;
        EXPECT_EQ(std::string(field), c.linkName) << c.adapterName;
    }
}

TEST(NoAdapter, OpenIsRefusedAndRequestsAnswerNothing)
{
    // Each refusal keeps its reason for the calling thread.
    const std::string tooLong = "\\Device\\" + std::string(60, 'e');
    const std::string notName = "not an adapter name (expected \\Device\\ and an interface name)";
    const struct {
        const char* name;
        std::string reason;
    } cases[] = {{"", notName},
                 {"\\Device", notName},
                 {nullptr, notName},
                 {"\\Device\\", "cannot find the interface: No such device"},
                 {"\\Device\\no-such-if0", "cannot find the interface: No such device"},
                 {"\\Device\\sixteen-letters0", "interface name too long (at most 15 characters)"},
                 {tooLong.c_str(), notName}};
    for (const auto& c : cases) {
        EXPECT_EQ(PacketOpenAdapter(c.name), nullptr) << c.name;
        EXPECT_EQ(frimble::LastOpenFailure(), c.reason) << c.name;
    }
    std::string otherThread = "unset";
    std::thread([&] { otherThread = frimble::LastOpenFailure(); }).join();
    EXPECT_EQ(otherThread, "") << "the reason belongs to the thread that failed";

    uint8_t address[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(PacketGetAddress(nullptr, address), 0);
    EXPECT_EQ(address[0], 1); // left as it was
    EXPECT_EQ(address[5], 6);
    EXPECT_FALSE(PacketSetFilter(nullptr, NDIS_PACKET_TYPE_PROMISCUOUS));
    EXPECT_TRUE(PacketResetAdapter(nullptr));

    // A wait for a packet never posted returns at once with count 0.
    PacketObject* packet = PacketAllocatePacket();
    ASSERT_NE(packet, nullptr);
    uint8_t buffer[1514];
    PacketInitPacket(packet, buffer, sizeof buffer);
    uint32_t count = 77;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(PacketWaitPacket(nullptr, packet, &count));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(count, 0u);
    PacketFreePacket(packet);
}

using Messages = std::vector<std::pair<std::string, std::string>>;
Messages g_messages;

class DriverStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_messages.clear();
        PacketSetMessageSink([](const char* text, const char* caption) { g_messages.emplace_back(text, caption); });
    }
    void TearDown() override { PacketSetMessageSink(nullptr); }
};

TEST_F(DriverStart, KnowsOnlyThePacketService)
{
    EXPECT_TRUE(PacketInit(nullptr, 0, nullptr)); // other load reasons do nothing
    EXPECT_TRUE(PacketInit(nullptr, 2, nullptr));
    EXPECT_TRUE(g_messages.empty());
    if (geteuid() != 0)
        GTEST_SKIP() << "the packet socket family needs root";
    EXPECT_TRUE(StartPacketDriver("PACKET"));
    EXPECT_TRUE(StartPacketDriver("Packet")); // service names ignore case
    EXPECT_TRUE(PacketInit(nullptr, 1, nullptr));
    EXPECT_TRUE(g_messages.empty());
    EXPECT_FALSE(StartPacketDriver("NoSuchService"));
    EXPECT_FALSE(StartPacketDriver(nullptr));
    EXPECT_EQ(g_messages, Messages(2, {"Could not open service", "FRIMBLE.DLL"}));
}

TEST_F(DriverStart, WithoutPermissionTheServiceManagerCannotBeOpened)
{
    // Root may always open packet sockets: a child gives up root (and every capability) first.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        const bool started = StartPacketDriver("PACKET") != 0;
        _exit(started ? 1 : g_messages == Messages{{"Could not open SC", "FRIMBLE.DLL"}} ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: started without permission; 2: not exactly one \"Could not open SC\" message; 3: still root";
}

} // namespace
