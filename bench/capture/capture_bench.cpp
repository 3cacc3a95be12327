// The whole capture path, headless, side by side with tcpdump on the same
// traffic: a generator on core 0 sends frames at increasing rates through a
// veth pair; our capture (continuous mode) and tcpdump -w /dev/null both listen
// on the capture end, pinned to core 1. Then one burst of 5,000 full-size
// frames into a session-mode buffer of 5,000, and 20 Stops timed one by one.
// Needs root (namespaces).
//
// Usage: capture_bench [--quick] [--row N]   (--row: only row N, from 1; no Stops)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <thread>
#include <vector>

#include "app/status.h"
#include "capture/binding.h"
#include "capture/capture.h"
#include "capture/capture_counts.h"
#include "lab.h"
#include "session/session_buffer.h"

namespace {

using namespace std::chrono_literals;

constexpr int kGeneratorCore = 0;
constexpr int kCapturerCore = 1;
constexpr uint32_t kContinuousSlots = 5000;
constexpr auto kTcpdumpBlockTimeout = 1500ms;
constexpr int kTimedStops = 20;
constexpr uint64_t kFramesBeforeStop = 2000;
constexpr double kStopTargetMs = 15;

class QuietLabels : public AdapterLabels {
public:
    void SetAdapterName(std::string_view) override {}
    void SetAdapterAddress(std::string_view) override {}
};

// Every thread of this process, those that have ended included, to the nanosecond.
double OwnCpuSeconds()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

double MicrosecondsPerFrame(double seconds, int64_t frames)
{
    return frames > 0 ? seconds * 1e6 / static_cast<double>(frames) : 0.0;
}

// Wait until our counter has stood still for a while: the generator is done,
// so what is still in the receive queues drains within that time.
void WaitForDrain()
{
    int32_t last = -1;
    for (int still = 0; still < 3;) {
        std::this_thread::sleep_for(100ms);
        const int32_t now = FrameCounter();
        still = now == last ? still + 1 : 0;
        last = now;
    }
}

struct Row {
    const char* what;
    uint32_t size;
    uint64_t rate; // 0: full speed
    uint64_t count;
    bool session;
};

void PrintHeader()
{
    std::printf("%-10s %5s %12s | %9s | %9s %9s %9s %8s %8s %8s | %9s %9s %8s %8s\n", "mode", "bytes", "sent/s",
                "offered", "kept", "lost", "counted", "cpu s", "us/frame", "stop ms", "tcpd kept", "tcpd lost", "cpu s",
                "us/frame");
}

// Runs one row and prints it; false when a capturer failed to run or ours lost
// more than tcpdump (or anything at all of the session burst).
bool RunRow(const CaptureLab::LiveNet& net, const Row& row)
{
    // tcpdump first: forking this process marks its memory copy-on-write,
    // and the capture would then take a fault at the first write to every
    // page of a buffer made before the fork. The analyzer never forks.
    CaptureLab::Tcpdump dump;
    if (!CaptureLab::StartTcpdump(net, kCapturerCore, dump)) {
        std::fprintf(stderr, "tcpdump did not start\n");
        return false;
    }
    SessionBuffer::FreeAll();
    if (!SessionBuffer::Allocate(row.session ? static_cast<uint32_t>(row.count) : kContinuousSlots, !row.session)) {
        CaptureLab::StopTcpdump(dump);
        return false;
    }
    const double cpu0 = OwnCpuSeconds();
    if (!StartCapture()) {
        std::fprintf(stderr, "capture did not start\n");
        CaptureLab::StopTcpdump(dump);
        return false;
    }
    double sendSeconds = 0;
    const uint64_t offered = CaptureLab::RunGenerator(net, row.size, row.rate, row.count, sendSeconds);
    const auto sent = std::chrono::steady_clock::now();
    WaitForDrain();
    const auto stopBegin = std::chrono::steady_clock::now();
    if (IsCapturing())
        StopCapture();
    WaitCaptureEnd();
    const double stopMs
        = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopBegin).count();
    const double cpu = OwnCpuSeconds() - cpu0;
    const uint64_t kept = row.session ? SessionBuffer::Count() : static_cast<uint64_t>(FrameCounter());
    // What the capture itself counted lost; with both filter slots off it
    // must be what was offered and not kept.
    const uint64_t counted = CurrentCaptureCounts().lost;
    // tcpdump hands a part-filled ring block to user space only when the
    // block's timeout (one second) runs out; stopping it earlier would count
    // the frames still in that block as lost.
    std::this_thread::sleep_until(sent + kTcpdumpBlockTimeout);
    const double dumpCpu = CaptureLab::TcpdumpCpuSeconds(dump);
    const int64_t dumpKept = CaptureLab::StopTcpdump(dump);

