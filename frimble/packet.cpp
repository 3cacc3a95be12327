// Packet operations: posted receives complete in posting order, each taking the
// next frame of the adapter's ring; sends go straight to the socket.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "frimble/adapter_core.h"
#include "frimble/frimble.h"
#include "frimble/receive_time.h"

namespace frimble {
namespace {

// A safety net only: closing and resetting wake waiters through the eventfd.
constexpr int kPollTimeoutMs = 250;
constexpr size_t kMacBytes = 12;
constexpr size_t kVlanTagBytes = 4;

// Copies a ring frame into a posted buffer, putting back a VLAN tag that the
// kernel took out, so the buffer holds the frame as it was on the medium.
uint32_t CopyFrame(const RingFrame& frame, uint8_t* buffer, uint32_t length)
{
    if (!frame.hasVlanTag || frame.length < kMacBytes) {
        const uint32_t n = std::min(frame.length, length);
        std::memcpy(buffer, frame.bytes, n);
        return n;
    }
    const uint8_t tag[kVlanTagBytes]
        = {uint8_t(frame.vlanTpid >> 8), uint8_t(frame.vlanTpid), uint8_t(frame.vlanTci >> 8), uint8_t(frame.vlanTci)};
    uint32_t stored = 0;
    auto append = [&](const uint8_t* from, size_t n) {
        n = std::min<size_t>(n, length - stored);
        std::memcpy(buffer + stored, from, n);
        stored += static_cast<uint32_t>(n);
    };
    append(frame.bytes, kMacBytes);
    append(tag, kVlanTagBytes);
    append(frame.bytes + kMacBytes, frame.length - kMacBytes);
    return stored;
}

void Append(AdapterCore& core, PacketState* state)
{
    state->next = nullptr;
    if (core.tail != nullptr)
        core.tail->next = state;
    else
        core.head = state;
    core.tail = state;
}

void Unlink(AdapterCore& core, PacketState* state)
{
    PacketState* previous = nullptr;
    for (PacketState* p = core.head; p != nullptr; previous = p, p = p->next) {
        if (p != state)
            continue;
        (previous != nullptr ? previous->next : core.head) = p->next;
        if (core.tail == p)
            core.tail = previous;
        p->next = nullptr;
        return;
    }
}

// Completes posted receives from the ring, oldest first, until `until` is done
// or the ring runs dry; frames already there go on to the receives behind it
// under the same lock, so their waits find them done without taking it. The
// last posted receive is left for its own wait: with none posted, a post
// forgets the frames that arrived, which must stay for the receives to come.
// Lock held.
void Deliver(AdapterCore& core, const PacketState* until)
{
    RingFrame frame;
    while (core.head != nullptr
           && (until->phase.load(std::memory_order_relaxed) == Phase::Posted || core.head->next != nullptr)
           && core.kernel->ring.Next(frame)) {
        if (core.framesToSkip > 0) {
            --core.framesToSkip; // arrived before the adapter last forgot its frames
            continue;
        }
        PacketState* state = core.head;
        core.head = state->next;
        if (core.head == nullptr)
            core.tail = nullptr;
        state->next = nullptr;
        state->bytes = CopyFrame(frame, state->buffer, state->length);
        state->seconds = frame.seconds;
        state->nanoseconds = frame.nanoseconds;
        state->phase.store(Phase::Done, std::memory_order_release);
        ++core.handedUp;
    }
}

// A waiter that slept through a wake-up counts itself; the last one to notice
// empties the eventfd so later waits sleep again.
void NoticeWakeups(AdapterCore& core, uint64_t& seen)
{
    if (seen == core.wakeGeneration)
        return;
    seen = core.wakeGeneration;
    if (--core.wakeupsPending == 0 && !core.closed) {
        uint64_t value;
        [[maybe_unused]] ssize_t n = read(core.wakeFd, &value, sizeof value);
    }
}

// A link going down (or its interface going away) leaves an error pending on
// the socket, and poll reports it at once until it is read. Reading it clears
// it, so the wait sleeps again; the kernel hands frames up again by itself
// once the link is back. The socket stays open while this thread is a waiter.
void ClearSocketError(int socket)
{
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size);
}

// Ties the packet to the adapter for a new operation and returns its state.
// Null without a packet or an open adapter, and while a receive posted earlier
// on another adapter is still outstanding.
PacketState* BeginOperation(AdapterObject* adapter, PacketObject* packet)
{
    PacketState* state = StateOf(packet);
    if (state == nullptr || adapter == nullptr || adapter->State == nullptr)
        return nullptr;
    packet->Overlapped.Offset = 0;
    packet->Overlapped.OffsetHigh = 0;
    const std::shared_ptr<AdapterCore>& core = adapter->State->core;
    // The usual case, the same adapter again: no reference counting per post.
    if (state->core == core)
        return state;
    if (state->core != nullptr) {
        std::lock_guard lock(state->core->mutex);
        if (state->phase == Phase::Posted)
            return nullptr;
        state->phase = Phase::Idle;
    }
    state->core = core;
    return state;
}

bool Collect(PacketState* state, uint32_t* count)
{
    const bool ok = state->phase.load(std::memory_order_relaxed) == Phase::Done;
    const uint32_t bytes = ok ? state->bytes : 0;
    state->packet->Overlapped.Status = ok ? 0 : 1;
    state->packet->Overlapped.BytesTransferred = bytes;
    state->phase.store(Phase::Idle, std::memory_order_relaxed);
    if (count != nullptr)
        *count = bytes;
    return ok;
}

} // namespace

