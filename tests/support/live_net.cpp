#include "tests/support/live_net.h"

#include <fcntl.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <thread>

namespace quarn::test {
namespace {

std::atomic<int> g_sequence{0};

std::string MacText(const LiveNet::Mac& m)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

// Namespaces of test processes that died before their destructors ran.
void RemoveStaleNamespaces()
{
    RunQuiet("for ns in $(ls /run/netns 2>/dev/null | grep -E '^quarn-(cap|peer)-[0-9]+n'); do "
             "pid=${ns#quarn-*-}; pid=${pid%%n*}; [ \"$pid\" = "
             + std::to_string(getpid()) + " ] || kill -0 $pid 2>/dev/null || ip netns del $ns; done");
}

} // namespace

bool EnterNamespace(const std::string& name)
{
    const int ns = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = ns >= 0 && setns(ns, CLONE_NEWNET) == 0;
    if (ns >= 0)
        close(ns);
    return entered;
}

std::optional<std::string> LiveUnavailable()
{
    if (geteuid() != 0)
        return "live tests need root (network namespaces, raw packet sockets)";
    return std::nullopt;
}

bool UnderCi()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0';
}

std::string CommandOutput(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[512];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
            out.append(chunk, n);
        pclose(pipe);
    }
    return out;
}

bool RunQuiet(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

double CpuSecondsWhileSleeping(std::chrono::milliseconds span)
{
    auto cpuNow = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    };
    const double before = cpuNow();
    std::this_thread::sleep_for(span);
    return cpuNow() - before;
}

LiveNet::LiveNet(Options options)
{
    static std::once_flag cleaned;
    std::call_once(cleaned, RemoveStaleNamespaces);
    const int n = g_sequence.fetch_add(1);
    const std::string tag = std::to_string(getpid()) + "n" + std::to_string(n);
    captureNs_ = "quarn-cap-" + tag;
    peerNs_ = "quarn-peer-" + tag;
    captureIf_ = "qc" + tag;
    peerIf_ = "qp" + tag;
    const auto pid = static_cast<uint32_t>(getpid());
    captureMac_ = {0x02, uint8_t(pid >> 16), uint8_t(pid >> 8), uint8_t(pid), uint8_t(n), 0x01};
    peerMac_ = captureMac_;
    peerMac_[5] = 0x02;
    ready_ = Setup(options);
}

bool LiveNet::Run(const std::string& command)
{
    if (RunQuiet(command))
        return true;
    error_ = "failed: " + command;
    return false;
}

bool LiveNet::Setup(const Options& options)
{
    if (captureIf_.size() >= IFNAMSIZ)
        return error_ = "interface name too long: " + captureIf_, false;
    if (!(captureNsMade_ = Run("ip netns add " + captureNs_)) || !(peerNsMade_ = Run("ip netns add " + peerNs_)))
        return false;
    const std::string in[2]
        = {"ip -n " + captureNs_ + " link set " + captureIf_, "ip -n " + peerNs_ + " link set " + peerIf_};
    const std::string mtu = options.mtu > 0 ? " mtu " + std::to_string(options.mtu) : "";
    for (const std::string& ns : {captureNs_, peerNs_})
        RunQuiet("ip netns exec " + ns
                 + " sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1");
    if (!Run("ip link add " + captureIf_ + " netns " + captureNs_ + " address " + MacText(captureMac_)
             + " type veth peer name " + peerIf_ + " netns " + peerNs_ + " address " + MacText(peerMac_))
        || !Run(in[0] + mtu + " up") || !Run(in[1] + mtu + " up"))
        return false;

    // The peer's send socket is opened inside the peer namespace (protocol 0: send only).
    originalNs_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (!(entered_ = originalNs_ >= 0 && EnterNamespace(peerNs_)))
        return error_ = "cannot enter namespace " + peerNs_, false;
    peerSocket_ = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_ifindex = static_cast<int>(if_nametoindex(peerIf_.c_str()));
    const int bypass = 1;
    setsockopt(peerSocket_, SOL_PACKET, PACKET_QDISC_BYPASS, &bypass, sizeof bypass);
    if (address.sll_ifindex == 0 || bind(peerSocket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return error_ = "cannot open the peer's send socket", false;
    if (!EnterNamespace(captureNs_))
        return error_ = "cannot enter namespace " + captureNs_, false;
    return WaitForCarrier();
}

// The pair carries frames once both ends report a carrier.
bool LiveNet::WaitForCarrier()
{
    const std::string show = "ip -n " + captureNs_ + " link show " + captureIf_;
    for (int tries = 0; CommandOutput(show).find("LOWER_UP") == std::string::npos; ++tries) {
        if (tries == 300)
            return error_ = captureIf_ + " never came up", false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool LiveNet::SetCaptureLink(bool up)
{
    const bool set = Run("ip -n " + captureNs_ + " link set " + captureIf_ + (up ? " up" : " down"));
    return set && (!up || WaitForCarrier());
}

bool LiveNet::DeleteCaptureInterface() { return Run("ip -n " + captureNs_ + " link del " + captureIf_); }

LiveNet::~LiveNet()
{
    if (peerSocket_ >= 0)
        close(peerSocket_);
    if (entered_)
        setns(originalNs_, CLONE_NEWNET);
    if (originalNs_ >= 0)
        close(originalNs_);
    // Removing the namespaces removes the veth pair with them.
    if (captureNsMade_)
        Run("ip netns del " + captureNs_);
    if (peerNsMade_)
        Run("ip netns del " + peerNs_);
}

bool LiveNet::Send(std::span<const uint8_t> frame) const
{
    return peerSocket_ >= 0 && send(peerSocket_, frame.data(), frame.size(), 0) == ssize_t(frame.size());
}

int LiveNet::CapturePromiscuity() const
{
    const std::string out = CommandOutput("ip -n " + captureNs_ + " -d link show " + captureIf_);
    std::smatch match;
    return std::regex_search(out, match, std::regex("promiscuity ([0-9]+)")) ? std::stoi(match[1].str()) : -1;
}

} // namespace quarn::test
