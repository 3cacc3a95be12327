#include "session/session_buffer.h"

#include <atomic>
#include <new>

namespace {

// Frame buffers in circulation, and the test hook that makes allocation fail.
std::atomic<uint64_t> liveBuffers{0};
std::atomic<int64_t> allocationsLeft{-1}; // negative: no limit

bool TakeAllocationAllowance()
{
    int64_t left = allocationsLeft.load(std::memory_order_relaxed);
    while (left >= 0) {
        if (left == 0)
            return false;
        if (allocationsLeft.compare_exchange_weak(left, left - 1, std::memory_order_relaxed))
            return true;
    }
    return true;
}

struct FrameSlot {
    uint8_t* frame = nullptr;
    uint32_t length = 0;
    CaptureTime time;
    FrameSlot* next = nullptr;
    timespec moment{};
};

// The slots live in one array built by Allocate, in link order from the first
// slot; the links make the chain or the ring. `slots` and `capacity` change only on the user-interface thread
// while no capture or writer runs (they reach those threads through the thread
// start); the current slot and the count are shared while threads run.
FrameSlot* slots = nullptr;
std::atomic<uint32_t> capacity{0};
std::atomic<FrameSlot*> current{nullptr};
std::atomic<uint32_t> count{0};

void FreeSlots(FrameSlot* built, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i)
        FreeFrameBuffer(built[i].frame);
    delete[] built;
}

} // namespace

uint8_t* AllocateFrameBuffer()
{
    if (!TakeAllocationAllowance())
        return nullptr;
    auto* buffer = new (std::nothrow) uint8_t[kFrameBufferSize];
    if (buffer)
        liveBuffers.fetch_add(1, std::memory_order_relaxed);
    return buffer;
}

void FreeFrameBuffer(uint8_t* buffer)
{
    if (!buffer)
        return;
    delete[] buffer;
    liveBuffers.fetch_sub(1, std::memory_order_relaxed);
}

uint64_t LiveFrameBuffers() { return liveBuffers.load(std::memory_order_relaxed); }

void LimitFrameBufferAllocations(int64_t allowed) { allocationsLeft.store(allowed, std::memory_order_relaxed); }

namespace SessionBuffer {

bool Allocate(uint32_t n, bool continuous)
{
    FreeAll(); // a second Allocate must not strand the old slots
    if (n < 1 || n > kMaxCapacity)
        return false;
    FrameSlot* built = new (std::nothrow) FrameSlot[n];
    if (!built)
        return false;
    for (uint32_t i = 0; i < n; ++i) {
        built[i].frame = AllocateFrameBuffer();
        if (!built[i].frame) {
            FreeSlots(built, i);
            return false;
        }
        built[i].next = i + 1 < n ? &built[i + 1] : (continuous ? &built[0] : nullptr);
    }
    slots = built;
    capacity.store(n, std::memory_order_relaxed);
    current.store(&built[n - 1], std::memory_order_release);
    return true;
}

void FreeAll()
{
    current.store(nullptr, std::memory_order_release);
    FrameSlot* old = slots;
    uint32_t n = capacity.load(std::memory_order_relaxed);
    slots = nullptr;
    capacity.store(0, std::memory_order_relaxed);
    if (old)
        FreeSlots(old, n);
}

void Rewind() { current.store(slots, std::memory_order_release); }

uint32_t Count() { return count.load(std::memory_order_acquire); }

void ClearCount() { count.store(0, std::memory_order_release); }

uint32_t Capacity() { return capacity.load(std::memory_order_relaxed); }

uint8_t* CurrentFrame()
{
    FrameSlot* slot = current.load(std::memory_order_acquire);
    return slot ? slot->frame : nullptr;
}

uint32_t CurrentLength()
{
    FrameSlot* slot = current.load(std::memory_order_acquire);
    return slot ? slot->length : 0;
}

CaptureTime CurrentTime()
{
    FrameSlot* slot = current.load(std::memory_order_acquire);
    return slot ? slot->time : CaptureTime{};
}

void Store(uint8_t* buffer, uint32_t length, CaptureTime time, timespec moment)
{
    FrameSlot* slot = current.load(std::memory_order_acquire);
    if (!slot)
        return; // no slots: the buffer stays the caller's
    slot->frame = buffer;
    slot->length = length;
    slot->time = time;
    slot->moment = moment;
    // Count up to capacity; a concurrent ClearCount wins or loses whole.
    const uint32_t limit = capacity.load(std::memory_order_relaxed);
    uint32_t stored = count.load(std::memory_order_relaxed);
    while (stored < limit
           && !count.compare_exchange_weak(stored, stored + 1, std::memory_order_release, std::memory_order_relaxed)) {}
}

SlotContents SlotAt(uint32_t index)
{
    if (!slots || index >= capacity.load(std::memory_order_relaxed))
        return {};
    const FrameSlot& slot = slots[index];
    return {slot.frame, slot.length, slot.time, slot.moment};
}

bool Advance()
{
    FrameSlot* slot = current.load(std::memory_order_acquire);
    if (!slot || !slot->next)
        return false;
    current.store(slot->next, std::memory_order_release);
    return true;
}

} // namespace SessionBuffer
