#include "frimble/helper_socket.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifndef FRIMBLE_CAPTURE_HELPER
#error "FRIMBLE_CAPTURE_HELPER: the helper's installed path, set by the build"
#endif
#ifndef FRIMBLE_CAPTURE_GROUP
#error "FRIMBLE_CAPTURE_GROUP: the group that may run the helper, set by the build"
#endif

namespace frimble {
namespace {

constexpr char kHelper[] = FRIMBLE_CAPTURE_HELPER;
constexpr char kGroup[] = FRIMBLE_CAPTURE_GROUP;
constexpr char kHelperPrefix[] = "capture-helper: ";

thread_local char failure[256];

template <typename... Texts>
const char* Fail(const char* format, Texts... texts)
{
    std::snprintf(failure, sizeof failure, format, texts...);
    return failure;
}

std::string UserName()
{
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        return found->pw_name;
    return std::to_string(getuid());
}

// Why the helper could not be started at all.
const char* SpawnFailure(int error)
{
    if (error == EACCES) {
        const std::string user = UserName();
        return Fail("not a member of %s: sudo adduser %s %s, then log in again", kGroup, user.c_str(), kGroup);
    }
    if (error == ENOENT)
        return Fail("the capture helper %s is not installed (it comes with libfrimble1)", kHelper);
    return Fail("cannot run the capture helper %s: %s", kHelper, std::strerror(error));
}

// Runs the helper with the socket pair's other end as its standard input and
// a pipe as its standard error; no environment, default signal handling.
int Spawn(const char* interfaceName, int input, int errors, pid_t& pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return ENOMEM;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return ENOMEM;
    }
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors, STDERR_FILENO);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char name[] = "capture-helper";
    char* arguments[] = {name, const_cast<char*>(interfaceName), nullptr};
    char* environment[] = {nullptr};
    const int error = posix_spawn(&pid, kHelper, &actions, &attributes, arguments, environment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

// The descriptor the helper passed, or -1; any more than one are closed.
int ReceiveDescriptor(int fd)
{
    char byte;
    iovec data{&byte, 1};
    union {
        cmsghdr align;
        char bytes[CMSG_SPACE(4 * sizeof(int))];
    } control{};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control.bytes;
    message.msg_controllen = sizeof control.bytes;
    ssize_t got;
    do
        got = recvmsg(fd, &message, MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    int received = -1;
    if (got <= 0)
        return received;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int passed;
            std::memcpy(&passed, CMSG_DATA(c) + i * sizeof(int), sizeof passed);
            if (received < 0)
                received = passed;
            else
                close(passed);
        }
    }
    return received;
}

bool IsPacketSocket(int fd)
{
    int domain = 0, type = 0;
    socklen_t size = sizeof domain;
    if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) != 0 || domain != AF_PACKET)
        return false;
    size = sizeof type;
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_RAW;
}

// The helper's one line, without its program prefix and line end.
std::string ReadRefusal(int fd)
{
    std::string text;
    char chunk[256];
    while (text.size() < 1024) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(chunk, static_cast<size_t>(n));
    }
    text.resize(std::min(text.find('\n'), text.size()));
    if (text.compare(0, sizeof kHelperPrefix - 1, kHelperPrefix) == 0)
        text.erase(0, sizeof kHelperPrefix - 1);
    return text;
}

void Reap(pid_t pid)
{
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
}

} // namespace

int OpenSocketThroughHelper(const char* interfaceName, const char*& failed)
{
    failed = nullptr;
    int pair[2], errors[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        failed = Fail("cannot reach the capture helper: %s", std::strerror(errno));
        return -1;
    }
    if (pipe2(errors, O_CLOEXEC) != 0) {
        failed = Fail("cannot reach the capture helper: %s", std::strerror(errno));
        close(pair[0]);
        close(pair[1]);
        return -1;
    }
    pid_t pid = 0;
    const int error = Spawn(interfaceName, pair[1], errors[1], pid);
    close(pair[1]);
    close(errors[1]);
    int fd = -1;
    if (error != 0) {
        failed = SpawnFailure(error);
    } else {
        // The helper ends after passing the socket or its one line of refusal,
        // so both reads end.
        fd = ReceiveDescriptor(pair[0]);
        const std::string refusal = ReadRefusal(errors[0]);
        Reap(pid);
        if (fd >= 0 && !IsPacketSocket(fd)) {
            close(fd);
            fd = -1;
        }
        if (fd < 0)
            failed = Fail("capture helper: %s", refusal.empty() ? "passed no packet socket" : refusal.c_str());
    }
    close(pair[0]);
    close(errors[0]);
    return fd;
}

} // namespace frimble
