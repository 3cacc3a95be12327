// Signals during a report run.
//
// A signal that ends the program removes the temporary report first, so no
// hidden partial report is left beside OUT; a signal that was ignored when the
// program started (nohup, a shell's background job) stays ignored. SIGPIPE and
// SIGXFSZ are ignored: a closed reader or a file-size limit then shows up as a
// failed write, which is told and ends the run with status 1.
#pragma once

#include <csignal>

// Install the handlers (once, at program start, before any file is touched).
void SetUpReportSignals();

// Holds the terminating signals back for its lifetime, so that a temporary is
// never created, renamed or removed without the handlers knowing of it.
class ReportSignalsHeld {
public:
    ReportSignalsHeld();
    ~ReportSignalsHeld();
    ReportSignalsHeld(const ReportSignalsHeld&) = delete;
    ReportSignalsHeld& operator=(const ReportSignalsHeld&) = delete;

private:
    sigset_t saved_; // the mask before
};

// The temporary that a terminating signal removes (null or empty: none).
// Call while the signals are held.
void GuardTemp(const char* path);