    auto lost = [offered](int64_t k) { return static_cast<int64_t>(offered) - k; };
    // The rate the generator reached; "full" rows are unpaced.
    char rate[32];
    std::snprintf(rate, sizeof rate, "%s%.0f", row.rate ? "" : "full ",
                  sendSeconds > 0 ? static_cast<double>(offered) / sendSeconds : 0.0);
    std::printf("%-10s %5u %12s | %9llu | %9llu %9lld %9llu %8.3f %8.3f %8.1f | %9lld %9lld %8.3f %8.3f\n", row.what,
                row.size, rate, static_cast<unsigned long long>(offered), static_cast<unsigned long long>(kept),
                static_cast<long long>(lost(static_cast<int64_t>(kept))), static_cast<unsigned long long>(counted), cpu,
                MicrosecondsPerFrame(cpu, static_cast<int64_t>(kept)), stopMs, static_cast<long long>(dumpKept),
                static_cast<long long>(lost(dumpKept)), dumpCpu, MicrosecondsPerFrame(dumpCpu, dumpKept));
    std::fflush(stdout);
    const int64_t ourLoss = lost(static_cast<int64_t>(kept));
    if (dumpKept < 0 || offered == 0)
        return false;
    return row.session ? ourLoss == 0 : ourLoss <= lost(dumpKept);
}

// Stops a capture of a few thousand frames, kTimedStops times, each timed
// from the call until StopCapture returns; prints the median and the spread.
// False when a capture did not start or the median misses the target.
bool TimeStops(const CaptureLab::LiveNet& net)
{
    std::vector<double> stops;
    for (int i = 0; i < kTimedStops; ++i) {
        SessionBuffer::FreeAll();
        if (!SessionBuffer::Allocate(kContinuousSlots, true) || !StartCapture())
            return false;
        double sendSeconds = 0;
        CaptureLab::RunGenerator(net, 64, 0, kFramesBeforeStop, sendSeconds);
        WaitForDrain();
        const auto begin = std::chrono::steady_clock::now();
        StopCapture();
        stops.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    }
    std::sort(stops.begin(), stops.end());
    const double median = (stops[kTimedStops / 2 - 1] + stops[kTimedStops / 2]) / 2;
    std::printf("Stop over %d captures: median %.1f ms, fastest %.1f ms, slowest %.1f ms (target: median <= %.0f ms)\n",
                kTimedStops, median, stops.front(), stops.back(), kStopTargetMs);
    return median <= kStopTargetMs;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--generate") == 0)
        return CaptureLab::GeneratorMain(argc - 2, argv + 2);
    bool quick = false;
    size_t onlyRow = 0; // from 1; 0: every row and the timed Stops
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--row") == 0 && i + 1 < argc) {
            onlyRow = std::strtoul(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: capture_bench [--quick] [--row N]\n");
            return 2;
        }
    }
    if (geteuid() != 0) {
        std::fprintf(stderr, "capture_bench needs root (it builds network namespaces)\n");
        return 1;
    }

    // Moves this thread into the capture namespace, where the capture end is
    // the only Ethernet interface.
    CaptureLab::LiveNet net;
    if (!net.Ready()) {
        std::fprintf(stderr, "could not build the veth pair: %s\n", net.Error().c_str());
        return 1;
    }
    // Before any thread exists, so the capture thread inherits both.
    CaptureLab::PinToCore(kCapturerCore);
    QuietLabels labels;
    int status = 1;
    if (BindAdapter(labels)) {
        const uint64_t scale = quick ? 10 : 1;
        const Row rows[] = {
            {"continuous", 64, 20'000, 20'000 / scale, false},   {"continuous", 64, 100'000, 100'000 / scale, false},
            {"continuous", 64, 300'000, 300'000 / scale, false}, {"continuous", 64, 0, 500'000 / scale, false},
            {"continuous", 1514, 20'000, 20'000 / scale, false}, {"continuous", 1514, 100'000, 100'000 / scale, false},
            {"continuous", 1514, 0, 200'000 / scale, false},     {"session", 1514, 0, 5'000, true},
        };
        const size_t rowCount = std::size(rows);
        if (onlyRow > rowCount) {
            std::fprintf(stderr, "there are %zu rows\n", rowCount);
            return 2;
        }
        PrintHeader();
        status = 0;
        for (size_t r = 0; r < rowCount; ++r)
            if ((onlyRow == 0 || onlyRow == r + 1) && !RunRow(net, rows[r]))
                status = 1;
        if (onlyRow == 0 && !TimeStops(net))
            status = 1;
        std::printf(status == 0 ? "target met: no more lost than tcpdump at any rate, none of the burst, quick Stops\n"
                                : "TARGET MISSED (or a capturer failed to run)\n");
        SessionBuffer::FreeAll();
        ReleaseAdapter();
    } else {
        std::fprintf(stderr, "no adapter in the capture namespace\n");
    }
    return status;
}
