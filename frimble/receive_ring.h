// The adapter's memory-mapped receive ring (TPACKET_V3): the kernel fills
// blocks of frames, the reader walks them frame by frame and hands each block
// back as soon as it has been read. Not thread-safe: the adapter's lock guards it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace frimble {

// One frame as it lies in the ring. The bytes stay valid until the next call
// of Next, Discard or Unmap.
struct RingFrame {
    const uint8_t* bytes = nullptr;
    uint32_t length = 0;     // bytes present in the ring
    bool hasVlanTag = false; // a tag the kernel took out of the frame
    uint16_t vlanTpid = 0;
    uint16_t vlanTci = 0;
    uint32_t seconds = 0; // when the kernel received it (realtime clock)
    uint32_t nanoseconds = 0;
};

class ReceiveRing {
public:
    ReceiveRing() = default;
    ReceiveRing(const ReceiveRing&) = delete;
    ReceiveRing& operator=(const ReceiveRing&) = delete;
    ~ReceiveRing() { Unmap(); }

    // Sets the socket to TPACKET_V3 and maps a ring of about totalBytes
    // (smaller if the kernel refuses that much). False if no ring could be made.
    bool Map(int socket, size_t totalBytes);
    void Unmap();
    bool IsMapped() const { return base_ != nullptr; }

    // The next frame, or false when the kernel has handed up nothing more yet.
    bool Next(RingFrame& frame);
    // Hands every block the kernel has filled back to it, unread.
    void Discard();
    // Frames taken out of the ring since it was mapped: returned by Next or
    // handed back unread by Discard. The kernel places frames in ring order,
    // so the frames it has placed beyond this count are still to come.
    uint64_t FramesTaken() const { return framesTaken_; }

private:
    bool BlockReady(size_t index) const;
    void ReleaseCurrentBlock();

    uint8_t* base_ = nullptr;
    size_t mappedBytes_ = 0;
    size_t blockSize_ = 0;
    size_t blockCount_ = 0;
    size_t block_ = 0;        // block being read
    uint32_t framesLeft_ = 0; // frames of block_ not yet returned
    const uint8_t* nextFrame_ = nullptr;
    bool holdingBlock_ = false; // block_ belongs to us until released
    uint64_t framesTaken_ = 0;
};

} // namespace frimble
