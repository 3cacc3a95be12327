// Adapter operations: open, close, reset, and the NDIS-style requests
// (packet filter, current address) answered from the packet socket.
#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "frimble/adapter_core.h"
#include "frimble/frimble.h"
#include "frimble/link_name.h"
#include "frimble/open_failure.h"

namespace frimble {
namespace {

constexpr uint32_t kRequestHeaderBytes = 8;
constexpr uint32_t kFilterBytes = 4;
constexpr uint32_t kAddressBytes = 6;
constexpr uint32_t kCountBytes = 4;

uint8_t* RequestData(OidRequest* request) { return reinterpret_cast<uint8_t*>(request) + kRequestHeaderBytes; }

uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void WriteLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Null when the socket is ready, else the step that failed (errno tells why).
const char* OpenSocket(AdapterCore& core)
{
    const char* failed = nullptr;
    core.kernel = OpenPacketSocket(core.interfaceIndex, core.interfaceName, failed);
    if (!core.kernel)
        return failed;
    core.placedAtOpen = core.kernel->placed;
    core.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (core.wakeFd < 0)
        return "cannot create an event";
    return nullptr;
}

// Promiscuous mode as a membership of the socket: it ends with the socket.
bool SetPromiscuous(AdapterCore& core)
{
    if (core.promiscuous)
        return true;
    packet_mreq request{};
    request.mr_ifindex = core.interfaceIndex;
    request.mr_type = PACKET_MR_PROMISC;
    if (setsockopt(core.kernel->fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &request, sizeof request) != 0)
        return false;
    core.promiscuous = true;
    return true;
}

bool QueryHardwareAddress(const AdapterCore& core, uint8_t* out)
{
    ifreq request{};
    std::memcpy(request.ifr_name, core.interfaceName, sizeof request.ifr_name - 1);
    if (ioctl(core.kernel->fd, SIOCGIFHWADDR, &request) != 0 || request.ifr_hwaddr.sa_family != ARPHRD_ETHER)
        return false;
    std::memcpy(out, request.ifr_hwaddr.sa_data, kAddressBytes);
    return true;
}

} // namespace

AdapterCore::~AdapterCore()
{
    ReleaseKernelSide();
    if (wakeFd >= 0)
        close(wakeFd);
}

void AdapterCore::FailPostedReceives()
{
    while (head != nullptr) {
        PacketState* state = head;
        head = state->next;
        state->next = nullptr;
        state->bytes = 0;
        state->phase.store(Phase::Failed, std::memory_order_release);
    }
    tail = nullptr;
    if (waiters > 0) {
        ++wakeGeneration;
        wakeupsPending = waiters;
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wakeFd, &one, sizeof one);
    }
}

void AdapterCore::ReleaseKernelSide()
{
    // Only a closed adapter's socket has been unhooked; any other is closed.
    if (closed)
        Park(std::move(kernel));
    kernel.reset();
}

void AdapterCore::ForgetArrivedFrames()
{
    if (!kernel)
        return;
    kernel->ring.Discard();
    // The kernel counts a frame under the same lock that gives it its place in
    // the ring, so the frames counted so far are exactly the ring's next ones:
    // those not taken yet lie in the block the kernel is still filling.
    ReadKernelStatistics();
    const uint64_t placed = kernel->placed;
    const uint64_t taken = kernel->ring.FramesTaken();
    framesToSkip = placed > taken ? placed - taken : 0;
    // Frames placed before the open belong to the ring's earlier life.
    forgotten = placed - placedAtOpen - handedUp;
}

void AdapterCore::ReadKernelStatistics()
{
    tpacket_stats_v3 stats{};
    socklen_t size = sizeof stats;
    if (!kernel || getsockopt(kernel->fd, SOL_PACKET, PACKET_STATISTICS, &stats, &size) != 0)
        return;
    // tp_packets includes the drops.
    kernel->placed += stats.tp_packets - stats.tp_drops;
    kernelDrops += stats.tp_drops;
}

uint64_t AdapterCore::FramesLost()
{
    ReadKernelStatistics();
    return kernelDrops + forgotten;
}

} // namespace frimble

using frimble::AdapterCore;

