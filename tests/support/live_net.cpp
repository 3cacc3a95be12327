#include "tests/support/live_net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <thread>
#include <vector>

namespace quarn::test {
namespace {

std::atomic<int> g_sequence{0};

std::string MacText(const std::array<uint8_t, 6>& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

int OpenNamespace(const std::string& name)
{
    return open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
}

bool InterfaceRunning(const std::string& name)
{
    const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name.c_str());
    const bool running = ioctl(probe, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_RUNNING) != 0;
    close(probe);
    return running;
}

// Opens the peer's send socket from a thread that lives in the peer namespace.
int OpenPeerSocket(const std::string& peerNs, const std::string& peerIf)
{
    int result = -1;
    std::thread helper([&] {
        const int ns = OpenNamespace(peerNs);
        if (ns < 0)
            return;
        const bool entered = setns(ns, CLONE_NEWNET) == 0;
        close(ns);
        if (!entered)
            return;
        const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        sockaddr_ll address{};
        address.sll_family = AF_PACKET;
        address.sll_protocol = 0;  // send only
        address.sll_ifindex = static_cast<int>(if_nametoindex(peerIf.c_str()));
        const int bypass = 1;
        setsockopt(fd, SOL_PACKET, PACKET_QDISC_BYPASS, &bypass, sizeof bypass);
        if (address.sll_ifindex == 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return;
        }
        result = fd;
    });
    helper.join();
    return result;
}

// Namespaces left behind by a test process that died before its destructors
// ran (a crash, a killed run) would pile up; remove those of dead processes.
void RemoveStaleNamespaces()
{
    DIR* dir = opendir("/run/netns");
    if (dir == nullptr)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        for (const std::string prefix : {"quarn-cap-", "quarn-peer-"}) {
            if (name.rfind(prefix, 0) != 0)
                continue;
            const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
            if (pid > 0 && pid != getpid() && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                stale.push_back(name);
        }
    }
    closedir(dir);
    for (const std::string& name : stale)
        std::system(("ip netns del " + name + " >/dev/null 2>&1").c_str());
}

} // namespace

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
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char chunk[512];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        out.append(chunk, n);
    pclose(pipe);
    return out;
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
    peerMac_ = {0x02, uint8_t(pid >> 16), uint8_t(pid >> 8), uint8_t(pid), uint8_t(n), 0x02};
    ready_ = Setup(options);
}

bool LiveNet::Run(const std::string& command)
{
    const std::string quiet = command + " >/dev/null 2>&1";
    if (std::system(quiet.c_str()) == 0)
        return true;
    error_ = "failed: " + command;
    return false;
}

bool LiveNet::Setup(const Options& options)
{
    if (captureIf_.size() >= IFNAMSIZ) {
        error_ = "interface name too long: " + captureIf_;
        return false;
    }
    if (!(captureNsMade_ = Run("ip netns add " + captureNs_)) || !(peerNsMade_ = Run("ip netns add " + peerNs_)))
        return false;
    // Without IPv6 the kernel sends nothing on the pair by itself.
    for (const std::string& ns : {captureNs_, peerNs_})
        Run("ip netns exec " + ns + " sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1");
    error_.clear();
    if (!Run("ip link add " + captureIf_ + " netns " + captureNs_ + " address " + MacText(captureMac_) +
             " type veth peer name " + peerIf_ + " netns " + peerNs_ + " address " + MacText(peerMac_)))
        return false;
    if (options.mtu > 0 &&
        (!Run("ip -n " + captureNs_ + " link set " + captureIf_ + " mtu " + std::to_string(options.mtu)) ||
         !Run("ip -n " + peerNs_ + " link set " + peerIf_ + " mtu " + std::to_string(options.mtu))))
        return false;
    if (!Run("ip -n " + captureNs_ + " link set " + captureIf_ + " up") ||
        !Run("ip -n " + peerNs_ + " link set " + peerIf_ + " up"))
        return false;

    originalNs_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = OpenNamespace(captureNs_);
    entered_ = originalNs_ >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0)
        close(target);
    if (!entered_) {
        error_ = "cannot enter namespace " + captureNs_;
        return false;
    }
    peerSocket_ = OpenPeerSocket(peerNs_, peerIf_);
    if (peerSocket_ < 0) {
        error_ = "cannot open the peer's send socket";
        return false;
    }
    // The pair carries frames once both ends report a carrier.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!InterfaceRunning(captureIf_)) {
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = captureIf_ + " never came up";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

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
    if (peerSocket_ < 0)
        return false;
    const ssize_t n = send(peerSocket_, frame.data(), frame.size(), 0);
    return n == static_cast<ssize_t>(frame.size());
}

int LiveNet::CapturePromiscuity() const
{
    const std::string out = CommandOutput("ip -n " + captureNs_ + " -d link show " + captureIf_);
    std::smatch match;
    if (!std::regex_search(out, match, std::regex("promiscuity ([0-9]+)")))
        return -1;
    return std::stoi(match[1].str());
}

} // namespace quarn::test
