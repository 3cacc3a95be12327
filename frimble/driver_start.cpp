// Driver start: there is no service to start on Linux. The packet socket
// family stands in for the service control manager (it refuses callers
// without the capture capability) and "PACKET" is the only service it knows,
// always running once available.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <strings.h>

#include "frimble/frimble.h"

namespace {

constexpr const char kCaption[] = "FRIMBLE.DLL";
constexpr const char kServiceName[] = "PACKET";
constexpr uint32_t kProcessAttach = 1;

std::atomic<FrimbleMessageSink> g_sink{nullptr};

void ShowLibraryMessage(const char* text)
{
    if (FrimbleMessageSink sink = g_sink.load())
        sink(text, kCaption);
    else
        std::fprintf(stderr, "%s: %s\n", kCaption, text);
}

} // namespace

extern "C" {

void PacketSetMessageSink(FrimbleMessageSink sink) { g_sink.store(sink); }

int StartPacketDriver(const char* serviceName)
{
    const int probe = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        ShowLibraryMessage("Could not open SC");
        return 0;
    }
    close(probe);
    if (serviceName == nullptr || strcasecmp(serviceName, kServiceName) != 0) {
        ShowLibraryMessage("Could not open service");
        return 0;
    }
    return 1;
}

int PacketInit(void* /*module*/, uint32_t reason, void* /*reserved*/)
{
    if (reason == kProcessAttach)
        return StartPacketDriver(kServiceName);
    return 1;
}

} // extern "C"
