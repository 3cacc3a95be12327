// Capture times against the C library's own local-time conversion, across time
// zones with summer time, half-hour and quarter-hour offsets, and from two
// threads at once.
#include "session/capture_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

CaptureTime Expected(time_t second, long nanos) {
    tm local{};
    localtime_r(&second, &local);
    CaptureTime time;
    time.hour = static_cast<uint8_t>(local.tm_hour);
    time.minute = static_cast<uint8_t>(local.tm_min);
    time.second = static_cast<uint8_t>(local.tm_sec);
    time.hundredths = static_cast<uint8_t>(nanos / 1'000'000 / 10);
    return time;
}

void ExpectSame(const CaptureTime& got, const CaptureTime& want, time_t second) {
    EXPECT_EQ(got.hour, want.hour) << "at " << second;
    EXPECT_EQ(got.minute, want.minute) << "at " << second;
    EXPECT_EQ(got.second, want.second) << "at " << second;
    EXPECT_EQ(got.hundredths, want.hundredths) << "at " << second;
}

// Sets TZ for one test and puts the old value back.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        hadOld_ = std::getenv("TZ") != nullptr;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool hadOld_ = false;
};

// Moments around the 2026 summer-time changes of the zones below (both
// hemispheres), midnight, the epoch and a date past 2038. Neighbours in the
// list differ, so each conversion is of a new second, as when frames arrive.
std::vector<time_t> Moments() {
    std::vector<time_t> moments = {0, 1, 86399, 86400, 2'147'483'647, 4'102'444'800};
    const time_t changes[] = {
        1773558000, // 2026-03-15 07:00 UTC: North America moves forward on 8 March; around it
        1772960400, // 2026-03-08 09:00 UTC
        1775318400, // 2026-04-04 16:00 UTC: southern summer time ends
        1791345600, // 2026-10-07 04:00 UTC
        1792981200, // 2026-10-25 01:00 UTC: Europe moves back
        1793512800, // 2026-11-01 06:00 UTC: North America moves back
    };
    for (time_t change : changes)
        for (time_t delta = -7300; delta <= 7300; delta += 97)
            moments.push_back(change + delta);
    return moments;
}

TEST(CaptureTime, MatchesLocalTimeInEveryZone) {
    const char* zones[] = {
        "UTC",
        "America/New_York",
        "Europe/Berlin",
        "Australia/Lord_Howe", // half-hour summer time
        "Asia/Kathmandu",      // +5:45
        "Pacific/Chatham",     // +12:45 / +13:45
        "America/St_Johns",    // -3:30 with summer time
        "EST5EDT,M3.2.0,M11.1.0", // a rule given in place, no zone file
        "<-11>11",
    };
    const std::vector<time_t> moments = Moments();
    for (const char* zone : zones) {
        SCOPED_TRACE(zone);
        TimeZone tz(zone);
        // Start each zone on a second the previous zone did not end on.
        LocalCaptureTime(timespec{123, 0});
        for (time_t second : moments)
            ExpectSame(LocalCaptureTime(timespec{second, 250'000'000}), Expected(second, 250'000'000), second);
    }
}

TEST(CaptureTime, HundredthsAreMillisecondsTenthsRoundedDownAndNanosecondsCarry) {
    TimeZone tz("UTC");
    struct Case {
        time_t second;
        long nanos;
        CaptureTime want; // minute, hour, hundredths, second
    };
    const Case cases[] = {
        {3661, 0, {1, 1, 0, 1}},
        {3661, 9'999'999, {1, 1, 0, 1}},
        {3661, 10'000'000, {1, 1, 1, 1}},
        {3661, 505'000'000, {1, 1, 50, 1}},
        {3661, 999'999'999, {1, 1, 99, 1}},
        {3661, 1'500'000'000, {1, 1, 50, 2}}, // a whole second in the nanoseconds
        {3661, -250'000'000, {1, 1, 75, 0}},
        {86399, 990'000'000, {59, 23, 99, 59}},
    };
    for (const Case& c : cases)
        ExpectSame(LocalCaptureTime(timespec{c.second, c.nanos}), c.want, c.second);
}

// Two threads converting seconds on either side of a summer-time change share
// the one cache: neither may ever see the other's offset with its own second.
TEST(CaptureTime, ThreadsNeverMixTheirOffsets) {
    TimeZone tz("Europe/Berlin");
    const time_t winter = 1767225600; // 2026-01-01
    const time_t summer = 1782864000; // 2026-07-01
    auto convert = [](time_t base, int& wrong) {
        for (time_t i = 0; i < 20000; ++i) {
            const time_t second = base + i % 3600;
            const CaptureTime got = LocalCaptureTime(timespec{second, 0});
            const CaptureTime want = Expected(second, 0);
            if (got.hour != want.hour || got.minute != want.minute || got.second != want.second)
                ++wrong;
        }
    };
    int wrongWinter = 0;
    int wrongSummer = 0;
    std::thread other(convert, summer, std::ref(wrongSummer));
    convert(winter, wrongWinter);
    other.join();
    EXPECT_EQ(wrongWinter, 0);
    EXPECT_EQ(wrongSummer, 0);
}

} // namespace
