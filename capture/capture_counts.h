// What a capture did with the frames that reached the adapter: how many it
// received (handed up to the capture thread), kept, refused by the filters,
// and lost (never taken up by the capture thread: the receive ring was full,
// the frames came while it had no receive waiting, or they were still queued
// when the capture was stopped).
#pragma once

#include <cstdint>
#include <string>

struct CaptureCounts {
    uint64_t received = 0;
    uint64_t kept = 0;
    uint64_t refused = 0;
    uint64_t lost = 0;
    bool operator==(const CaptureCounts&) const = default;
};

// The running capture's counts, or the last capture's (exact once it has
// ended). Zero before the first capture and after the frame counter's reset.
// Any thread.
CaptureCounts CurrentCaptureCounts();

// "Received 1,204, kept 1,000, refused by the filters 204, lost 0".
std::string DescribeCaptureCounts(const CaptureCounts& counts);
// 1204 as "1,204": thousands separated by commas, whatever the locale.
std::string WithThousandsSeparators(uint64_t value);
