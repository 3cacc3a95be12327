#include "app/messages.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<MessageSeam*> g_seam{nullptr};
std::atomic<bool> g_quitRequested{false};

void PrintMessage(std::string_view caption, std::string_view text)
{
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
}
} // namespace

void RegisterMessageSeam(MessageSeam* seam) { g_seam.store(seam, std::memory_order_release); }

void ShowMessage(std::string_view text)
{
    if (MessageSeam* seam = g_seam.load(std::memory_order_acquire))
        seam->ShowMessage(text);
    else
        PrintMessage(kApplicationTitle, text);
}

void ShowMessageBox(std::string_view text, std::string_view caption)
{
    if (MessageSeam* seam = g_seam.load(std::memory_order_acquire))
        seam->ShowMessageBox(text, caption);
    else
        PrintMessage(caption, text);
}

void RequestQuit()
{
    if (MessageSeam* seam = g_seam.load(std::memory_order_acquire))
        seam->RequestQuit();
    else
        g_quitRequested.store(true);
}

bool QuitRequested() { return g_quitRequested.load(); }
