#include "app/worker_threads.h"

#include <array>
#include <cstdlib>
#include <mutex>

namespace {

// A fixed table: nothing here is destroyed before the exit handler runs.
std::mutex g_mutex;
std::array<void (*)(), 4> g_ends{};
size_t g_count = 0;

} // namespace

void RegisterWorkerEnd(void (*end)())
{
    std::lock_guard lock(g_mutex);
    for (size_t i = 0; i < g_count; ++i)
        if (g_ends[i] == end)
            return;
    if (g_count == g_ends.size())
        std::abort(); // a new kind of worker thread: widen the table
    // Registered with the first end, after the engine's static state exists,
    // so it runs before that state is destroyed.
    if (g_count == 0)
        std::atexit(EndWorkerThreads);
    g_ends[g_count++] = end;
}

void EndWorkerThreads()
{
    std::array<void (*)(), 4> ends;
    size_t count = 0;
    {
        std::lock_guard lock(g_mutex);
        ends = g_ends;
        count = g_count;
    }
    while (count > 0)
        ends[--count]();
}
