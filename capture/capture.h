// The capture: 16 receives kept outstanding on the bound adapter, and one
// capture thread that serves them strictly in ring order, asks the frame filter
// about each frame and moves every kept frame into the session buffer by
// exchanging buffer pointers.
//
// A capture ends when the operator stops it, or by itself when a session-mode
// buffer is full. Either way exactly one of them ends it: the adapter is
// reopened (ending the outstanding receives), the receive packets and their
// buffers are freed, the status line returns to idle and the session controls
// are enabled. Stop is cooperative: the thread is woken, stops at a safe point
// and is joined before anything is freed.
#pragma once

#include <cstdint>

#include "frimble/frimble.h"

inline constexpr int kReceiveRingSize = 16;

// Start a capture on the bound adapter into the (already allocated) session
// buffer. Returns false, changing nothing, when no adapter is bound, no session
// buffer is allocated or the receive ring cannot be allocated.
bool StartCapture();
// End the running capture (only call while IsCapturing()); returns when the
// capture thread has been joined, within about 100 ms even without traffic.
void StopCapture();
// True from StartCapture until the capture has ended (by Stop or by itself).
bool IsCapturing();
// Wait until a capture that ends by itself has finished its end (tests, exit);
// user-interface thread only, and only for a capture that will end by itself.
void WaitCaptureEnd();

// The received-frames counter: frames kept since the last reset.
void CountFrame();
void ResetFrameCounter();
int32_t FrameCounter();

// The byte count of the last completed receive of the ring.
uint32_t ReceivedLength();
