// The capture benchmark's test bench: two network namespaces joined by a veth
// pair, a frame generator in one, and the capturers (ours and the reference
// tcpdump) in the other. Nothing here touches the machine's own interfaces.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace CaptureLab {

struct Veth {
    std::string captureNamespace; // holds the capture end
    std::string generatorNamespace;
    std::string captureInterface;
    std::string generatorInterface;
};

// Create both namespaces and the pair, IPv6 off so the link stays quiet.
// Returns false (after undoing what was made) when the tools refuse.
bool CreateVeth(Veth& veth);
void RemoveVeth(const Veth& veth);
// Move the calling thread into a named namespace (threads it creates follow).
bool EnterNamespace(const std::string& name);
// The highest share of the normal scheduling class for the calling thread:
// what our capture thread takes, given to tcpdump and the generator as well so
// that the other builds on a shared machine disturb all three alike.
void RaisePriority();
// Pin the calling thread (and its later threads and children) to one core.
void PinToCore(int core);

// Generator side: send count frames of size bytes at rate frames per second
// (0: as fast as possible) from the generator end; returns the frames sent
// and the seconds the sending took.
uint64_t RunGenerator(const Veth& veth, uint32_t size, uint64_t rate, uint64_t count, double& seconds);
// Entry of the generator process (argv after "--generate").
int GeneratorMain(int argc, char** argv);

// The reference capturer: tcpdump -i IF -w /dev/null in the capture namespace,
// pinned to the capturers' core.
struct Tcpdump {
    pid_t pid = -1;
    int stderrFd = -1;
};
bool StartTcpdump(const Veth& veth, int core, Tcpdump& dump);
// CPU seconds spent so far, from /proc/<pid>/stat.
double TcpdumpCpuSeconds(const Tcpdump& dump);
// Stop it; returns the frames it reports as captured (-1 if unreadable).
int64_t StopTcpdump(Tcpdump& dump);

} // namespace CaptureLab
