// The frame blocks of a capture file decoded on several threads and written in
// the capture's order by the calling thread: the same bytes as one thread that
// decodes and writes frame after frame.
#pragma once

#include <cstdint>
#include <pcap/pcap.h>
#include <string>

class LandedFrames;

// The most decoding threads -j takes.
inline constexpr uint32_t kMaxJobs = 256;

struct BlocksOutcome {
    enum class End { Complete, ReadFailed, WriteFailed, NoThreads };
    End end = End::Complete;
    uint32_t frame = 0;      // where reading stopped
    std::string readProblem; // libpcap's words when reading failed
};

// Read every frame of capture, decode them on jobs threads and write their
// blocks to the report output in order, telling landed where each frame's
// lines end and ticking the progress line. Stops at the first frame that
// cannot be read (after writing the ones before it) or at the first failed
// write (ReportOutputError() tells why, landed where it stopped). NoThreads:
// no thread could be started and nothing was read.
BlocksOutcome WriteFrameBlocksInParallel(pcap_t* capture, uint32_t jobs, LandedFrames& landed);

// The cores this process may run on (at least 1, at most kMaxJobs).
uint32_t UsableCores();
