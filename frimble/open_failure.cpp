#include "frimble/open_failure.h"

#include <cstdio>
#include <cstring>

namespace frimble {
namespace {
// A fixed buffer: recording a failure must not itself fail for want of memory.
thread_local char lastFailure[256];
} // namespace

std::string LastOpenFailure() { return lastFailure; }

void SetOpenFailure(const char* step, int error)
{
    if (error != 0)
        std::snprintf(lastFailure, sizeof lastFailure, "%s: %s", step, std::strerror(error));
    else
        std::snprintf(lastFailure, sizeof lastFailure, "%s", step);
}

void ClearOpenFailure() { lastFailure[0] = '\0'; }

} // namespace frimble
