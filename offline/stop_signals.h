// While a live capture runs, SIGINT (Ctrl-C) and SIGTERM end the capture,
// not the program: the report and the capture file are then written as after
// any other end. They are held back from every thread and taken here, so no
// handler runs; a signal that was ignored when the program started stays
// ignored. The other ending signals keep their handlers (files/output_signals.h).
#pragma once

#include <chrono>
#include <csignal>

class CaptureStopSignals {
public:
    // Holds SIGINT and SIGTERM back from the calling thread and from the
    // threads it starts from now on.
    CaptureStopSignals();
    // Takes a stop signal that came too late to be waited for (it asked for
    // the end that has come), then lets them through again: from then on they
    // end the program as before.
    ~CaptureStopSignals();
    CaptureStopSignals(const CaptureStopSignals&) = delete;
    CaptureStopSignals& operator=(const CaptureStopSignals&) = delete;

    // True when a stop signal arrives within the time given.
    bool WaitForStop(std::chrono::milliseconds within);

private:
    sigset_t stops_;
    sigset_t saved_;
};
