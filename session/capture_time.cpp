#include "session/capture_time.h"

#include <atomic>

namespace {

// The UTC offset of the last second converted, packed with that second into
// one word so every thread reads a matching pair: the second in the high bits,
// the offset plus kOffsetBias in the low kOffsetBits. Zero never matches (it
// would mean an offset of -kOffsetBias seconds, beyond any time zone).
constexpr int kOffsetBits = 20;
constexpr int64_t kOffsetBias = int64_t{1} << (kOffsetBits - 1);
constexpr uint64_t kOffsetMask = (uint64_t{1} << kOffsetBits) - 1;
std::atomic<uint64_t> cachedOffset{0};

uint64_t Pack(time_t second, int64_t offset)
{
    return (static_cast<uint64_t>(second) << kOffsetBits) | (static_cast<uint64_t>(offset + kOffsetBias) & kOffsetMask);
}

// Seconds east of UTC in force at `second`, looked up only when the second
// differs from the cached one.
int64_t UtcOffsetAt(time_t second)
{
    const uint64_t cached = cachedOffset.load(std::memory_order_relaxed);
    if (cached != 0 && static_cast<time_t>(static_cast<int64_t>(cached) >> kOffsetBits) == second)
        return static_cast<int64_t>(cached & kOffsetMask) - kOffsetBias;
    tm local{};
    int64_t offset = 0;
    if (localtime_r(&second, &local))
        offset = local.tm_gmtoff;
    if (offset > -kOffsetBias && offset < kOffsetBias)
        cachedOffset.store(Pack(second, offset), std::memory_order_relaxed);
    return offset;
}

} // namespace

CaptureTime LocalCaptureTime(const timespec& when)
{
    // Normalise a nanosecond field outside 0..999999999 into the seconds.
    time_t second = when.tv_sec + when.tv_nsec / 1'000'000'000;
    long nanos = when.tv_nsec % 1'000'000'000;
    if (nanos < 0) {
        nanos += 1'000'000'000;
        --second;
    }
    constexpr int64_t kDay = 86400;
    int64_t ofDay = (static_cast<int64_t>(second) + UtcOffsetAt(second)) % kDay;
    if (ofDay < 0)
        ofDay += kDay;
    CaptureTime time;
    time.hour = static_cast<uint8_t>(ofDay / 3600);
    time.minute = static_cast<uint8_t>(ofDay / 60 % 60);
    time.second = static_cast<uint8_t>(ofDay % 60);
    time.hundredths = static_cast<uint8_t>(nanos / 10'000'000);
    return time;
}

CaptureTime LocalCaptureTimeNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return LocalCaptureTime(now);
}
