// The capture benchmark's test bench, over a LiveNet pair (tests/support): a
// frame generator process in the peer namespace, and the capturers (ours and
// the reference tcpdump) in the capture namespace. Nothing here touches the
// machine's own interfaces.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "tests/support/live_net.h"

namespace CaptureLab {

using quarn::test::LiveNet;

// The highest share of the normal scheduling class for the calling thread:
// what our capture thread takes, given to tcpdump and the generator as well so
// that the other builds on a shared machine disturb all three alike.
void RaisePriority();
// Pin the calling thread (and its later threads and children) to one core.
void PinToCore(int core);

// Generator side: send count frames of size bytes at rate frames per second
// (0: as fast as possible) from the peer end; returns the frames sent and the
// seconds the sending took.
uint64_t RunGenerator(const LiveNet& net, uint32_t size, uint64_t rate, uint64_t count, double& seconds);
// Entry of the generator process (argv after "--generate").
int GeneratorMain(int argc, char** argv);

// Reads fd into said until said holds marker; false if fd ends first.
bool ReadUntil(int fd, std::string_view marker, std::string& said);

// The reference capturer: tcpdump -i IF -w /dev/null in the capture namespace,
// pinned to the capturers' core.
struct Tcpdump {
    pid_t pid = -1;
    int stderrFd = -1;
};
bool StartTcpdump(const LiveNet& net, int core, Tcpdump& dump);
// CPU seconds spent so far (every thread, to the nanosecond).
double TcpdumpCpuSeconds(const Tcpdump& dump);
// Stop it; returns the frames it reports as captured (-1 if unreadable).
int64_t StopTcpdump(Tcpdump& dump);

} // namespace CaptureLab
