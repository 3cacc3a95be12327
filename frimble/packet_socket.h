// The kernel side of an opened adapter: a packet socket bound to one interface
// with its memory-mapped receive ring.
//
// The ring is sized for a whole session (tens of MiB), and making one costs the
// kernel tens of milliseconds of zeroing and mapping. The capture closes and
// reopens its adapter at the end of every capture, so a closed adapter's
// socket is not thrown away: it is unhooked from the interface (it receives
// nothing), its promiscuous membership is dropped, and it is parked until the
// next open of the same interface in the same network namespace takes it
// back. At most one socket is parked; parking another closes the first.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>

#include "frimble/receive_ring.h"

namespace frimble {

// Which network namespace an interface index belongs to.
struct NamespaceId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const NamespaceId&) const = default;
};

struct PacketSocket {
    PacketSocket() = default;
    PacketSocket(const PacketSocket&) = delete;
    PacketSocket& operator=(const PacketSocket&) = delete;
    ~PacketSocket();

    int fd = -1;
    ReceiveRing ring;
    int interfaceIndex = 0;
    NamespaceId space;
    bool parkable = false; // known namespace, and unhooked cleanly at close
    // Frames the kernel has placed in the ring since it was mapped, as last
    // read from its statistics; with ring.FramesTaken() it tells how many
    // placed frames the ring has yet to give out.
    uint64_t placed = 0;
};

// A socket on the interface, hooked to receive every frame: the one parked for
// it if there is one, else a new one (from the capture helper when this
// process may not open one). Null on failure, with the failed step in `failed`
// (errno tells why, unless it is 0). A socket taken back has dropped the
// kernel's drop count of its earlier life; `placed` goes on counting.
std::unique_ptr<PacketSocket> OpenPacketSocket(int interfaceIndex, const char* interfaceName, const char*& failed);

// Stops the socket receiving: drops the promiscuous membership (when it was
// made) and unhooks it from the interface. Safe while another thread polls it.
void Unhook(PacketSocket& socket, bool promiscuous);

// Parks an unhooked socket for the next open of its interface, closing the one
// parked before; a socket that cannot be parked is closed.
void Park(std::unique_ptr<PacketSocket> socket);

} // namespace frimble
