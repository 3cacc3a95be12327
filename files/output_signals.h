// Signals while an output file is written.
//
// A signal that ends the program removes the temporary outputs first, so no
// hidden partial file is left beside any output; a signal that was ignored
// when the program started (nohup, a shell's background job) stays ignored.
// SIGPIPE and SIGXFSZ are ignored: a closed reader or a file-size limit then
// shows up as a failed write, which is told and ends the run with status 1.
#pragma once

#include <csignal>

// Install the handlers (once, at program start, before any file is touched).
void SetUpOutputSignals();

// Holds the terminating signals back for its lifetime, so that a temporary is
// never created, renamed or removed without the handlers knowing of it.
class OutputSignalsHeld {
public:
    OutputSignalsHeld();
    ~OutputSignalsHeld();
    OutputSignalsHeld(const OutputSignalsHeld&) = delete;
    OutputSignalsHeld& operator=(const OutputSignalsHeld&) = delete;

private:
    sigset_t saved_; // the mask before
};

// The temporaries that a terminating signal removes: a program may write
// several outputs at once (a report and a capture file), each through its own
// temporary. GuardTemp adds one, UnguardTemp forgets it again; call both while
// the signals are held, from the thread that takes the signals (a thread
// started while they are held keeps them blocked for good). GuardTemp returns
// false, guarding nothing, when kGuardedTemps are guarded already or the path
// is too long. In a program that has not installed the handlers (the
// analyzer, whose outputs are written from more than one thread) both do
// nothing, and GuardTemp returns true: nothing would remove the temporaries.
inline constexpr int kGuardedTemps = 4;
bool GuardTemp(const char* path);
void UnguardTemp(const char* path);
