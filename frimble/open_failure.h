// Why an adapter could not be opened. PacketOpenAdapter keeps the reason of
// its last failure for the calling thread, so that the programs built on the
// library can tell an operator what went wrong. It is not part of the C
// interface (frimble.h stays as it is); the shared library exports it under
// its C++ name.
#pragma once

#include <string>

namespace frimble {

// The calling thread's last failed PacketOpenAdapter: the step that failed and
// the system's reason, for instance "cannot open a packet socket: Operation
// not permitted". Empty when that thread's last open succeeded (or none ran).
__attribute__((visibility("default"))) std::string LastOpenFailure();

// Used by PacketOpenAdapter: record a failed step (with errno's text when
// error is not 0), or forget the last failure.
void SetOpenFailure(const char* step, int error);
void ClearOpenFailure();

} // namespace frimble
