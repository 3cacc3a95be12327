#include "fake_driver.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>

#include "capture/binding.h"
#include "frimble/frimble.h"

namespace {

struct Driver {
    std::mutex m;
    std::condition_variable cv;
    AdapterObject adapter{};
    bool bound = true;
    std::deque<std::vector<uint8_t>> wire;
    std::deque<PacketObject*> posted; // outstanding receives, in posting order
    std::set<PacketObject*> failed;   // ended by a reset or a close, not yet collected
    std::set<PacketObject*> alive;
    int allocations = 0;
    int failAt = 0;
    int reopens = 0;
    int violations = 0;

    // Ends every outstanding receive with a failure.
    void EndOutstanding()
    {
        failed.insert(posted.begin(), posted.end());
        posted.clear();
        cv.notify_all();
    }
};

Driver& D()
{
    static Driver driver;
    return driver;
}

} // namespace

namespace FakeDriver {

void Reset()
{
    Driver& d = D();
    std::lock_guard lock(d.m);
    d.bound = true;
    d.wire.clear();
    d.posted.clear();
    d.failed.clear();
    d.allocations = d.failAt = d.reopens = d.violations = 0;
}

void SetBound(bool bound)
{
    std::lock_guard lock(D().m);
    D().bound = bound;
}

void FailPacketAllocationAt(int call)
{
    std::lock_guard lock(D().m);
    D().allocations = 0;
    D().failAt = call;
}

void PutOnWire(std::vector<uint8_t> frame)
{
    std::lock_guard lock(D().m);
    D().wire.push_back(std::move(frame));
    D().cv.notify_all();
}

void ClearWire()
{
    std::lock_guard lock(D().m);
    D().wire.clear();
}

int Reopens()
{
    std::lock_guard lock(D().m);
    return D().reopens;
}

int Violations()
{
    std::lock_guard lock(D().m);
    return D().violations;
}

int PacketsAlive()
{
    std::lock_guard lock(D().m);
    return static_cast<int>(D().alive.size());
}

} // namespace FakeDriver

AdapterObject* BoundAdapter()
{
    std::lock_guard lock(D().m);
    return D().bound ? &D().adapter : nullptr;
}

void ReopenAdapter()
{
    Driver& d = D();
    std::lock_guard lock(d.m);
    ++d.reopens;
    d.EndOutstanding();
}

extern "C" {

PacketObject* PacketAllocatePacket(void)
{
    Driver& d = D();
    std::lock_guard lock(d.m);
    if (++d.allocations == d.failAt)
        return nullptr;
    auto* packet = new PacketObject{};
    d.alive.insert(packet);
    return packet;
}

void PacketFreePacket(PacketObject* packet)
{
    Driver& d = D();
    std::lock_guard lock(d.m);
    if (std::find(d.posted.begin(), d.posted.end(), packet) != d.posted.end() || !d.alive.count(packet))
        ++d.violations;
    d.failed.erase(packet);
    d.alive.erase(packet);
    delete packet;
}

void PacketInitPacket(PacketObject* packet, void* buffer, uint32_t length)
{
    packet->Buffer = buffer;
    packet->Length = length;
}

int PacketReceivePacket(AdapterObject* adapter, PacketObject* packet, int, uint32_t*)
{
    Driver& d = D();
    std::lock_guard lock(d.m);
    if (adapter != &d.adapter || !packet->Buffer
        || std::find(d.posted.begin(), d.posted.end(), packet) != d.posted.end())
        ++d.violations;
    d.failed.erase(packet);
    d.posted.push_back(packet);
    d.cv.notify_all();
    return 1;
}

int PacketWaitPacket(AdapterObject*, PacketObject* packet, uint32_t* bytes)
{
    Driver& d = D();
    std::unique_lock lock(d.m);
    const bool outstanding = std::find(d.posted.begin(), d.posted.end(), packet) != d.posted.end();
    if (!outstanding && !d.failed.count(packet)) {
        ++d.violations; // a wait that would block for ever
        return 0;
    }
    d.cv.wait(lock, [&] { return d.failed.count(packet) || (d.posted.front() == packet && !d.wire.empty()); });
    if (d.failed.erase(packet))
        return 0;
    const std::vector<uint8_t>& frame = d.wire.front();
    const auto n = static_cast<uint32_t>(std::min<size_t>(frame.size(), packet->Length));
    std::memcpy(packet->Buffer, frame.data(), n);
    *bytes = n;
    d.wire.pop_front();
    d.posted.pop_front();
    return 1;
}

int PacketResetAdapter(AdapterObject*)
{
    std::lock_guard lock(D().m);
    D().EndOutstanding();
    return 1;
}

} // extern "C"
