// Local time of day as the session buffer keeps it with every frame.
#pragma once

#include <cstdint>
#include <ctime>

// Field order as stored: minute, hour, hundredths, second (all local time).
struct CaptureTime {
    uint8_t minute = 0;
    uint8_t hour = 0;
    uint8_t hundredths = 0; // milliseconds / 10, rounded down
    uint8_t second = 0;
};

// The local time of a moment given as seconds and nanoseconds since the epoch.
// The offset from UTC is looked up once per new second, never per call, so a
// stream of frames costs no time-zone lookup each (safe from any thread).
CaptureTime LocalCaptureTime(const timespec& when);
// The local time now (realtime clock).
CaptureTime LocalCaptureTimeNow();
