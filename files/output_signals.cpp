#include "files/output_signals.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {

// Every signal whose default action ends the process and that a user or the
// system sends to end a run.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF};

// Read by the handler; written only while the signals are held. An empty
// place is free.
char pendingTemps[kGuardedTemps][PATH_MAX + 1];
// Set once the handlers are installed: before that no handler reads the
// places, and nothing is put in them.
std::atomic<bool> handlersInstalled{false};

sigset_t EndingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kEndingSignals)
        sigaddset(&set, signal);
    return set;
}

// Async-signal-safe only: unlink, then end the way the signal ends a process.
void RemoveTempAndEnd(int signal)
{
    for (const char* temp : pendingTemps)
        if (temp[0] != '\0')
            unlink(temp);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal); // delivered as soon as the handler returns
}

} // namespace

void SetUpOutputSignals()
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction action {};
    action.sa_handler = RemoveTempAndEnd;
    action.sa_mask = EndingSignals(); // one handler at a time
    for (int signal : kEndingSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
    handlersInstalled.store(true);
}

OutputSignalsHeld::OutputSignalsHeld()
{
    const sigset_t ending = EndingSignals();
    pthread_sigmask(SIG_BLOCK, &ending, &saved_);
}

OutputSignalsHeld::~OutputSignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

bool GuardTemp(const char* path)
{
    if (!handlersInstalled.load())
        return true;
    const size_t size = std::strlen(path);
    if (size == 0 || size > PATH_MAX)
        return false;
    for (char* place : pendingTemps) {
        if (place[0] != '\0')
            continue;
        std::memcpy(place, path, size + 1);
        return true;
    }
    return false;
}

void UnguardTemp(const char* path)
{
    if (!handlersInstalled.load())
        return;
    for (char* place : pendingTemps)
        if (std::strcmp(place, path) == 0)
            place[0] = '\0';
}
