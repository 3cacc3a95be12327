// Live-test support: two private network namespaces joined by a veth pair.
// The constructor moves the calling thread (and threads it starts later) into
// the capture namespace, whose only Ethernet interface is the capture end;
// Send() transmits from the peer end. Fixed MACs, IPv6 off (the kernel sends
// nothing of its own), optional MTU. The destructor undoes it all; construct
// and destroy on the same thread. Tests skip without root through
// QUARN_REQUIRE_LIVE (require_live.h); this part needs no GoogleTest.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quarn::test {

// Why live tests cannot run here (not root), or nothing when they can.
std::optional<std::string> LiveUnavailable();
// True when the environment has CI set: live tests must run, not skip.
bool UnderCi();
// Output of a shell command (stdout), empty on failure.
std::string CommandOutput(const std::string& command);
// Runs a shell command with its output discarded; true when it succeeded.
bool RunQuiet(const std::string& command);
// Processor time of the whole process (every thread) while the caller sleeps
// for `span`, in seconds: what waiting threads cost.
double CpuSecondsWhileSleeping(std::chrono::milliseconds span);
// Moves the calling thread into a named network namespace (threads and
// processes it starts later follow); false when it cannot.
bool EnterNamespace(const std::string& name);

class LiveNet {
public:
    struct Options {
        int mtu = 0; // 0: leave the default
    };
    using Mac = std::array<uint8_t, 6>;

    LiveNet() : LiveNet(Options{}) {}
    explicit LiveNet(Options options);
    ~LiveNet();
    LiveNet(const LiveNet&) = delete;
    LiveNet& operator=(const LiveNet&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Error() const { return error_; }
    const std::string& CaptureNamespace() const { return captureNs_; }
    const std::string& PeerNamespace() const { return peerNs_; }
    const std::string& CaptureInterface() const { return captureIf_; }
    const std::string& PeerInterface() const { return peerIf_; }
    // The capture end as the packet library names it: "\Device\<interface>".
    std::string AdapterName() const { return "\\Device\\" + captureIf_; }
    const Mac& CaptureMac() const { return captureMac_; }
    const Mac& PeerMac() const { return peerMac_; }
    // Sends one whole frame from the peer end. True when the kernel took it all.
    bool Send(std::span<const uint8_t> frame) const;
    // The peer end's raw packet socket (bound to the peer interface).
    int PeerSocket() const { return peerSocket_; }
    // The capture end's promiscuity count, as `ip -d link` shows it; -1 if unknown.
    int CapturePromiscuity() const;
    // Sets the capture end down or up, as an operator would; up returns once
    // the pair carries frames again.
    bool SetCaptureLink(bool up);
    // Deletes the pair (both ends), as a removed network card would.
    bool DeleteCaptureInterface();

private:
    bool Setup(const Options& options);
    bool Run(const std::string& command);
    bool WaitForCarrier();

    bool ready_ = false, captureNsMade_ = false, peerNsMade_ = false, entered_ = false;
    std::string error_, captureNs_, peerNs_, captureIf_, peerIf_;
    Mac captureMac_{}, peerMac_{};
    int originalNs_ = -1, peerSocket_ = -1;
};

} // namespace quarn::test
