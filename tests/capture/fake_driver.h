// A stand-in for the packet library and the adapter binding, for driving the
// capture engine without a network: frames are put "on the wire" by the test,
// posted receives complete with them in posting order, and every misuse of the
// receive contract (a packet posted twice, waited on without a post, freed
// while its receive is outstanding) is counted as a violation.
#pragma once

#include <cstdint>
#include <vector>

namespace FakeDriver {

void Reset(); // bound adapter, empty wire, counters 0
void SetBound(bool bound);
void FailPacketAllocationAt(int call); // 1-based; 0: never
void PutOnWire(std::vector<uint8_t> frame);
void ClearWire();

int Reopens();
int Violations();
int PacketsAlive();

} // namespace FakeDriver
