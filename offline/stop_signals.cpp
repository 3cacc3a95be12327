#include "offline/stop_signals.h"

#include <cerrno>
#include <ctime>

CaptureStopSignals::CaptureStopSignals()
{
    sigemptyset(&stops_);
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaddset(&stops_, signal);
    }
    pthread_sigmask(SIG_BLOCK, &stops_, &saved_);
}

CaptureStopSignals::~CaptureStopSignals()
{
    const timespec now{};
    while (sigtimedwait(&stops_, nullptr, &now) > 0) {}
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

bool CaptureStopSignals::WaitForStop(std::chrono::milliseconds within)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(within);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>(std::chrono::nanoseconds(within - seconds).count())};
    for (;;) {
        if (sigtimedwait(&stops_, nullptr, &timeout) > 0)
            return true;
        if (errno != EINTR)
            return false; // EAGAIN: the time is up
    }
}
