#include "frimble/receive_ring.h"

#include <linux/if_packet.h>
#include <sys/mman.h>
#include <sys/socket.h>

namespace frimble {
namespace {

constexpr size_t kBlockSize = size_t{1} << 20; // room for the largest jumbo frame
constexpr size_t kFrameSize = 2048;            // nominal; V3 frames are packed
constexpr size_t kMinimumBlocks = 4;
constexpr unsigned kBlockRetireMs = 10; // hand up a partly filled block this soon
constexpr size_t kCacheLine = 64;

tpacket_block_desc* Block(uint8_t* base, size_t blockSize, size_t index)
{
    return reinterpret_cast<tpacket_block_desc*>(base + index * blockSize);
}

} // namespace

bool ReceiveRing::Map(int socket, size_t totalBytes)
{
    int version = TPACKET_V3;
    if (setsockopt(socket, SOL_PACKET, PACKET_VERSION, &version, sizeof version) != 0)
        return false;

    // Under memory pressure a smaller ring still beats no capture at all.
    for (size_t blocks = totalBytes / kBlockSize; blocks >= kMinimumBlocks; blocks /= 2) {
        tpacket_req3 req{};
        req.tp_block_size = static_cast<unsigned>(kBlockSize);
        req.tp_block_nr = static_cast<unsigned>(blocks);
        req.tp_frame_size = static_cast<unsigned>(kFrameSize);
        req.tp_frame_nr = static_cast<unsigned>(blocks * (kBlockSize / kFrameSize));
        req.tp_retire_blk_tov = kBlockRetireMs;
        if (setsockopt(socket, SOL_PACKET, PACKET_RX_RING, &req, sizeof req) != 0)
            continue;
        const size_t bytes = blocks * kBlockSize;
        void* map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, socket, 0);
        if (map == MAP_FAILED) {
            tpacket_req3 none{};
            setsockopt(socket, SOL_PACKET, PACKET_RX_RING, &none, sizeof none);
            continue;
        }
        base_ = static_cast<uint8_t*>(map);
        mappedBytes_ = bytes;
        blockSize_ = kBlockSize;
        blockCount_ = blocks;
        block_ = 0;
        framesLeft_ = 0;
        holdingBlock_ = false;
        framesTaken_ = 0;
        return true;
    }
    return false;
}

void ReceiveRing::Unmap()
{
    if (base_ != nullptr)
        munmap(base_, mappedBytes_);
    base_ = nullptr;
    mappedBytes_ = 0;
    holdingBlock_ = false;
    framesLeft_ = 0;
}

bool ReceiveRing::BlockReady(size_t index) const
{
    const auto* desc = Block(base_, blockSize_, index);
    return (__atomic_load_n(&desc->hdr.bh1.block_status, __ATOMIC_ACQUIRE) & TP_STATUS_USER) != 0;
}

void ReceiveRing::ReleaseCurrentBlock()
{
    auto* desc = Block(base_, blockSize_, block_);
    __atomic_store_n(&desc->hdr.bh1.block_status, TP_STATUS_KERNEL, __ATOMIC_RELEASE);
    holdingBlock_ = false;
    framesLeft_ = 0;
    block_ = (block_ + 1) % blockCount_;
}

bool ReceiveRing::Next(RingFrame& frame)
{
    if (base_ == nullptr)
        return false;
    // A block is handed back only once its last frame has been copied out,
    // that is on the call after the one that returned it.
    while (true) {
        if (holdingBlock_ && framesLeft_ == 0)
            ReleaseCurrentBlock();
        if (!holdingBlock_) {
            if (!BlockReady(block_))
                return false;
            auto* desc = Block(base_, blockSize_, block_);
            holdingBlock_ = true;
            framesLeft_ = desc->hdr.bh1.num_pkts;
            nextFrame_ = reinterpret_cast<const uint8_t*>(desc) + desc->hdr.bh1.offset_to_first_pkt;
            continue;
        }
        const auto* hdr = reinterpret_cast<const tpacket3_hdr*>(nextFrame_);
        frame.bytes = nextFrame_ + hdr->tp_mac;
        frame.length = hdr->tp_snaplen;
        frame.hasVlanTag = (hdr->tp_status & TP_STATUS_VLAN_VALID) != 0;
        frame.vlanTci = static_cast<uint16_t>(hdr->hv1.tp_vlan_tci);
        frame.vlanTpid = (hdr->tp_status & TP_STATUS_VLAN_TPID_VALID) != 0 ? hdr->hv1.tp_vlan_tpid : 0x8100;
        frame.seconds = hdr->tp_sec;
        frame.nanoseconds = hdr->tp_nsec;
        nextFrame_ += hdr->tp_next_offset;
        --framesLeft_;
        ++framesTaken_;
        // Another core's kernel wrote the next frame: fetch its header and
        // first bytes while this one is copied.
        if (framesLeft_ > 0) {
            __builtin_prefetch(nextFrame_);
            __builtin_prefetch(nextFrame_ + kCacheLine);
            __builtin_prefetch(nextFrame_ + 2 * kCacheLine);
        }
        return true;
    }
}

void ReceiveRing::Discard()
{
    if (base_ == nullptr)
        return;
    if (holdingBlock_) {
        framesTaken_ += framesLeft_;
        ReleaseCurrentBlock();
    }
    for (size_t n = 0; n < blockCount_ && BlockReady(block_); ++n) {
        framesTaken_ += Block(base_, blockSize_, block_)->hdr.bh1.num_pkts;
        holdingBlock_ = true;
        ReleaseCurrentBlock();
    }
}

} // namespace frimble
