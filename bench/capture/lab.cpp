#include "lab.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace CaptureLab {
namespace {

uint64_t NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(ts.tv_nsec);
}

std::string SelfPath()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// A local experimental EtherType, so no stack on either end answers.
constexpr uint16_t kBenchEtherType = 0x88B5;
constexpr size_t kBatch = 32;

} // namespace

void PinToCore(int core)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(core, &set);
    (void)sched_setaffinity(0, sizeof set, &set);
}

void RaisePriority() { (void)setpriority(PRIO_PROCESS, 0, -20); }

uint64_t RunGenerator(const LiveNet& net, uint32_t size, uint64_t rate, uint64_t count, double& seconds)
{
    seconds = 0;
    const std::string command = SelfPath() + " --generate " + net.PeerNamespace() + " " + net.PeerInterface() + " "
        + std::to_string(size) + " " + std::to_string(rate) + " " + std::to_string(count);
    FILE* out = popen(command.c_str(), "r");
    if (!out)
        return 0;
    unsigned long long sent = 0;
    if (std::fscanf(out, "%llu %lf", &sent, &seconds) != 2)
        sent = 0;
    pclose(out);
    return sent;
}

int GeneratorMain(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    const std::string ns = argv[0];
    const std::string ifname = argv[1];
    const auto size = static_cast<size_t>(std::strtoul(argv[2], nullptr, 10));
    const uint64_t rate = std::strtoull(argv[3], nullptr, 10);
    const uint64_t count = std::strtoull(argv[4], nullptr, 10);
    if (size < 60 || size > 1514 || !quarn::test::EnterNamespace(ns))
        return 1;
    PinToCore(0);
    RaisePriority();
    // Told apart from the capturing process in top and perf.
    (void)prctl(PR_SET_NAME, "generator");

    const int fd = socket(AF_PACKET, SOCK_RAW, 0); // send only: receives nothing
    if (fd < 0)
        return 1;
    const int bypass = 1;
    (void)setsockopt(fd, SOL_PACKET, PACKET_QDISC_BYPASS, &bypass, sizeof bypass);
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_ifindex = static_cast<int>(if_nametoindex(ifname.c_str()));
    to.sll_halen = ETH_ALEN;
    if (to.sll_ifindex == 0)
        return 1;

    // Every frame of a batch carries its own sequence number after the header.
    std::vector<std::array<uint8_t, 1514>> frames(kBatch);
    std::array<iovec, kBatch> iov{};
    std::array<mmsghdr, kBatch> msgs{};
    for (size_t k = 0; k < kBatch; ++k) {
        auto& f = frames[k];
        f.fill(0);
        const uint8_t dst[6] = {0x02, 0, 0, 0, 0, 0x02};
        const uint8_t src[6] = {0x02, 0, 0, 0, 0, 0x01};
        std::memcpy(f.data(), dst, 6);
        std::memcpy(f.data() + 6, src, 6);
        f[12] = kBenchEtherType >> 8;
        f[13] = kBenchEtherType & 0xFF;
        iov[k] = {f.data(), size};
        msgs[k].msg_hdr.msg_iov = &iov[k];
        msgs[k].msg_hdr.msg_iovlen = 1;
        msgs[k].msg_hdr.msg_name = &to;
        msgs[k].msg_hdr.msg_namelen = sizeof to;
    }

    uint64_t sent = 0;
    const uint64_t start = NowNs();
    while (sent < count) {
        if (rate) { // pace by the schedule of the batch's first frame
            const uint64_t due = start + sent * 1'000'000'000u / rate;
            while (NowNs() < due) {}
        }
        const auto n = static_cast<unsigned>(std::min<uint64_t>(kBatch, count - sent));
        for (unsigned k = 0; k < n; ++k) {
            const uint64_t seq = sent + k;
            std::memcpy(frames[k].data() + 14, &seq, sizeof seq);
        }
        const int done = sendmmsg(fd, msgs.data(), n, 0);
        if (done > 0)
            sent += static_cast<uint64_t>(done);
    }
    const double seconds = static_cast<double>(NowNs() - start) / 1e9;
    close(fd);
    std::printf("%llu %.6f\n", static_cast<unsigned long long>(sent), seconds);
    return 0;
}

bool ReadUntil(int fd, std::string_view marker, std::string& said)
{
    char chunk[256];
    while (said.find(marker) == std::string::npos) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        said.append(chunk, static_cast<size_t>(n));
    }
    return true;
}

bool StartTcpdump(const LiveNet& net, int core, Tcpdump& dump)
{
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        dup2(err[1], STDERR_FILENO);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        if (!quarn::test::EnterNamespace(net.CaptureNamespace()))
            _exit(127);
        PinToCore(core);
        RaisePriority(); // the same share as our capture thread, for a fair race
        execlp("tcpdump", "tcpdump", "-n", "-i", net.CaptureInterface().c_str(), "-w", "/dev/null",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    dump.pid = pid;
    dump.stderrFd = err[0];
    // Ready once it says it is listening.
    std::string seen;
    return ReadUntil(dump.stderrFd, "listening on", seen);
}

double TcpdumpCpuSeconds(const Tcpdump& dump)
{
    // The process's CPU clock counts nanoseconds; /proc/<pid>/stat only whole ticks.
    clockid_t clock;
    timespec used{};
    if (clock_getcpuclockid(dump.pid, &clock) != 0 || clock_gettime(clock, &used) != 0)
        return -1;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

int64_t StopTcpdump(Tcpdump& dump)
{
    kill(dump.pid, SIGINT);
    std::string text;
    char chunk[256];
    ssize_t n;
    while ((n = read(dump.stderrFd, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<size_t>(n));
    close(dump.stderrFd);
    waitpid(dump.pid, nullptr, 0);
    dump.pid = -1;
    const size_t at = text.find(" packets captured");
    if (at == std::string::npos)
        return -1;
    size_t begin = at;
    while (begin > 0 && text[begin - 1] >= '0' && text[begin - 1] <= '9')
        --begin;
    return std::strtoll(text.c_str() + begin, nullptr, 10);
}

} // namespace CaptureLab
