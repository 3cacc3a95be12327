#include "capture/capture.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "app/status.h"
#include "app/worker_threads.h"
#include "capture/binding.h"
#include "capture/capture_counts.h"
#include "filter/frame_filter.h"
#include "frimble/receive_time.h"
#include "session/capture_time.h"
#include "session/session_buffer.h"

namespace {

// Who owns what: the ring, the adapter pointer and the receive count belong to
// the user-interface thread until the capture thread is created, to the capture
// thread while it runs, and to whoever ends the capture once the thread has
// left its loop. Thread creation and join carry the hand-overs; the flags and
// the counter that other threads read meanwhile are atomics.
std::array<PacketObject*, kReceiveRingSize> g_ring{};
AdapterObject* g_adapter = nullptr;
uint32_t g_receiveCount = 0; // out-parameter of every receive and wait of the ring

std::atomic<bool> g_capturing{false};
std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_endClaimed{false}; // one end per capture: Stop's or the thread's
std::atomic<int32_t> g_frameCounter{0};
std::atomic<uint32_t> g_receivedLength{0};

// The capture's counts besides the frame counter (which counts the kept
// frames). Only the capture thread adds to them while it runs; other threads
// read them at any time. The lost count is the adapter's since the capture
// began: its counts at the start are kept while the capture runs.
std::atomic<uint64_t> g_received{0};
std::atomic<uint64_t> g_lost{0};
uint32_t g_lostAtStart = 0;
uint32_t g_handedUpAtStart = 0;

// Lets Stop wait for the thread to leave its loop while it keeps waking it,
// and wake the thread from a pause after failed waits.
std::mutex g_leftMutex;
std::condition_variable g_leftSignal;
std::condition_variable g_stopSignal;
bool g_threadLeft = false;

// The capture thread, touched only by the user-interface thread. A capture that
// ended by itself leaves its thread unjoined until the next Start or Stop, or
// the program's end (EndCaptureThread).
std::thread g_thread;

constexpr auto kWakeInterval = std::chrono::milliseconds(10);
// A wait that keeps failing without a stop request means a broken adapter (one
// reset gives a ring's worth of failures, and the next waits block again).
// After each ring's worth the thread pauses before posting again, twice as long
// each time up to a few wake-ups a second, so that a broken adapter costs no
// processor time. A received frame starts over; Stop cuts a pause short.
constexpr int kFailuresBeforePause = kReceiveRingSize;
constexpr auto kFirstFailurePause = std::chrono::milliseconds(1);
constexpr auto kLongestFailurePause = std::chrono::milliseconds(250);

void FreeRing()
{
    for (PacketObject*& packet : g_ring) {
        if (!packet)
            continue;
        FreeFrameBuffer(static_cast<uint8_t*>(packet->Buffer));
        PacketFreePacket(packet);
        packet = nullptr;
    }
}

// All or nothing: 16 packets, each with its own 1514-byte buffer.
bool AllocateRing()
{
    for (PacketObject*& packet : g_ring) {
        packet = PacketAllocatePacket();
        uint8_t* buffer = packet ? AllocateFrameBuffer() : nullptr;
        if (!buffer) {
            FreeRing();
            return false;
        }
        PacketInitPacket(packet, buffer, kFrameBufferSize);
    }
    return true;
}

void PostReceive(PacketObject* packet)
{
    g_receiveCount = 0;
    PacketReceivePacket(g_adapter, packet, 0, &g_receiveCount);
}

// One of the adapter's frame counts (32 bits; they wrap), or nothing when it
// gave none: OID_GEN_RCV_NO_BUFFER, the frames it lost (never handed up), or
// OID_GEN_RCV_OK, those it handed up to receives. Asked only by the thread
// that will close the adapter, or while no other thread can close it.
std::optional<uint32_t> AdapterCount(uint32_t oid)
{
    uint8_t record[12] = {};
    auto* request = reinterpret_cast<OidRequest*>(record);
    request->Oid = oid;
    request->Length = 4;
    if (PacketRequest(g_adapter, 0, request) == 0)
        return std::nullopt;
    return uint32_t{record[8]} | uint32_t{record[9]} << 8 | uint32_t{record[10]} << 16 | uint32_t{record[11]} << 24;
}

std::optional<uint32_t> AdapterLostCount() { return AdapterCount(OID_GEN_RCV_NO_BUFFER); }

// The capture's lost count: the adapter's losses since the capture began.
void SetLost(std::optional<uint32_t> adapterCount)
{
    if (adapterCount)
        g_lost.store(static_cast<uint32_t>(*adapterCount - g_lostAtStart), std::memory_order_relaxed);
}

// The capture's lost count at Stop, once the thread has left: the adapter's
// losses up to Stop (the frames still in its ring among them), and the frames
// it had handed up to receives that the thread never took.
void SetLostAtStop(std::optional<uint32_t> adapterLost, std::optional<uint32_t> handedUp)
{
    SetLost(adapterLost);
    if (!handedUp)
        return;
    const auto received = static_cast<uint32_t>(g_received.load(std::memory_order_relaxed));
    const uint32_t untaken = *handedUp - g_handedUpAtStart - received;
    // Never more than the ring holds; anything else is a count that wrapped
    // unseen or an adapter that answered nonsense.
    if (untaken <= kReceiveRingSize)
        g_lost.fetch_add(untaken, std::memory_order_relaxed);
}

// The adapter's count changes only when frames pour in faster than the thread
// takes them (a full ring) and then at least a ring's worth of frames follows,
// so asking every so many received frames keeps it current without a system
// call per frame.
constexpr uint64_t kLostRefreshFrames = 256;

// The end of a capture, once the capture thread has left its loop: reopening
// the adapter ends the receives still outstanding, and only then are the ring's
// packets and the buffers they carry freed.
void FinishCapture()
{
    ReopenAdapter();
    FreeRing();
    g_adapter = nullptr;
    ShowCaptureStatus(false);
    ShowFrameCounter(FrameCounter());
    EnableSessionControls();
    g_capturing.store(false);
}

void RaiseOwnPriority()
{
    // Best effort: the highest scheduling share of the normal class. A
    // real-time class could starve the user interface of a small machine.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, tid, -20);
}

// Returns after `pause`, or at once when Stop asks the thread to end.
void PauseUnlessStopped(std::chrono::milliseconds pause)
{
    std::unique_lock lock(g_leftMutex);
    g_stopSignal.wait_for(lock, pause, [] { return g_stopRequested.load(std::memory_order_acquire); });
}

void SignalThreadLeft()
{
    std::lock_guard lock(g_leftMutex);
    g_threadLeft = true;
    g_leftSignal.notify_all();
}

// Keeps one kept frame: the packet's buffer goes into the current slot, and the
// slot's old buffer becomes the packet's. Returns false when a session-mode
// buffer has just been filled.
bool KeepFrame(PacketObject* packet, uint32_t length)
{
    uint8_t* spare = SessionBuffer::CurrentFrame();
    // The moment the frame arrived, as the kernel stamped it; the clock only
    // when the library has no stamp.
    timespec moment{};
    if (!frimble::ReceiveTime(packet, moment))
        clock_gettime(CLOCK_REALTIME, &moment);
    SessionBuffer::Store(static_cast<uint8_t*>(packet->Buffer), length, LocalCaptureTime(moment), moment);
    packet->Buffer = spare;
    CountFrame();
    return SessionBuffer::Advance();
}

void CaptureThread()
{
    // Found by name in top, ps and perf.
    (void)pthread_setname_np(pthread_self(), "capture");
    RaiseOwnPriority();
    int failures = 0;
    auto pause = kFirstFailurePause;
    for (int i = 0;; i = (i + 1) % kReceiveRingSize) {
        PacketObject* packet = g_ring[static_cast<size_t>(i)];
        const bool received = PacketWaitPacket(g_adapter, packet, &g_receiveCount) != 0;
        if (!received && ++failures >= kFailuresBeforePause) {
            failures = 0;
            PauseUnlessStopped(pause);
            pause = std::min(pause * 2, kLongestFailurePause);
        }
        // Safe point: every buffer is owned by exactly one packet or slot here.
        if (g_stopRequested.load(std::memory_order_acquire))
            break;
        if (received) {
            failures = 0;
            pause = kFirstFailurePause;
            const uint32_t length = g_receiveCount;
            g_receivedLength.store(length, std::memory_order_relaxed);
            // One writer: a plain add, no locked instruction per frame.
            const uint64_t received = g_received.load(std::memory_order_relaxed) + 1;
            g_received.store(received, std::memory_order_relaxed);
            if (received % kLostRefreshFrames == 0)
                SetLost(AdapterLostCount());
            if (AcceptFrame(static_cast<const uint8_t*>(packet->Buffer)) && !KeepFrame(packet, length)) {
                // The session buffer is full: this thread ends the capture,
                // unless Stop has already claimed that end.
                bool expected = false;
                if (g_endClaimed.compare_exchange_strong(expected, true)) {
                    SetLost(AdapterLostCount());
                    FinishCapture();
                }
                break;
            }
        }
        PostReceive(packet);
    }
    SignalThreadLeft();
}

void JoinCaptureThread()
{
    if (g_thread.joinable())
        g_thread.join();
}

// At the program's end: a capture still running is stopped as Stop stops it.
void EndCaptureThread()
{
    if (IsCapturing())
        StopCapture();
    JoinCaptureThread();
}

} // namespace

