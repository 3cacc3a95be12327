// The capture helper as installed (root:group, mode 0750, cap_net_raw+ep; see
// CMakeLists.txt): its refusals, the one socket it passes, the loader's secure
// execution of it, and the library taking its socket from it for a member of
// the capture group, and for nobody else.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "frimble/frimble.h"
#include "frimble/open_failure.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/require_live.h"
#include "tests/support/scratch_files.h"

namespace {

using namespace quarn::test;

constexpr const char* kInstalled = QUARN_CAPTURE_HELPER;
constexpr gid_t kCaptureGroup = QUARN_CAPTURE_GID;

enum class Input { UnixSocket, NotASocket, Closed };

struct HelperRun {
    int status = -1;
    std::string err;
    int passed = 0; // descriptors handed back
    bool packetSocket = false;
};

// Runs a program with one end of a socket pair (or something else) as its
// standard input and collects what it passes back over it.
HelperRun RunHelper(const std::string& program, const std::vector<std::string>& arguments, Input input,
                    std::vector<std::string> environment = {})
{
    int pair[2], errors[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0 || pipe2(errors, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input == Input::UnixSocket)
        posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
    else if (input == Input::NotASocket)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    else
        posix_spawn_file_actions_addclose(&actions, 0);
    posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    HelperRun run;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pair[1]);
    close(errors[1]);
    if (spawned == 0) {
        char byte, control[CMSG_SPACE(4 * sizeof(int))] = {};
        iovec data{&byte, 1};
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        // Every descriptor passed is counted and closed; the first must be a packet socket.
        const bool got = recvmsg(pair[0], &message, MSG_CMSG_CLOEXEC) > 0;
        for (cmsghdr* c = got ? CMSG_FIRSTHDR(&message) : nullptr; c != nullptr; c = CMSG_NXTHDR(&message, c))
            for (size_t i = 0; i < (c->cmsg_len - CMSG_LEN(0)) / sizeof(int); ++i, ++run.passed) {
                int fd, domain = 0;
                socklen_t size = sizeof domain;
                std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
                run.packetSocket = run.passed == 0 && getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0
                    && domain == AF_PACKET;
                close(fd);
            }
        char chunk[512];
        for (ssize_t n; (n = read(errors[0], chunk, sizeof chunk)) > 0;)
            run.err.append(chunk, static_cast<size_t>(n));
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            run.status = WEXITSTATUS(status);
    }
    close(pair[0]);
    close(errors[0]);
    return run;
}

int OpenDescriptors()
{
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<int>(std::distance(begin(fds), end(fds)));
}

TEST(CaptureHelper, RefusesBadInputInOneLineWithItsStatusAndPassesNothing)
{
    QUARN_REQUIRE_LIVE();
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        Input input;
        int status;
        std::string line;
    };
    const std::string usage = "usage: capture-helper INTERFACE (standard input: a Unix socket)";
    const Case cases[] = {
        {"no arguments", {}, Input::UnixSocket, 2, usage},
        {"two arguments", {"lo", "lo"}, Input::UnixSocket, 2, usage},
        {"an empty name", {""}, Input::UnixSocket, 2, "empty interface name"},
        {"16 characters",
         {"abcdefghijklmnop"},
         Input::UnixSocket,
         2,
         "interface name too long (at most 15 characters)"},
        {"a path", {"../x"}, Input::UnixSocket, 2, "not an interface name"},
        {"a control character", {"eth\x1b"}, Input::UnixSocket, 2, "not an interface name"},
        {"no such interface", {"quarnnone0"}, Input::UnixSocket, 3, "no such interface"},
        {"input not a socket", {"lo"}, Input::NotASocket, 4, "standard input is not a Unix socket"},
        {"input closed", {"lo"}, Input::Closed, 4, "standard input is closed (it must be a Unix socket)"},
    };
    for (const Case& c : cases) {
        const HelperRun run = RunHelper(kInstalled, c.arguments, c.input);
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_EQ(run.err, "capture-helper: " + c.line + "\n") << c.what;
        EXPECT_EQ(run.passed, 0) << c.what;
    }
    const HelperRun good = RunHelper(kInstalled, {"lo"}, Input::UnixSocket);
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.err, "");
    EXPECT_EQ(good.passed, 1);
    EXPECT_TRUE(good.packetSocket);
}

// The helper gains a capability when it starts, so the loader runs it in
// secure mode: LD_PRELOAD and LD_LIBRARY_PATH, which take over the same program
// without the capability, have no effect on it.
TEST(CaptureHelper, TheLoaderIgnoresPreloadAndLibraryPathForIt)
{
    QUARN_REQUIRE_LIVE();
    ScratchDirectory dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    WriteFile(dir / "libc.so.6", "not a library");
    const std::string preload = "LD_PRELOAD=" QUARN_PRELOAD_PROBE, libraries = "LD_LIBRARY_PATH=" + dir.path();
    const std::string copy = dir / "capture-helper";
    std::filesystem::copy_file(kInstalled, copy);
    std::filesystem::permissions(copy, std::filesystem::perms(0755));
    HelperRun preloaded, misled, secure;
    ASSERT_TRUE(RunAsOrdinaryUser({kCaptureGroup}, [&] {
        preloaded = RunHelper(copy, {"lo"}, Input::UnixSocket, {preload});
        misled = RunHelper(copy, {"lo"}, Input::UnixSocket, {libraries});
        secure = RunHelper(kInstalled, {"lo"}, Input::UnixSocket, {preload, libraries});
    }));
    EXPECT_EQ(preloaded.status, 99) << "the probe ends a program it is preloaded into";
    EXPECT_EQ(misled.status, 127) << misled.err;
    EXPECT_EQ(secure.status, 0) << secure.err;
    EXPECT_EQ(secure.passed, 1);
    EXPECT_TRUE(secure.packetSocket);
}

// An ordinary user's program opens an adapter through the helper when the
// user is in the capture group, promiscuous without cap_net_admin; a refused
// open leaves no descriptor behind. (The reason told is the binding's test,
// capturing through the helper quarn-report's.)
TEST(CaptureHelper, TheLibraryOpensThroughItForAMemberOnly)
{
    QUARN_REQUIRE_LIVE();
    LiveNet net;
    ASSERT_TRUE(net.Ready()) << net.Error();
    const std::string name = net.AdapterName();
    const int descriptors = OpenDescriptors();
    ASSERT_TRUE(RunAsOrdinaryUser({}, [&] { EXPECT_EQ(PacketOpenAdapter(name.c_str()), nullptr); }));
    EXPECT_EQ(OpenDescriptors(), descriptors);
    ASSERT_TRUE(RunAsOrdinaryUser({kCaptureGroup}, [&] {
        AdapterObject* adapter = PacketOpenAdapter(name.c_str());
        ASSERT_NE(adapter, nullptr) << frimble::LastOpenFailure();
        EXPECT_TRUE(PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS));
        PacketCloseAdapter(adapter);
    }));
}

} // namespace
