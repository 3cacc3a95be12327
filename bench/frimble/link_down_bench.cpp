// What a wait costs while the link is down: one receive posted on the capture
// end of a veth pair and waited for on another thread, then the processor time
// of the whole process over SECONDS with the link down, again once it is back
// up, and with the interface deleted. Also shows that a frame sent after the
// link is back completes the same receive, and how soon a close ends a wait on
// the deleted interface. Needs root (namespaces).
//
//   bench_frimble_link_down [SECONDS]      default 2
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "frimble/frimble.h"
#include "tests/support/live_net.h"

namespace {

using quarn::test::LiveNet;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One wait on another thread; `result` is the byte count, -1 for a failed wait.
struct Waiter {
    Waiter(AdapterObject* adapter, PacketObject* packet)
        : thread([this, adapter, packet] {
              uint32_t count = 0;
              result = PacketWaitPacket(adapter, packet, &count) ? int64_t(count) : -1;
              at = Clock::now();
              done = true;
          })
    {
        std::this_thread::sleep_for(milliseconds(50)); // inside the wait by now
    }
    std::atomic<bool> done{false};
    int64_t result = 0;
    Clock::time_point at;
    std::thread thread;
};

bool Eventually(const std::atomic<bool>& flag)
{
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!flag && Clock::now() < end)
        std::this_thread::sleep_for(milliseconds(1));
    return flag;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: %s [SECONDS]\n", argv[0]);
        return 2;
    }
    if (auto why = quarn::test::LiveUnavailable()) {
        std::fprintf(stderr, "%s\n", why->c_str());
        return 2;
    }
    LiveNet net;
    AdapterObject* adapter = net.Ready() ? PacketOpenAdapter(net.AdapterName().c_str()) : nullptr;
    if (adapter == nullptr || !PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS)) {
        std::fprintf(stderr, "cannot open the capture end: %s\n", net.Error().c_str());
        return 2;
    }
    std::vector<uint8_t> buffer(1514);
    PacketObject* packet = PacketAllocatePacket();
    PacketInitPacket(packet, buffer.data(), uint32_t(buffer.size()));
    const auto span = milliseconds(long(seconds * 1000));
    auto report = [&](const char* when) {
        const double cpu = quarn::test::CpuSecondsWhileSleeping(span);
        std::printf("%-28s %6.3f CPU s over %.1f s (%5.1f %%)\n", when, cpu, seconds, 100 * cpu / seconds);
        return cpu / seconds;
    };

    PacketReceivePacket(adapter, packet, 0, nullptr);
    auto waiter = std::make_unique<Waiter>(adapter, packet);
    bool ok = net.SetCaptureLink(false);
    double worst = report("link down, one wait:");
    ok = ok && net.SetCaptureLink(true);
    worst = std::max(worst, report("link back up, same wait:"));
    std::vector<uint8_t> frame(100, 0);
    std::copy(net.CaptureMac().begin(), net.CaptureMac().end(), frame.begin());
    ok = ok && net.Send(frame);
    const bool received = Eventually(waiter->done);
    if (!received)
        PacketResetAdapter(adapter);
    waiter->thread.join();
    std::printf("frame after the link is back: %s\n", received && waiter->result == 100 ? "received" : "NOT received");

    PacketReceivePacket(adapter, packet, 0, nullptr);
    waiter = std::make_unique<Waiter>(adapter, packet);
    ok = ok && net.DeleteCaptureInterface();
    worst = std::max(worst, report("interface deleted, one wait:"));
    const auto closedAt = Clock::now();
    PacketCloseAdapter(adapter);
    const bool ended = Eventually(waiter->done);
    if (ended)
        std::printf("close ended the wait in %.1f ms\n",
                    std::chrono::duration<double, std::milli>(waiter->at - closedAt).count());
    else
        std::printf("close did NOT end the wait\n");
    waiter->thread.join(); // ended, or the process would hang here: that is the finding
    PacketFreePacket(packet);
    if (!ok) {
        std::fprintf(stderr, "link changes failed: %s\n", net.Error().c_str());
        return 2;
    }
    return worst < 0.05 && received && waiter->result == -1 ? 0 : 1;
}
