// Capture times against the C library's own local-time conversion, across time
// zones with summer time, half-hour and quarter-hour offsets, and from two
// threads at once.
#include "session/capture_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <tuple>
#include <vector>

namespace {

std::tuple<int, int, int, int> Fields(const CaptureTime& t) { return {t.hour, t.minute, t.second, t.hundredths}; }

std::tuple<int, int, int, int> Expected(time_t second, long nanos)
{
    tm local{};
    localtime_r(&second, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(nanos / 10'000'000)};
}

void UseZone(const char* zone)
{
    setenv("TZ", zone, 1);
    tzset();
}

TEST(CaptureTime, MatchesLocalTimeInEveryZone)
{
    // Around the 2026 summer-time changes of both hemispheres, midnight, the
    // epoch and past 2038; neighbours differ, so each conversion is of a new second.
    std::vector<time_t> moments = {0, 1, 86399, 86400, 2'147'483'647, 4'102'444'800};
    for (time_t change : {1773558000, 1772960400, 1775318400, 1791345600, 1792981200, 1793512800})
        for (time_t delta = -7300; delta <= 7300; delta += 97)
            moments.push_back(change + delta);
    for (const char* zone : {"UTC", "America/New_York", "Europe/Berlin", "EST5EDT,M3.2.0,M11.1.0" /* no zone file */,
                             "Australia/Lord_Howe" /* half-hour summer time */, "Asia/Kathmandu" /* +5:45 */,
                             "Pacific/Chatham" /* +12:45/+13:45 */, "America/St_Johns" /* -3:30 */, "<-11>11"}) {
        SCOPED_TRACE(zone);
        UseZone(zone);
        LocalCaptureTime(timespec{123, 0}); // start on a second the previous zone did not end on
        for (time_t second : moments)
            EXPECT_EQ(Fields(LocalCaptureTime(timespec{second, 250'000'000})), Expected(second, 250'000'000))
                << "at " << second;
    }
}

TEST(CaptureTime, HundredthsAreRoundedDownAndNanosecondsCarry)
{
    UseZone("UTC");
    struct Case {
        time_t second;
        long nanos;
        std::tuple<int, int, int, int> want; // hour, minute, second, hundredths
    };
    const Case cases[] = {
        {3661, 0, {1, 1, 1, 0}},
        {3661, 9'999'999, {1, 1, 1, 0}},
        {3661, 10'000'000, {1, 1, 1, 1}},
        {3661, 505'000'000, {1, 1, 1, 50}},
        {3661, 999'999'999, {1, 1, 1, 99}},
        {3661, 1'500'000'000, {1, 1, 2, 50}}, // a whole second in the nanoseconds
        {3661, -250'000'000, {1, 1, 0, 75}},
        {86399, 990'000'000, {23, 59, 59, 99}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Fields(LocalCaptureTime(timespec{c.second, c.nanos})), c.want)
            << c.second << " s " << c.nanos << " ns";
}

// Two threads converting seconds on either side of a summer-time change share
// the one cache: neither may ever see the other's offset with its own second.
TEST(CaptureTime, ThreadsNeverMixTheirOffsets)
{
    UseZone("Europe/Berlin");
    auto convert = [](time_t base, int& wrong) {
        for (time_t i = 0; i < 20000; ++i) {
            const time_t second = base + i % 3600;
            wrong += Fields(LocalCaptureTime(timespec{second, 0})) != Expected(second, 0);
        }
    };
    int wrongWinter = 0, wrongSummer = 0;
    std::thread other(convert, 1782864000 /* 2026-07-01 */, std::ref(wrongSummer));
    convert(1767225600 /* 2026-01-01 */, wrongWinter);
    other.join();
    EXPECT_EQ(wrongWinter, 0);
    EXPECT_EQ(wrongSummer, 0);
}

} // namespace
