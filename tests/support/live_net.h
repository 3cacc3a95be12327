// Live-capture test support: a private pair of network namespaces joined by a
// veth pair, so tests capture real frames without touching the machine's own
// interfaces.
//
//   TEST(Capture, Something) {
//       QUARN_REQUIRE_LIVE();          // skip unless root; under CI, fail instead
//       LiveNet net;                   // or LiveNet net(LiveNet::Options{.mtu = 9000});
//       ASSERT_TRUE(net.Ready()) << net.Error();
//       ... PacketGetAdapterNames now lists net.AdapterName() first ...
//       net.Send(frame);               // sent from the peer end, arrives on the capture end
//   }
//
// The constructor creates two namespaces with unique names (capture side and
// peer side, named after the pid and a counter), a veth pair with one end in
// each (fixed MAC addresses, IPv6 off so the kernel sends nothing of its own,
// optional MTU), brings both ends up and moves the calling thread into the
// capture namespace (threads it starts afterwards inherit it). The capture end
// is then the namespace's only Ethernet interface. A raw packet socket on the
// peer end, opened from a helper thread inside the peer namespace, sends the
// test's frames. The destructor closes that socket, returns the calling thread
// to its original namespace and removes both namespaces with the veth pair.
// Construct and destroy a LiveNet on the same thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <gtest/gtest.h>

namespace quarn::test {

// Why live tests cannot run here (not root), or nothing when they can.
std::optional<std::string> LiveUnavailable();
// True when the environment has CI set: live tests must run, not skip.
bool UnderCi();

class LiveNet {
public:
    struct Options {
        int mtu = 0;  // 0: leave the default
    };

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
    const std::array<uint8_t, 6>& CaptureMac() const { return captureMac_; }
    const std::array<uint8_t, 6>& PeerMac() const { return peerMac_; }

    // Sends one whole frame from the peer end. True when the kernel took it all.
    bool Send(std::span<const uint8_t> frame) const;
    // The peer end's raw packet socket (bound to the peer interface).
    int PeerSocket() const { return peerSocket_; }
    // The capture end's promiscuity count, as `ip -d link` shows it; -1 if unknown.
    int CapturePromiscuity() const;

private:
    bool Setup(const Options& options);
    bool Run(const std::string& command);

    bool ready_ = false;
    std::string error_;
    std::string captureNs_, peerNs_, captureIf_, peerIf_;
    std::array<uint8_t, 6> captureMac_{}, peerMac_{};
    bool captureNsMade_ = false, peerNsMade_ = false;
    int originalNs_ = -1;
    bool entered_ = false;
    int peerSocket_ = -1;
};

// Output of a shell command (stdout), empty on failure.
std::string CommandOutput(const std::string& command);

} // namespace quarn::test

// Use at the top of a live test body.
#define QUARN_REQUIRE_LIVE()                                               \
    do {                                                                   \
        if (auto quarnWhy = ::quarn::test::LiveUnavailable()) {            \
            if (::quarn::test::UnderCi())                                  \
                FAIL() << "live test cannot run under CI: " << *quarnWhy;  \
            else                                                           \
                GTEST_SKIP() << *quarnWhy;                                 \
        }                                                                  \
    } while (0)