extern "C" {

AdapterObject* PacketOpenAdapter(const char* adapterName)
{
    char linkName[FRIMBLE_LINK_NAME_SIZE];
    if (!frimble::FormatLinkName(adapterName, linkName)) {
        frimble::SetOpenFailure("not an adapter name (expected \\Device\\ and an interface name)", 0);
        return nullptr;
    }
    const char* interfaceName = frimble::InterfacePart(adapterName);
    if (std::strlen(interfaceName) >= IFNAMSIZ) {
        frimble::SetOpenFailure("interface name too long (at most 15 characters)", 0);
        return nullptr;
    }
    const unsigned index = if_nametoindex(interfaceName);
    if (index == 0) {
        frimble::SetOpenFailure("cannot find the interface", errno);
        return nullptr;
    }

    auto core = std::make_shared<AdapterCore>();
    core->interfaceIndex = static_cast<int>(index);
    std::strncpy(core->interfaceName, interfaceName, sizeof core->interfaceName - 1);
    if (const char* failed = frimble::OpenSocket(*core)) {
        frimble::SetOpenFailure(failed, errno);
        return nullptr;
    }

    auto* adapter = new (std::nothrow) AdapterObject{};
    auto* state = new (std::nothrow) FrimbleAdapterState{};
    if (adapter == nullptr || state == nullptr) {
        frimble::SetOpenFailure("out of memory", 0);
        delete adapter;
        delete state;
        return nullptr;
    }
    frimble::ClearOpenFailure();
    state->core = std::move(core);
    adapter->Device = state->core->kernel->fd;
    std::memcpy(adapter->LinkName, linkName, sizeof linkName);
    adapter->State = state;
    return adapter;
}

void PacketCloseAdapter(AdapterObject* adapter)
{
    if (adapter == nullptr || adapter->State == nullptr)
        return;
    AdapterCore& core = *adapter->State->core;
    {
        std::lock_guard lock(core.mutex);
        core.closed = true;
        core.FailPostedReceives();
        // Nothing more arrives and promiscuity ends now, even while a waiter
        // is still polling the socket; the last one out releases it.
        if (core.kernel)
            frimble::Unhook(*core.kernel, core.promiscuous);
        if (core.waiters == 0)
            core.ReleaseKernelSide();
    }
    delete adapter->State;
    delete adapter;
}

int PacketResetAdapter(AdapterObject* adapter)
{
    if (adapter == nullptr || adapter->State == nullptr)
        return 1;
    AdapterCore& core = *adapter->State->core;
    std::lock_guard lock(core.mutex);
    if (!core.closed) {
        core.FailPostedReceives();
        core.ForgetArrivedFrames();
    }
    return 1;
}

uint32_t PacketRequest(AdapterObject* adapter, int set, OidRequest* request)
{
    if (adapter == nullptr || adapter->State == nullptr || request == nullptr)
        return 0;
    AdapterCore& core = *adapter->State->core;
    std::lock_guard lock(core.mutex);
    if (core.closed)
        return 0;
    uint8_t* data = frimble::RequestData(request);
    if (set && request->Oid == OID_GEN_CURRENT_PACKET_FILTER && request->Length >= frimble::kFilterBytes) {
        const uint32_t filter = frimble::ReadLe32(data);
        if ((filter & NDIS_PACKET_TYPE_PROMISCUOUS) != 0 && frimble::SetPromiscuous(core))
            return frimble::kRequestHeaderBytes + frimble::kFilterBytes;
        return 0;
    }
    if (!set && request->Oid == OID_802_3_CURRENT_ADDRESS && request->Length >= frimble::kAddressBytes) {
        if (frimble::QueryHardwareAddress(core, data))
            return frimble::kRequestHeaderBytes + frimble::kAddressBytes;
        return 0;
    }
    // The counts are 32 bits wide, as the request's answer is: they wrap.
    if (!set && request->Oid == OID_GEN_RCV_OK && request->Length >= frimble::kCountBytes) {
        frimble::WriteLe32(data, static_cast<uint32_t>(core.handedUp));
        return frimble::kRequestHeaderBytes + frimble::kCountBytes;
    }
    if (!set && request->Oid == OID_GEN_RCV_NO_BUFFER && request->Length >= frimble::kCountBytes) {
        frimble::WriteLe32(data, static_cast<uint32_t>(core.FramesLost()));
        return frimble::kRequestHeaderBytes + frimble::kCountBytes;
    }
    return 0;
}

int PacketSetFilter(AdapterObject* adapter, uint32_t filter)
{
    auto* request = static_cast<OidRequest*>(std::calloc(1, frimble::kRequestHeaderBytes + frimble::kFilterBytes));
    if (request == nullptr)
        return 0;
    request->Oid = OID_GEN_CURRENT_PACKET_FILTER;
    request->Length = frimble::kFilterBytes;
    frimble::WriteLe32(frimble::RequestData(request), filter);
    const uint32_t answered = PacketRequest(adapter, 1, request);
    std::free(request);
    return answered != 0 ? 1 : 0;
}

int PacketGetAddress(AdapterObject* adapter, uint8_t* address)
{
    // Aligned room for the record: 8 header bytes and the 6-byte address.
    uint32_t record[4] = {};
    auto* request = reinterpret_cast<OidRequest*>(record);
    request->Oid = OID_802_3_CURRENT_ADDRESS;
    request->Length = frimble::kAddressBytes;
    if (address == nullptr || PacketRequest(adapter, 0, request) == 0)
        return 0;
    std::memcpy(address, frimble::RequestData(request), frimble::kAddressBytes);
    return 6;
}

} // extern "C"
