// The session buffer: the one store of captured frames.
//
// A fixed number of slots (1 to 5000), each owning one 1514-byte frame buffer,
// linked as a chain (session capture: the capture ends when the last slot is
// filled) or as a ring (continuous capture: the newest frame overwrites the
// oldest). Frames move in by pointer exchange, never by copying: the capture
// thread takes the current slot's buffer as its spare and stores its receive
// buffer in the slot.
//
// Threads: the user-interface thread rebuilds and clears the buffer; the capture
// thread stores; the report writer reads. The capture thread and the writer never
// run at once (the main window's rules), and each hand-over between threads goes
// through a thread start, join or atomic flag. The count is atomic, because
// Clear buffer may zero it while the writer reads it.
#pragma once

#include <cstdint>
#include <ctime>

#include "session/capture_time.h"

// Size of every frame buffer in circulation: a maximal Ethernet frame without
// its frame check sequence.
inline constexpr uint32_t kFrameBufferSize = 1514;

// Every frame buffer, in a slot or in a receive packet, comes from here.
// Allocation returns null when memory is short.
uint8_t* AllocateFrameBuffer();
void FreeFrameBuffer(uint8_t* buffer);
// Number of frame buffers allocated and not yet freed.
uint64_t LiveFrameBuffers();
// Test hook: let only the next `allowed` frame buffer allocations succeed, as if
// memory ran out after them; a negative value lifts the limit.
void LimitFrameBufferAllocations(int64_t allowed);

namespace SessionBuffer {

inline constexpr uint32_t kMaxCapacity = 5000;

// Build capacity slots (1 to 5000), a ring when continuous. The current slot is
// left at the last slot, the count untouched. Slots left from an earlier build
// are freed first. Returns false, with no slot allocated, when memory runs out
// or the capacity is outside 1 to 5000.
bool Allocate(uint32_t capacity, bool continuous);
// Free every slot and its buffer; afterwards there are no slots (capacity 0).
void FreeAll();
// Make the first slot current.
void Rewind();
// Frames stored since the count was last cleared (0 to capacity).
uint32_t Count();
void ClearCount();
uint32_t Capacity();

// The current slot's buffer, length and capture time (null, 0 and zero while
// there are no slots).
uint8_t* CurrentFrame();
uint32_t CurrentLength();
CaptureTime CurrentTime();

// Put buffer into the current slot (the slot's old buffer is the caller's, taken
// beforehand with CurrentFrame), with its length and time; count up to capacity.
// Without slots nothing is stored and the buffer stays the caller's. The
// moment is the capture time as the clock gave it (seconds and nanoseconds
// since the epoch), of which time is the local time of day.
void Store(uint8_t* buffer, uint32_t length, CaptureTime time, timespec moment = {});
// Move to the next slot; false (and no move) at the end of a session-mode chain.
bool Advance();

// A slot as it holds its frame.
struct SlotContents {
    const uint8_t* frame = nullptr;
    uint32_t length = 0;
    CaptureTime time;
    timespec moment{};
};
// Slot `index` counted from the first slot, the order in which the report reads
// the stored frames (0 to Count() - 1). Does not move the current slot, so it
// may read beside the report writer. Empty past the last slot.
SlotContents SlotAt(uint32_t index);

} // namespace SessionBuffer
