#include "frimble/packet_socket.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <utility>

#include "frimble/helper_socket.h"

namespace frimble {
namespace {

// Sized for a whole session: a burst of thousands of full frames must fit.
constexpr size_t kRingBytes = size_t{64} << 20;

std::mutex g_parkedMutex;
std::unique_ptr<PacketSocket> g_parked; // guarded by g_parkedMutex

// The calling thread's network namespace; false when it cannot be told.
bool CurrentNamespace(NamespaceId& space)
{
    struct stat info {};
    if (stat("/proc/thread-self/ns/net", &info) != 0)
        return false;
    space = {info.st_dev, info.st_ino};
    return true;
}

bool Bind(int fd, int interfaceIndex)
{
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(ETH_P_ALL);
    address.sll_ifindex = interfaceIndex;
    return bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

// Frames the kernel placed since the last read (reading resets its counts);
// its drops are returned in `drops`.
uint64_t ReadPlaced(int fd, uint64_t& drops)
{
    tpacket_stats_v3 stats{};
    socklen_t size = sizeof stats;
    drops = 0;
    if (getsockopt(fd, SOL_PACKET, PACKET_STATISTICS, &stats, &size) != 0)
        return 0;
    drops = stats.tp_drops;
    return stats.tp_packets - stats.tp_drops; // tp_packets includes the drops
}

// A new packet socket, or -1 with the failed step in `failed`. Protocol 0
// until bound: nothing is queued before the ring and the interface binding are
// in place. A process without the right to open one has the capture helper
// open it; its reason then says everything (errno 0).
int OpenDescriptor(const char* interfaceName, const char*& failed)
{
    int fd = ::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (fd >= 0)
        return fd;
    if (errno != EPERM && errno != EACCES) {
        failed = "cannot open a packet socket";
        return -1;
    }
    fd = OpenSocketThroughHelper(interfaceName, failed);
    if (fd < 0)
        errno = 0;
    return fd;
}

std::unique_ptr<PacketSocket> TakeParked(int interfaceIndex, const NamespaceId& space)
{
    std::unique_ptr<PacketSocket> socket;
    {
        std::lock_guard lock(g_parkedMutex);
        if (!g_parked || g_parked->interfaceIndex != interfaceIndex || !(g_parked->space == space))
            return nullptr;
        socket = std::move(g_parked);
    }
    // Frames placed before the socket was parked are the ring's, not the new
    // adapter's; so are the drops.
    uint64_t drops = 0;
    socket->placed += ReadPlaced(socket->fd, drops);
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(socket->fd, SOL_SOCKET, SO_ERROR, &error, &size); // a link that went down meanwhile
    if (setsockopt(socket->fd, SOL_SOCKET, SO_DETACH_FILTER, &error, sizeof error) != 0
        || !Bind(socket->fd, interfaceIndex))
        return nullptr; // closed here; a new socket takes its place
    // Emptied: blocks the kernel handed over go back unread; frames of the
    // block it was filling are passed over by the adapter's first receive.
    socket->ring.Discard();
    return socket;
}

} // namespace

PacketSocket::~PacketSocket()
{
    ring.Unmap();
    if (fd >= 0)
        close(fd);
}

std::unique_ptr<PacketSocket> OpenPacketSocket(int interfaceIndex, const char* interfaceName, const char*& failed)
{
    failed = nullptr;
    NamespaceId space;
    const bool known = CurrentNamespace(space);
    if (known) {
        if (auto socket = TakeParked(interfaceIndex, space))
            return socket;
    }
    auto socket = std::make_unique<PacketSocket>();
    socket->interfaceIndex = interfaceIndex;
    socket->space = space;
    socket->fd = OpenDescriptor(interfaceName, failed);
    if (socket->fd >= 0 && !socket->ring.Map(socket->fd, kRingBytes))
        failed = "cannot map the receive ring";
    else if (socket->fd >= 0 && !Bind(socket->fd, interfaceIndex))
        failed = "cannot bind to the interface";
    if (failed != nullptr) {
        const int error = errno;
        socket.reset();
        errno = error;
        return nullptr;
    }
    socket->parkable = known;
    return socket;
}

void Unhook(PacketSocket& socket, bool promiscuous)
{
    bool unhooked = true;
    if (promiscuous) {
        packet_mreq request{};
        request.mr_ifindex = socket.interfaceIndex;
        request.mr_type = PACKET_MR_PROMISC;
        unhooked = setsockopt(socket.fd, SOL_PACKET, PACKET_DROP_MEMBERSHIP, &request, sizeof request) == 0;
    }
    // A filter that takes no frame: the kernel places nothing more in the ring
    // and counts nothing. Binding to protocol 0 would keep the old protocol,
    // and the socket's hook on the interface is what a reopen needs anyway.
    sock_filter takeNone[] = {BPF_STMT(BPF_RET | BPF_K, 0)};
    const sock_fprog program{1, takeNone};
    unhooked = setsockopt(socket.fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0 && unhooked;
    socket.parkable = socket.parkable && unhooked;
}

void Park(std::unique_ptr<PacketSocket> socket)
{
    if (!socket || !socket->parkable || !socket->ring.IsMapped())
        return; // closed by the destructor
    {
        std::lock_guard lock(g_parkedMutex);
        std::swap(g_parked, socket);
    }
    socket.reset(); // the one parked before, if any, closed outside the lock
}

} // namespace frimble
