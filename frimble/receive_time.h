// When the frame of a completed receive reached the interface. The kernel
// stamps every frame as it places it in the ring, so the capture need not read
// the clock once more per frame, and the stamp is the truer moment: it does
// not move with the time the frame waited in the ring. Not part of the C
// interface (frimble.h stays as it is); the shared library exports it under
// its C++ name.
#pragma once

#include <ctime>

#include "frimble/frimble.h"

namespace frimble {

// The kernel's time stamp (realtime clock) of the frame that the packet's last
// receive completed with. Read it after a wait that returned 1 and before the
// packet is posted again, on the thread that waited. False, leaving `moment`
// alone, when the packet's last operation was no completed receive.
__attribute__((visibility("default"))) bool ReceiveTime(const PacketObject* packet, timespec& moment);

} // namespace frimble
