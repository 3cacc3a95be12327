// quarn-report -i beside tcpdump -w on the same veth pair: the capture lab's
// generator (bench/capture/lab.h) sends 64-byte frames at full speed from the
// peer end, both programs capture them on the capture end, are stopped with
// SIGINT and quoted with their own end lines. Needs root (namespaces).
//
//   bench_live_capture [--overload] [FRAMES]     default 1,000,000 frames
//
// Both capturers run on core 1, the generator on core 0. With --overload
// quarn-report is held stopped (SIGSTOP) while the generator sends, as an
// overloaded machine would hold it back, and let go (SIGCONT) afterwards: far
// more frames come than its receive ring holds, so it really loses frames, and
// the run shows that its lost count is what was sent and never received (less
// what the capture end itself dropped before any capturer saw it).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <thread>

#include "bench/capture/lab.h"

namespace {

using namespace std::chrono_literals;

constexpr int kCapturerCore = 1;
constexpr uint32_t kFrameSize = 64;
// tcpdump hands up a part-filled ring block only when its one-second timeout
// runs out.
constexpr auto kSettle = 1500ms;

struct Capturer {
    pid_t pid = -1;
    int stderrFd = -1;
};

// Everything a capturer wrote to standard error until it closes it (it ended).
std::string ReadAll(int fd, std::string text = {})
{
    char chunk[512];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<size_t>(n));
    return text;
}

// quarn-report -i IF --ring 5000 -o /dev/null on core, ready once it says so.
bool StartQuarnReport(const CaptureLab::LiveNet& net, int core, Capturer& capturer, std::string& said)
{
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0)
        return false;
    capturer.pid = fork();
    if (capturer.pid == 0) {
        dup2(err[1], STDERR_FILENO);
        CaptureLab::PinToCore(core);
        execl(QUARN_REPORT_BINARY, "quarn-report", "-i", net.CaptureInterface().c_str(), "--ring", "5000", "-o",
              "/dev/null", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    capturer.stderrFd = err[0];
    return CaptureLab::ReadUntil(capturer.stderrFd, "capturing on", said);
}

// Stops a capturer with SIGINT, as Ctrl-C would; returns what it said.
std::string Stop(pid_t pid, int stderrFd, std::string said = {})
{
    kill(pid, SIGINT);
    said = ReadAll(stderrFd, std::move(said));
    close(stderrFd);
    waitpid(pid, nullptr, 0);
    return said;
}

// The lines of text that contain needle, each with its line end.
std::string LinesWith(const std::string& text, const std::string& needle)
{
    std::string lines;
    for (size_t begin = 0; begin < text.size();) {
        size_t end = text.find('\n', begin);
        end = end == std::string::npos ? text.size() : end + 1;
        if (text.substr(begin, end - begin).find(needle) != std::string::npos)
            lines += "    " + text.substr(begin, end - begin);
        begin = end;
    }
    return lines;
}

long long Number(const std::string& text, const char* pattern)
{
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern)))
        return -1;
    return std::stoll(std::regex_replace(match[1].str(), std::regex(","), ""));
}

// Frames the capture end's driver dropped before any capturer saw them.
long long InterfaceDrops(const CaptureLab::LiveNet& net)
{
    const std::string out
        = quarn::test::CommandOutput("ip -s -n " + net.CaptureNamespace() + " link show " + net.CaptureInterface());
    return Number(out, "RX:[^\\n]*\\n\\s*\\d+\\s+\\d+\\s+\\d+\\s+(\\d+)");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--generate") == 0)
        return CaptureLab::GeneratorMain(argc - 2, argv + 2);
    const bool overload = argc > 1 && std::strcmp(argv[1], "--overload") == 0;
    const int countAt = overload ? 2 : 1;
    const uint64_t frames = argc > countAt ? std::strtoull(argv[countAt], nullptr, 10) : 1'000'000;
    if (geteuid() != 0) {
        std::fprintf(stderr, "bench_live_capture needs root (it builds network namespaces)\n");
        return 1;
    }
    CaptureLab::LiveNet net;
    if (!net.Ready()) {
        std::fprintf(stderr, "could not build the veth pair: %s\n", net.Error().c_str());
        return 1;
    }
    CaptureLab::Tcpdump dump;
    if (!CaptureLab::StartTcpdump(net, kCapturerCore, dump)) {
        std::fprintf(stderr, "tcpdump did not start\n");
        return 1;
    }
    Capturer ours;
    std::string said;
    if (!StartQuarnReport(net, kCapturerCore, ours, said)) {
        std::fprintf(stderr, "quarn-report did not start: %s\n", said.c_str());
        Stop(dump.pid, dump.stderrFd);
        return 1;
    }

    double seconds = 0;
    if (overload)
        kill(ours.pid, SIGSTOP);
    const uint64_t sent = CaptureLab::RunGenerator(net, kFrameSize, 0, frames, seconds);
    if (overload)
        kill(ours.pid, SIGCONT);
    std::this_thread::sleep_for(kSettle);
    const std::string tcpdumpSaid = Stop(dump.pid, dump.stderrFd);
    const std::string oursSaid = Stop(ours.pid, ours.stderrFd, said);
    const long long drops = InterfaceDrops(net);

    std::printf("generator: %llu frames of %u bytes in %.3f s (%.0f frames/s)%s\n",
                static_cast<unsigned long long>(sent), kFrameSize, seconds, seconds > 0 ? sent / seconds : 0.0,
                overload ? "; quarn-report held stopped meanwhile" : "");
    std::printf("dropped by the capture end before any capturer: %lld\n", drops);
    std::printf("tcpdump -w /dev/null said:\n%s", LinesWith(tcpdumpSaid, "packet").c_str());
    std::printf("quarn-report -i --ring 5000 -o /dev/null said:\n%s", LinesWith(oursSaid, "Received").c_str());

    const long long received = Number(oursSaid, "Received ([0-9,]+)");
    const long long lost = Number(oursSaid, "lost ([0-9,]+)");
    const long long dumpLost = Number(tcpdumpSaid, "([0-9]+) packets? dropped by kernel");
    const long long reached = static_cast<long long>(sent) - (drops > 0 ? drops : 0);
    std::printf("lost: tcpdump %lld, quarn-report %lld\n", dumpLost, lost);
    std::printf(
        "quarn-report: sent - received = %lld; less the capture end's drops = %lld; its lost count = %lld: %s\n",
        static_cast<long long>(sent) - received, reached - received, lost,
        reached - received == lost ? "equal" : "DIFFERENT");
    return received < 0 || lost < 0 || reached - received != lost ? 1 : 0;
}
