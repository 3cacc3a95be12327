#include "offline/report_progress.h"

#include <ctime>
#include <unistd.h>

namespace {

constexpr uint64_t kFramesBetweenClockReads = 1024;
constexpr int64_t kRefreshNanoseconds = 250'000'000;

bool shown = false;
std::FILE* stream = nullptr;
int64_t totalBytes = 0;
int64_t nextRefresh = 0;
int lineWidth = 0;

int64_t NowNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void WriteAll(const char* text, int size)
{
    while (size > 0) {
        const ssize_t done = write(STDERR_FILENO, text, static_cast<size_t>(size));
        if (done <= 0)
            return; // a progress line is not worth failing over
        text += done;
        size -= static_cast<int>(done);
    }
}

void ShowLine(uint64_t framesDone)
{
    const long position = std::ftell(stream);
    const int percent = position < 0 ? 0 : static_cast<int>(position * 100 / (totalBytes > 0 ? totalBytes : 1));
    char line[96];
    const int size = std::snprintf(line, sizeof line, "\rquarn-report: %llu frames, %d%%",
                                   static_cast<unsigned long long>(framesDone), percent > 100 ? 100 : percent);
    WriteAll(line, size);
    if (size - 1 > lineWidth)
        lineWidth = size - 1;
}

} // namespace

void StartProgress(std::FILE* capture, int64_t fileSize)
{
    shown = capture != nullptr && fileSize >= kProgressMinimumFileSize && isatty(STDERR_FILENO);
    if (!shown)
        return;
    stream = capture;
    totalBytes = fileSize;
    lineWidth = 0;
    ShowLine(0);
    nextRefresh = NowNanoseconds() + kRefreshNanoseconds;
}

void TickProgress(uint64_t framesDone)
{
    if (!shown || framesDone % kFramesBetweenClockReads != 0)
        return;
    const int64_t now = NowNanoseconds();
    if (now < nextRefresh)
        return;
    nextRefresh = now + kRefreshNanoseconds;
    ShowLine(framesDone);
}

void EndProgress()
{
    if (!shown)
        return;
    shown = false;
    char blank[96];
    int size = 0;
    blank[size++] = '\r';
    for (int i = 0; i < lineWidth && size < static_cast<int>(sizeof blank) - 1; ++i)
        blank[size++] = ' ';
    blank[size++] = '\r';
    WriteAll(blank, size);
}
