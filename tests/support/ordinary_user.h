// For tests run as root: code run as an ordinary user (uid and gid 65534,
// "nobody") with chosen supplementary groups and no capability. Credentials
// belong to each thread in the kernel, and the raw system calls change those
// of one thread alone, so the rest of the test process stays root. Processes
// started from that thread run as that user too.
#pragma once

#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <thread>
#include <vector>

namespace quarn::test {

inline constexpr unsigned kOrdinaryUid = 65534;

// Runs fn on a thread of its own as the ordinary user; false when that thread
// could not become the user (fn then does not run).
inline bool RunAsOrdinaryUser(std::vector<gid_t> groups, const std::function<void()>& fn)
{
    bool became = false;
    std::thread([&] {
        became = syscall(SYS_setgroups, groups.size(), groups.data()) == 0
            && syscall(SYS_setresgid, kOrdinaryUid, kOrdinaryUid, kOrdinaryUid) == 0
            && syscall(SYS_setresuid, kOrdinaryUid, kOrdinaryUid, kOrdinaryUid) == 0;
        if (became)
            fn();
    }).join();
    return became;
}

} // namespace quarn::test
