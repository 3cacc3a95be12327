// The packet library against real interfaces in a private namespace: the
// adapter-name list, the address and filter requests, promiscuous mode.
#include <gtest/gtest.h>
#include <net/if.h>

#include <cstring>
#include <string>
#include <vector>

#include "frimble/frimble.h"
#include "tests/support/live_net.h"

namespace {

using quarn::test::LiveNet;

std::string ReadList()
{
    char buffer[1024];
    uint32_t size = sizeof buffer;
    if (!PacketGetAdapterNames(buffer, &size))
        return "<unreadable>";
    return std::string(buffer, size);
}

std::string Multi(const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& n : names)
        list += "\\Device\\" + n + std::string(1, '\0');
    return list + std::string(1, '\0');
}

bool Sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TEST(AdapterNames, UpEthernetInterfacesFirstThenTheRestByIndex)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    EXPECT_EQ(ReadList(), Multi({net.CaptureInterface()}));

    // Two more Ethernet interfaces, down; loopback and non-Ethernet links stay out.
    const std::string ns = "ip -n " + net.CaptureNamespace() + " ";
    const std::string a = net.CaptureInterface() + "a", b = net.CaptureInterface() + "b";
    ASSERT_TRUE(Sh(ns + "link add " + a + " type veth peer name " + b));
    // Order by index whatever order the kernel numbered the pair in.
    std::string low = a, high = b;
    if (if_nametoindex(a.c_str()) > if_nametoindex(b.c_str()))
        std::swap(low, high);
    ASSERT_TRUE(Sh(ns + "link set lo up"));
    const std::string tun = net.CaptureInterface() + "t";
    ASSERT_TRUE(Sh(ns + "tuntap add dev " + tun + " mode tun"));
    ASSERT_TRUE(Sh(ns + "link set " + tun + " up"));
    EXPECT_EQ(ReadList(), Multi({net.CaptureInterface(), low, high}));

    // Read afresh: once the higher one is up it moves ahead, behind the older capture end.
    ASSERT_TRUE(Sh(ns + "link set " + high + " up"));
    EXPECT_EQ(ReadList(), Multi({net.CaptureInterface(), high, low}));

    // The list must fit the buffer whole.
    const std::string list = Multi({net.CaptureInterface(), high, low});
    std::vector<char> buffer(list.size());
    uint32_t size = static_cast<uint32_t>(list.size() - 1);
    EXPECT_FALSE(PacketGetAdapterNames(buffer.data(), &size));
    size = static_cast<uint32_t>(list.size());
    ASSERT_TRUE(PacketGetAdapterNames(buffer.data(), &size));
    EXPECT_EQ(size, list.size());
    EXPECT_EQ(std::string(buffer.data(), size), list);

    // PacketGetName: indexes 0..3 step through the list, any other gives the first.
    struct Case {
        int index;
        bool found;
        std::string name;
    };
    const std::string first = "\\Device\\" + net.CaptureInterface();
    for (const Case& c : std::vector<Case>{{0, true, first},
                                           {1, true, "\\Device\\" + high},
                                           {2, true, "\\Device\\" + low},
                                           {3, false, "untouched"},
                                           {4, true, first},
                                           {5, true, first},
                                           {-1, true, first}}) {
        char destination[256] = "untouched";
        EXPECT_EQ(PacketGetName(destination, c.index), c.found ? 1 : 0) << c.index;
        EXPECT_EQ(std::string(destination), c.name) << c.index;
    }
}

TEST(AdapterNames, OneAdapterOnlyHasIndexZero)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    char destination[256] = "untouched";
    EXPECT_EQ(PacketGetName(destination, 1), 0);
    EXPECT_STREQ(destination, "untouched");
    EXPECT_EQ(PacketGetName(destination, 0), 1);
    EXPECT_EQ(std::string(destination), net.AdapterName());
}

TEST(Adapter, OpensTheInterfaceAndAnswersItsAddress)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    AdapterObject* adapter = PacketOpenAdapter(net.AdapterName().c_str());
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(std::string(adapter->LinkName), "\\\\.\\Packet_" + net.CaptureInterface());
    EXPECT_GE(adapter->Device, 0);

    uint8_t address[6] = {};
    EXPECT_EQ(PacketGetAddress(adapter, address), 6);
    EXPECT_EQ(0, std::memcmp(address, net.CaptureMac().data(), 6));
    EXPECT_TRUE(PacketResetAdapter(adapter));
    PacketCloseAdapter(adapter);
}

TEST(Adapter, RequestsItDoesNotKnowAnswerZeroBytes)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    AdapterObject* adapter = PacketOpenAdapter(net.AdapterName().c_str());
    ASSERT_NE(adapter, nullptr);

    struct Case {
        const char* what;
        int set;
        uint32_t oid;
        uint32_t length;
        uint32_t data;
        uint32_t answer;
    };
    for (const Case& c : std::vector<Case>{{"address query", 0, OID_802_3_CURRENT_ADDRESS, 6, 0, 14},
                                           {"unknown oid", 0, 0x00010101u, 6, 0xA5A5A5A5u, 0},
                                           {"address set", 1, OID_802_3_CURRENT_ADDRESS, 6, 0xA5A5A5A5u, 0},
                                           {"address room too small", 0, OID_802_3_CURRENT_ADDRESS, 4, 0x5A5A5A5Au, 0},
                                           {"filter query", 0, OID_GEN_CURRENT_PACKET_FILTER, 4, 0x5A5A5A5Au, 0},
                                           {"filter without promiscuous", 1, OID_GEN_CURRENT_PACKET_FILTER, 4, 0x01, 0},
                                           {"promiscuous filter", 1, OID_GEN_CURRENT_PACKET_FILTER, 4, 0x20, 12}}) {
        uint32_t record[8] = {c.oid, c.length, c.data, c.data};
        EXPECT_EQ(PacketRequest(adapter, c.set, reinterpret_cast<OidRequest*>(record)), c.answer) << c.what;
        if (c.answer == 0) {
            EXPECT_EQ(record[2], c.data) << c.what << ": data changed without an answer";
        }
    }
    EXPECT_FALSE(PacketSetFilter(adapter, 0x01));
    EXPECT_TRUE(PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS));
    PacketCloseAdapter(adapter);
}

TEST(Adapter, PromiscuousFilterLastsAsLongAsTheAdapter)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    const int before = net.CapturePromiscuity();
    ASSERT_GE(before, 0);

    AdapterObject* adapter = PacketOpenAdapter(net.AdapterName().c_str());
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(net.CapturePromiscuity(), before);
    EXPECT_TRUE(PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS));
    EXPECT_EQ(net.CapturePromiscuity(), before + 1);
    EXPECT_TRUE(PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS));  // set again: still one
    EXPECT_EQ(net.CapturePromiscuity(), before + 1);

    AdapterObject* second = PacketOpenAdapter(net.AdapterName().c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(PacketSetFilter(second, NDIS_PACKET_TYPE_PROMISCUOUS));
    EXPECT_EQ(net.CapturePromiscuity(), before + 2);

    PacketCloseAdapter(adapter);
    EXPECT_EQ(net.CapturePromiscuity(), before + 1);
    PacketCloseAdapter(second);
    EXPECT_EQ(net.CapturePromiscuity(), before);
}

} // namespace
