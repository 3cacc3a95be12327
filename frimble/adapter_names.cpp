// The adapter-name list, read afresh from the kernel's interface table on every
// call: Ethernet interfaces only (no loopback), those that are up first, each
// group in interface-index order, in the multi-string form
// "\Device\eth0\0\Device\eth1\0\0".
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frimble/frimble.h"

namespace {

constexpr const char kDevicePrefix[] = "\\Device\\";
static_assert(sizeof kDevicePrefix - 1 == FRIMBLE_NAME_PREFIX_LENGTH);
constexpr uint32_t kNameBufferSize = 256;
constexpr int kHighestNameIndex = 3;

struct Interface {
    bool up;
    unsigned index;
    std::string name;
};

// False when the interface table cannot be read at all.
bool ReadEthernetInterfaces(std::vector<Interface>& out)
{
    const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    struct if_nameindex* table = if_nameindex();
    if (table == nullptr) {
        close(probe);
        return false;
    }
    for (const struct if_nameindex* entry = table; entry->if_index != 0 && entry->if_name != nullptr; ++entry) {
        ifreq request{};
        std::strncpy(request.ifr_name, entry->if_name, IFNAMSIZ - 1);
        if (ioctl(probe, SIOCGIFHWADDR, &request) != 0 || request.ifr_hwaddr.sa_family != ARPHRD_ETHER)
            continue;
        if (ioctl(probe, SIOCGIFFLAGS, &request) != 0 || (request.ifr_flags & IFF_LOOPBACK) != 0)
            continue;
        out.push_back({(request.ifr_flags & IFF_UP) != 0, entry->if_index, entry->if_name});
    }
    if_freenameindex(table);
    close(probe);
    std::sort(out.begin(), out.end(),
              [](const Interface& a, const Interface& b) { return a.up != b.up ? a.up : a.index < b.index; });
    return true;
}

} // namespace

extern "C" {

int PacketGetAdapterNames(char* buffer, uint32_t* size)
{
    if (buffer == nullptr || size == nullptr)
        return 0;
    std::vector<Interface> interfaces;
    if (!ReadEthernetInterfaces(interfaces))
        return 0;
    std::string list;
    for (const Interface& i : interfaces) {
        list += kDevicePrefix;
        list += i.name;
        list += '\0';
    }
    list += '\0';
    if (list.size() > *size) {
        *size = static_cast<uint32_t>(list.size()); // what it would take
        return 0;
    }
    std::memcpy(buffer, list.data(), list.size());
    *size = static_cast<uint32_t>(list.size());
    return 1;
}

int PacketGetName(char* destination, int index)
{
    char list[kNameBufferSize];
    uint32_t size = sizeof list;
    if (destination == nullptr || !PacketGetAdapterNames(list, &size))
        return 0;
    if (index < 0 || index > kHighestNameIndex)
        index = 0;
    // The list ends with an empty name; stepping stops there.
    const char* name = list;
    for (int i = 0; i < index && *name != '\0'; ++i)
        name += std::strlen(name) + 1;
    if (*name == '\0')
        return 0;
    std::memcpy(destination, name, std::strlen(name) + 1);
    return 1;
}

} // extern "C"
