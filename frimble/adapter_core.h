// The library's private state behind AdapterObject and PacketObject.
//
// An adapter's socket, ring and queue of posted receives live in an
// AdapterCore shared by the AdapterObject and by every packet posted on it, so
// a wait never reaches through an AdapterObject that another thread may have
// closed. One mutex guards the core and the phase of every packet posted on it.
// Once the adapter is closed and no waiter uses its socket any more, the
// socket and ring are parked for the next open of the interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "frimble/frimble.h"
#include "frimble/packet_socket.h"

namespace frimble {

using PacketState = ::FrimblePacketState;

struct AdapterCore {
    AdapterCore() = default;
    AdapterCore(const AdapterCore&) = delete;
    AdapterCore& operator=(const AdapterCore&) = delete;
    ~AdapterCore();

    std::mutex mutex;
    std::unique_ptr<PacketSocket> kernel; // null once released
    int wakeFd = -1;                      // eventfd: written when closing or resetting ends receives
    int interfaceIndex = 0;
    char interfaceName[FRIMBLE_LINK_NAME_SIZE] = {};
    bool closed = false;
    bool promiscuous = false;

    // Posted receives, in posting order.
    PacketState* head = nullptr;
    PacketState* tail = nullptr;

    // Counts since the adapter was opened. Every frame the kernel places in
    // the ring is handed up to a receive, or lost once the adapter forgets it
    // (a post that finds nothing posted, a reset); the kernel's own drops (a
    // full ring) come on top.
    uint64_t handedUp = 0;
    uint64_t placedAtOpen = 0; // kernel->placed when the adapter was opened
    uint64_t kernelDrops = 0;  // frames the kernel dropped, as last read
    uint64_t forgotten = 0;    // frames placed but never handed up, as of the last forget
    // Frames placed before the last forget that the ring has yet to give out
    // (the kernel was still filling their block): passed over as they come.
    uint64_t framesToSkip = 0;

    int waiters = 0; // threads inside PacketWaitPacket on this core
    uint64_t wakeGeneration = 0;
    int wakeupsPending = 0; // waiters yet to see the latest wake-up

    // Ends every posted receive with failure and wakes the waiters. Lock held.
    void FailPostedReceives();
    // Once no waiter can be using them: parks the socket and ring of a closed
    // adapter, or closes them. Lock held.
    void ReleaseKernelSide();
    // Drops every frame that has arrived so far: from now on only frames for
    // posted receives are handed up. Lock held.
    void ForgetArrivedFrames();
    // Adds the kernel's statistics since the last read (reading resets them). Lock held.
    void ReadKernelStatistics();
    // Frames lost so far: the kernel's drops and the frames forgotten. Lock held.
    uint64_t FramesLost();
};

enum class Phase { Idle, Posted, Done, Failed };

} // namespace frimble

// One packet's completion state (the event of its overlapped block).
struct FrimblePacketState {
    PacketObject* packet = nullptr;
    std::shared_ptr<frimble::AdapterCore> core; // the adapter of the last operation
    // Changed under core->mutex. Once it is Done or Failed only the packet's
    // owner touches the packet, so a wait that sees that (acquire) collects
    // the result without the lock.
    std::atomic<frimble::Phase> phase{frimble::Phase::Idle};
    uint32_t bytes = 0;
    uint32_t seconds = 0; // when the kernel received the frame
    uint32_t nanoseconds = 0;
    uint8_t* buffer = nullptr; // taken from the packet when posted
    uint32_t length = 0;
    FrimblePacketState* next = nullptr; // in core->head..tail while Posted
};

// The AdapterObject's hold on its core.
struct FrimbleAdapterState {
    std::shared_ptr<frimble::AdapterCore> core;
};

namespace frimble {
inline PacketState* StateOf(PacketObject* packet) { return packet != nullptr ? packet->Overlapped.Event : nullptr; }
} // namespace frimble
