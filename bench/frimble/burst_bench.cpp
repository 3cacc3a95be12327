// A burst of back-to-back frames (64 bytes unless told otherwise) on a veth
// pair, captured at the same time by the packet library (16 posted receives,
// drained as fast as waits complete) and by `tcpdump -i IF -w /dev/null`.
// Prints frames sent, captured and lost for both. Needs root (namespaces).
//
//   bench_frimble_burst [FRAMES [SIZE]]      default 100000 frames of 64 bytes
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "frimble/frimble.h"
#include "tests/support/live_net.h"

namespace {

using quarn::test::LiveNet;
using Clock = std::chrono::steady_clock;

constexpr size_t kMaxFrame = 1514;
constexpr int kRing = 16;
constexpr uint32_t kBufferSize = 1514;
constexpr uint8_t kEtherType[2] = {0x88, 0xB5};

struct Tcpdump {
    pid_t pid = -1;
    std::string errorFile;
};

bool StartTcpdump(const LiveNet& net, Tcpdump& dump)
{
    dump.errorFile = "/tmp/frimble-bench-tcpdump-" + std::to_string(getpid()) + ".txt";
    dump.pid = fork();
    if (dump.pid == 0) {
        if (freopen(dump.errorFile.c_str(), "w", stderr) == nullptr)
            _exit(127);
        execlp("ip", "ip", "netns", "exec", net.CaptureNamespace().c_str(), "tcpdump", "-n", "-i",
               net.CaptureInterface().c_str(), "-w", "/dev/null", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (dump.pid < 0)
        return false;
    // Ready once it says it is listening.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        std::string text = quarn::test::CommandOutput("cat " + dump.errorFile);
        if (text.find("listening on") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Stops tcpdump and reads its summary: frames captured and dropped by the kernel.
void StopTcpdump(Tcpdump& dump, long& captured, long& dropped)
{
    kill(dump.pid, SIGINT);
    int status = 0;
    waitpid(dump.pid, &status, 0);
    const std::string text = quarn::test::CommandOutput("cat " + dump.errorFile);
    std::remove(dump.errorFile.c_str());
    std::smatch m;
    captured = std::regex_search(text, m, std::regex("([0-9]+) packets? captured")) ? std::stol(m[1]) : -1;
    dropped = std::regex_search(text, m, std::regex("([0-9]+) packets? dropped by kernel")) ? std::stol(m[1]) : -1;
}

// Sends count frames from the peer end with sendmmsg; returns the frames sent.
long SendBurst(const LiveNet& net, long count, size_t size)
{
    constexpr int kBatch = 256;
    std::vector<std::array<uint8_t, kMaxFrame>> frames(kBatch);
    std::array<iovec, kBatch> iov{};
    std::array<mmsghdr, kBatch> messages{};
    long sent = 0;
    while (sent < count) {
        const int batch = static_cast<int>(std::min<long>(kBatch, count - sent));
        for (int i = 0; i < batch; ++i) {
            auto& f = frames[i];
            f.fill(0);
            std::memcpy(f.data(), net.CaptureMac().data(), 6);
            std::memcpy(f.data() + 6, net.PeerMac().data(), 6);
            std::memcpy(f.data() + 12, kEtherType, 2);
            const uint32_t sequence = static_cast<uint32_t>(sent + i);
            std::memcpy(f.data() + 14, &sequence, sizeof sequence);
            iov[i] = {f.data(), size};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &iov[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int n = sendmmsg(net.PeerSocket(), messages.data(), batch, 0);
        if (n <= 0) {
            if (errno == ENOBUFS || errno == EAGAIN) {
                std::this_thread::yield();
                continue;
            }
            break;
        }
        sent += n;
    }
    return sent;
}

struct ReaderResult {
    long captured = 0;   // burst frames received
    long outOfOrder = 0; // burst frames whose sequence went backwards
    double cpuSeconds = 0;
};

double ThreadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Serves the 16 receives in ring order, as the capture thread does, until stopped.
void Drain(AdapterObject* adapter, std::array<PacketObject*, kRing>& ring, size_t size, const std::atomic<bool>& stop,
           ReaderResult& result)
{
    const double cpuStart = ThreadCpuSeconds();
    long lastSequence = -1;
    for (int i = 0; !stop.load(std::memory_order_relaxed); i = (i + 1) % kRing) {
        uint32_t count = 0;
        if (PacketWaitPacket(adapter, ring[i], &count)) {
            const auto* bytes = static_cast<const uint8_t*>(ring[i]->Buffer);
            if (count == size && std::memcmp(bytes + 12, kEtherType, 2) == 0) {
                uint32_t sequence;
                std::memcpy(&sequence, bytes + 14, sizeof sequence);
                result.outOfOrder += long(sequence) < lastSequence;
                lastSequence = sequence;
                ++result.captured;
            }
        }
        PacketReceivePacket(adapter, ring[i], false, nullptr);
    }
    result.cpuSeconds = ThreadCpuSeconds() - cpuStart;
}

} // namespace

int main(int argc, char** argv)
{
    const long frames = argc > 1 ? std::atol(argv[1]) : 100000;
    const size_t size = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 64;
    if (frames <= 0 || size < 60 || size > kMaxFrame) {
        std::fprintf(stderr, "usage: %s [FRAMES [SIZE 60..1514]]\n", argv[0]);
        return 2;
    }
    if (auto why = quarn::test::LiveUnavailable()) {
        std::fprintf(stderr, "%s\n", why->c_str());
        return 2;
    }
    LiveNet net;
    if (!net.Ready()) {
        std::fprintf(stderr, "veth pair: %s\n", net.Error().c_str());
        return 2;
    }
    Tcpdump dump;
    if (!StartTcpdump(net, dump)) {
        std::fprintf(stderr, "tcpdump did not start\n");
        return 2;
    }

    AdapterObject* adapter = PacketOpenAdapter(net.AdapterName().c_str());
    if (adapter == nullptr || !PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS)) {
        std::fprintf(stderr, "cannot open %s\n", net.AdapterName().c_str());
        return 2;
    }
    std::array<PacketObject*, kRing> ring{};
    std::vector<std::array<uint8_t, kBufferSize>> buffers(kRing);
    for (int i = 0; i < kRing; ++i) {
        ring[i] = PacketAllocatePacket();
        PacketInitPacket(ring[i], buffers[i].data(), kBufferSize);
        PacketReceivePacket(adapter, ring[i], false, nullptr);
    }
    std::atomic<bool> stop{false};
    ReaderResult reader;
    std::thread drain([&] { Drain(adapter, ring, size, stop, reader); });

    const auto start = Clock::now();
    const long sent = SendBurst(net, frames, size);
    const double sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::seconds(1)); // both capturers catch up

    stop = true;
    PacketResetAdapter(adapter); // ends the wait the reader is in
    drain.join();
    PacketCloseAdapter(adapter);
    for (PacketObject* p : ring)
        PacketFreePacket(p);
    long dumpCaptured = -1, dumpDropped = -1;
    StopTcpdump(dump, dumpCaptured, dumpDropped);

    const long frimbleLost = sent - reader.captured;
    const long dumpLost = dumpCaptured < 0 ? -1 : sent - dumpCaptured;
    std::printf("burst: %ld frames of %zu bytes sent in %.3f s (%.0f frames/s)\n", sent, size, sendSeconds,
                sendSeconds > 0 ? double(sent) / sendSeconds : 0.0);
    std::printf("%-8s %10s %10s %10s %14s\n", "capturer", "sent", "captured", "lost", "extra");
    std::printf("%-8s %10ld %10ld %10ld %8ld order, %.3f us CPU/frame\n", "frimble", sent, reader.captured, frimbleLost,
                reader.outOfOrder, reader.captured > 0 ? reader.cpuSeconds * 1e6 / double(reader.captured) : 0.0);
    std::printf("%-8s %10ld %10ld %10ld %8ld dropped by kernel\n", "tcpdump", sent, dumpCaptured, dumpLost,
                dumpDropped);
    const bool ok = dumpCaptured >= 0 && frimbleLost <= dumpLost && reader.outOfOrder == 0;
    std::printf("%s\n", ok ? "frimble lost no more than tcpdump" : "FAIL: frimble lost more than tcpdump");
    return ok ? 0 : 1;
}