bool StartCapture()
{
    // A thread that ended its capture by itself may still be returning.
    JoinCaptureThread();
    // Without slots there is no spare buffer to swap in for a kept frame.
    if (g_capturing.load() || !BoundAdapter() || SessionBuffer::Capacity() == 0)
        return false;
    if (!AllocateRing())
        return false;
    g_adapter = BoundAdapter();
    RegisterWorkerEnd(EndCaptureThread);

    ShowCaptureStatus(true);
    ResetFrameCounter();
    SessionBuffer::ClearCount();
    SessionBuffer::Rewind();
    for (PacketObject* packet : g_ring)
        PostReceive(packet);
    // Frames that arrived before the capture were dropped by the first post:
    // they are the adapter's losses, not the capture's.
    g_lostAtStart = AdapterLostCount().value_or(0);
    g_handedUpAtStart = AdapterCount(OID_GEN_RCV_OK).value_or(0);

    g_stopRequested.store(false);
    g_endClaimed.store(false);
    g_threadLeft = false;
    // Raised before the thread exists, so a second Start is refused at once.
    g_capturing.store(true);
    try {
        g_thread = std::thread(CaptureThread);
    } catch (const std::system_error&) {
        g_endClaimed.store(true);
        FinishCapture();
        return false;
    }
    return true;
}

