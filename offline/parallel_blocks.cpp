#include "offline/parallel_blocks.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "files/output_signals.h"
#include "offline/landed_frames.h"
#include "offline/report_progress.h"
#include "report/report_block.h"
#include "report/report_output.h"
#include "session/capture_file.h"

namespace {

// A block holds this many frames, or fewer once its captured bytes reach
// kBlockBytes: handing it over costs little next to decoding it, and the blocks
// in flight stay small whatever the file's size.
constexpr uint32_t kBlockFrames = 256;
constexpr size_t kBlockBytes = 256 * 1024;
// Blocks per decoding thread: one being decoded, one waiting for it, and the
// slack that lets the writer lag behind a slow block.
constexpr size_t kBlocksPerThread = 2;

// QUARN_REPORT_BLOCK_FRAMES (1 to kBlockFrames) makes blocks smaller, so that
// tests keep many of them in flight with a small capture.
uint32_t BlockFrames()
{
    const char* text = std::getenv("QUARN_REPORT_BLOCK_FRAMES");
    const long frames = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    return frames >= 1 && frames <= kBlockFrames ? static_cast<uint32_t>(frames) : kBlockFrames;
}

struct FrameEntry {
    size_t offset; // into Block::bytes
    uint32_t stored;
    CaptureTime time;
};

struct Block {
    uint32_t first = 0; // the number of its first frame
    std::vector<uint8_t> bytes;
    std::vector<FrameEntry> frames;
    std::string text;         // the frames' report lines
    std::vector<size_t> ends; // where each frame's lines end in text
    bool decoded = false;     // guarded by the pool's mutex
};

void Decode(Block& block)
{
    block.text.clear();
    block.ends.clear();
    CollectReportLines(&block.text);
    const std::span<const uint8_t> bytes(block.bytes);
    for (size_t i = 0; i < block.frames.size(); ++i) {
        const FrameEntry& frame = block.frames[i];
        WriteFrameBlock(bytes.subspan(frame.offset, frame.stored), frame.stored, frame.time,
                        block.first + static_cast<uint32_t>(i));
        block.ends.push_back(block.text.size());
    }
    CollectReportLines(nullptr);
}

// The decoding threads and the queue of blocks they take in turn.
class DecoderPool {
public:
    ~DecoderPool() { Stop(); }

    // False when not even one thread starts. The threads start with the
    // ending signals held and keep them blocked, so those signals always land
    // on the thread that creates, renames and removes the temporary.
    bool Start(uint32_t count)
    {
        const OutputSignalsHeld held;
        for (uint32_t i = 0; i < count; ++i) {
            try {
                threads_.emplace_back(&DecoderPool::Run, this);
            } catch (const std::system_error&) {
                break; // fewer threads do the same work
            }
        }
        return !threads_.empty();
    }

    void Submit(Block* block)
    {
        {
            const std::lock_guard lock(mutex_);
            block->decoded = false;
            queue_.push_back(block);
        }
        work_.notify_one();
    }

    // Waits until block is decoded, decoding queued blocks on the calling
    // thread meanwhile: the writing thread is one of the decoders, so no more
    // threads run than there are cores to run them.
    void WaitDecoded(Block* block)
    {
        std::unique_lock lock(mutex_);
        while (!block->decoded) {
            if (queue_.empty()) {
                decoded_.wait(lock);
                continue;
            }
            Block* next = Take();
            lock.unlock();
            Decode(*next);
            lock.lock();
            next->decoded = true;
        }
    }

    // Drop the blocks not yet taken, let the threads finish the ones they
    // hold and join them.
    void Stop()
    {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
            queue_.clear();
        }
        work_.notify_all();
        for (std::thread& thread : threads_)
            thread.join();
        threads_.clear();
    }

private:
    Block* Take()
    {
        Block* block = queue_.front();
        queue_.pop_front();
        return block;
    }

    void Run()
    {
        for (;;) {
            Block* block = nullptr;
            {
                std::unique_lock lock(mutex_);
                work_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
                if (stopping_)
                    return;
                block = Take();
            }
            Decode(*block);
            {
                const std::lock_guard lock(mutex_);
                block->decoded = true;
            }
            decoded_.notify_one(); // only the writing thread waits
        }
    }

    std::mutex mutex_;
    std::condition_variable work_, decoded_;
    std::deque<Block*> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Read frames into block until it is full; false at the end of the capture or
// at a frame that cannot be read (told in outcome).
bool Fill(pcap_t* capture, Block& block, uint32_t frames, uint32_t& number, BlocksOutcome& outcome)
{
    block.first = number;
    block.bytes.clear();
    block.frames.clear();
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    while (block.frames.size() < frames && block.bytes.size() < kBlockBytes) {
        const int status = pcap_next_ex(capture, &header, &bytes);
        if (status == PCAP_ERROR_BREAK)
            return false;
        if (status != 1) {
            outcome.end = BlocksOutcome::End::ReadFailed;
            outcome.frame = number;
            outcome.readProblem = pcap_geterr(capture);
            return false;
        }
        const uint32_t stored = StoredLength(*header);
        block.frames.push_back({block.bytes.size(), stored, FrameTime(*header)});
        block.bytes.insert(block.bytes.end(), bytes, bytes + stored);
        ++number;
        TickProgress(number);
    }
    return true;
}

// Hand a decoded block to the report output, telling landed where each of its
// frames ends; false when a write fails.
bool Write(const Block& block, LandedFrames& landed)
{
    const uint64_t start = ReportBytesTaken();
    WriteReportText(block.text);
    for (size_t i = 0; i < block.ends.size(); ++i)
        landed.Ended(block.first + static_cast<uint32_t>(i), start + block.ends[i]);
    return ReportOutputError() == 0;
}

} // namespace

BlocksOutcome WriteFrameBlocksInParallel(pcap_t* capture, uint32_t jobs, LandedFrames& landed)
{
    BlocksOutcome outcome;
    // Declared before the pool: its threads are joined before the blocks go.
    std::vector<Block> blocks(jobs * kBlocksPerThread + 2);
    DecoderPool pool;
    // The writing thread decodes too (WaitDecoded): jobs - 1 more threads.
    if (!pool.Start(jobs - 1)) {
        outcome.end = BlocksOutcome::End::NoThreads;
        return outcome;
    }
    const uint32_t frames = BlockFrames();
    std::vector<Block*> idle;
    for (Block& block : blocks) {
        block.bytes.reserve(kBlockBytes + kFrameBufferSize);
        idle.push_back(&block);
    }
    std::deque<Block*> inFlight; // in the capture's order
    uint32_t number = 0;
    bool reading = true;
    while (reading || !inFlight.empty()) {
        if (reading && !idle.empty()) {
            Block* block = idle.back();
            idle.pop_back();
            reading = Fill(capture, *block, frames, number, outcome);
            if (block->frames.empty()) {
                idle.push_back(block);
            } else {
                pool.Submit(block);
                inFlight.push_back(block);
            }
            continue;
        }
        Block* oldest = inFlight.front();
        inFlight.pop_front();
        pool.WaitDecoded(oldest);
        if (!Write(*oldest, landed)) {
            outcome.end = BlocksOutcome::End::WriteFailed;
            break; // nothing more would land
        }
        idle.push_back(oldest);
    }
    pool.Stop();
    return outcome;
}

uint32_t UsableCores()
{
    long cores = 0;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        cores = CPU_COUNT(&set);
    if (cores <= 0)
        cores = sysconf(_SC_NPROCESSORS_ONLN); // more CPUs than a cpu_set_t holds
    return static_cast<uint32_t>(std::clamp<long>(cores, 1, kMaxJobs));
}