bool ReceiveTime(const PacketObject* packet, timespec& moment)
{
    const PacketState* state = packet != nullptr ? packet->Overlapped.Event : nullptr;
    // A collected receive leaves its count and stamp; a failed one leaves none.
    if (state == nullptr || packet->Overlapped.Status != 0 || state->seconds == 0)
        return false;
    moment.tv_sec = state->seconds;
    moment.tv_nsec = state->nanoseconds;
    return true;
}

} // namespace frimble

using frimble::AdapterCore;
using frimble::PacketState;
using frimble::Phase;

extern "C" {

PacketObject* PacketAllocatePacket(void)
{
    auto* packet = new (std::nothrow) PacketObject{};
    auto* state = new (std::nothrow) FrimblePacketState{};
    if (packet == nullptr || state == nullptr) {
        delete packet;
        delete state;
        return nullptr;
    }
    state->packet = packet;
    packet->Overlapped.Event = state;
    return packet;
}

void PacketFreePacket(PacketObject* packet)
{
    PacketState* state = frimble::StateOf(packet);
    if (state != nullptr && state->core != nullptr) {
        // Freeing a packet with a receive outstanding must not leave it queued.
        std::lock_guard lock(state->core->mutex);
        if (state->phase == Phase::Posted)
            frimble::Unlink(*state->core, state);
        state->phase = Phase::Idle;
    }
    delete state;
    delete packet;
}

void PacketInitPacket(PacketObject* packet, void* buffer, uint32_t length)
{
    if (packet == nullptr)
        return;
    packet->Buffer = buffer;
    packet->Length = length;
}

int PacketReceivePacket(AdapterObject* adapter, PacketObject* packet, int sync, uint32_t* bytesReceived)
{
    PacketState* state = frimble::BeginOperation(adapter, packet);
    if (state == nullptr)
        return 0;
    AdapterCore& core = *state->core;
    uint8_t* posted = nullptr;
    {
        std::lock_guard lock(core.mutex);
        if (state->phase == Phase::Posted)
            return 0; // one operation at a time per packet
        state->buffer = static_cast<uint8_t*>(packet->Buffer);
        state->length = state->buffer != nullptr ? packet->Length : 0;
        state->bytes = 0;
        state->seconds = 0;
        if (core.closed || state->length == 0) {
            // Fails at once; the wait reports it.
            state->phase.store(Phase::Failed, std::memory_order_relaxed);
        } else {
            // Frames reach the adapter only for posted receives.
            if (core.head == nullptr)
                core.ForgetArrivedFrames();
            state->phase.store(Phase::Posted, std::memory_order_relaxed);
            frimble::Append(core, state);
            posted = state->buffer;
        }
    }
    // A caller's buffer is often cold by the time a frame is copied into it
    // (the capture's come from its session slots): fetch its first line now.
    if (posted != nullptr)
        __builtin_prefetch(posted, 1);
    if (!sync)
        return 1;
    return PacketWaitPacket(adapter, packet, bytesReceived);
}

int PacketSendPacket(AdapterObject* adapter, PacketObject* packet, int sync)
{
    PacketState* state = frimble::BeginOperation(adapter, packet);
    if (state == nullptr)
        return 0;
    AdapterCore& core = *state->core;
    std::lock_guard lock(core.mutex);
    if (state->phase == Phase::Posted)
        return 0;
    bool sent = false;
    if (!core.closed && packet->Buffer != nullptr) {
        const ssize_t n = send(core.kernel->fd, packet->Buffer, packet->Length, 0);
        sent = n >= 0 && static_cast<uint32_t>(n) == packet->Length;
    }
    state->bytes = sent ? packet->Length : 0;
    state->seconds = 0; // a send has no receive time
    if (sync) {
        state->phase = Phase::Idle;
        return sent ? 1 : 0;
    }
    state->phase = sent ? Phase::Done : Phase::Failed;
    return 1;
}

int PacketWaitPacket(AdapterObject* /*adapter*/, PacketObject* packet, uint32_t* bytesReceived)
{
    // The adapter argument is not used: it may already have been closed. The
    // packet's own reference keeps the state it was posted on alive.
    PacketState* state = frimble::StateOf(packet);
    if (state == nullptr || state->core == nullptr) {
        if (bytesReceived != nullptr)
            *bytesReceived = 0;
        return 0;
    }
    // Only Posted can still change in another thread (a frame, a reset, a close).
    const Phase phase = state->phase.load(std::memory_order_acquire);
    if (phase == Phase::Idle) {
        if (bytesReceived != nullptr)
            *bytesReceived = 0;
        return 0;
    }
    if (phase != Phase::Posted)
        return frimble::Collect(state, bytesReceived) ? 1 : 0;
    AdapterCore& core = *state->core;
    std::unique_lock lock(core.mutex);
    ++core.waiters;
    uint64_t seen = core.wakeGeneration;
    while (true) {
        frimble::NoticeWakeups(core, seen);
        if (state->phase.load(std::memory_order_relaxed) != Phase::Posted)
            break;
        frimble::Deliver(core, state);
        if (state->phase.load(std::memory_order_relaxed) != Phase::Posted)
            break;
        // Open while this thread is a waiter: only a closed adapter releases it.
        pollfd fds[2] = {{core.kernel->fd, POLLIN, 0}, {core.wakeFd, POLLIN, 0}};
        lock.unlock();
        if (poll(fds, 2, frimble::kPollTimeoutMs) > 0 && (fds[0].revents & POLLERR) != 0)
            frimble::ClearSocketError(fds[0].fd);
        lock.lock();
    }
    --core.waiters;
    if (core.closed && core.waiters == 0)
        core.ReleaseKernelSide();
    return frimble::Collect(state, bytesReceived) ? 1 : 0;
}

} // extern "C"