void StopCapture()
{
    if (!g_thread.joinable())
        return;
    bool expected = false;
    if (!g_endClaimed.compare_exchange_strong(expected, true)) {
        // The thread is ending the capture itself; wait for that end.
        JoinCaptureThread();
        return;
    }
    g_stopRequested.store(true, std::memory_order_release);
    // Resetting the adapter completes every outstanding receive with a failure
    // and forgets the frames still queued in its ring, which counts them lost.
    // The capture ends at this first reset: what the adapter has handed up or
    // lost by now is the capture's, and frames forgotten by later resets came
    // after Stop. The thread may still refresh the count meanwhile; these
    // values are put back once it has left.
    PacketResetAdapter(g_adapter);
    const std::optional<uint32_t> lostAtStop = AdapterLostCount();
    const std::optional<uint32_t> handedUpAtStop = AdapterCount(OID_GEN_RCV_OK);
    {
        // Reset again until the thread has seen the request, since a receive
        // it posts after one reset is not touched by that reset.
        std::unique_lock lock(g_leftMutex);
        g_stopSignal.notify_all();
        while (!g_leftSignal.wait_for(lock, kWakeInterval, [] { return g_threadLeft; }))
            PacketResetAdapter(g_adapter);
    }
    JoinCaptureThread();
    SetLostAtStop(lostAtStop, handedUpAtStop);
    FinishCapture();
}

bool IsCapturing() { return g_capturing.load(); }

void WaitCaptureEnd() { JoinCaptureThread(); }

// One writer at a time (the capture thread while it runs, the user-interface
// thread's reset otherwise): a plain add, no locked instruction per frame.
void CountFrame()
{
    g_frameCounter.store(g_frameCounter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

void ResetFrameCounter()
{
    g_frameCounter.store(0, std::memory_order_relaxed);
    g_received.store(0, std::memory_order_relaxed);
    g_lost.store(0, std::memory_order_relaxed);
    ShowFrameCounter(0);
}

CaptureCounts CurrentCaptureCounts()
{
    CaptureCounts counts;
    // Read while the thread counts, the two may be a frame apart: never
    // fewer received than kept. Exact once the capture has ended.
    counts.kept = static_cast<uint32_t>(g_frameCounter.load(std::memory_order_relaxed));
    counts.received = std::max(g_received.load(std::memory_order_relaxed), counts.kept);
    counts.refused = counts.received - counts.kept;
    counts.lost = g_lost.load(std::memory_order_relaxed);
    return counts;
}

int32_t FrameCounter() { return g_frameCounter.load(std::memory_order_relaxed); }

uint32_t ReceivedLength() { return g_receivedLength.load(std::memory_order_relaxed); }
