#include "app/status.h"

#include <atomic>
#include <charconv>

namespace {
std::atomic<StatusSeam*> g_seam{nullptr};
}

void RegisterStatusSeam(StatusSeam* seam) { g_seam.store(seam, std::memory_order_release); }

void SetStatusLine(std::string_view text)
{
    if (StatusSeam* seam = g_seam.load(std::memory_order_acquire))
        seam->SetStatusText(text);
}

void ShowCaptureStatus(bool on) { SetStatusLine(on ? kStatusCapturing : kStatusIdle); }

void ShowAllocationStatus(bool on) { SetStatusLine(on ? kStatusAllocating : kStatusIdle); }

void DisableSessionControls()
{
    if (StatusSeam* seam = g_seam.load(std::memory_order_acquire))
        seam->SetSessionControlsEnabled(false);
}

void EnableSessionControls()
{
    if (StatusSeam* seam = g_seam.load(std::memory_order_acquire))
        seam->SetSessionControlsEnabled(true);
}

void ShowFrameCounter(int32_t value)
{
    StatusSeam* seam = g_seam.load(std::memory_order_acquire);
    if (!seam)
        return;
    char text[16];
    auto end = std::to_chars(text, text + sizeof text, value).ptr;
    seam->SetFrameCounterText(std::string_view(text, static_cast<size_t>(end - text)));
}
