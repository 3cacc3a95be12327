#include "offline/report_destination.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary being written, for the signal handler: an interrupted run
// must not leave it behind. Only one report runs per process.
char pendingTemp[PATH_MAX + 1];

void RemoveTempAndDie(int signal) {
    if (pendingTemp[0] != '\0') unlink(pendingTemp);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void GuardTemp(const std::string& path) {
    if (path.size() >= sizeof pendingTemp) return;
    std::memcpy(pendingTemp, path.c_str(), path.size() + 1);
    struct sigaction action {};
    action.sa_handler = RemoveTempAndDie;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void UnguardTemp() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
    pendingTemp[0] = '\0';
}

std::string Reason() { return std::strerror(errno); }

// A symbolic link is followed, so that the report replaces the file it names
// and the link stays; a dangling link is replaced itself.
std::string ResolveTarget(const std::string& name) {
    struct stat st {};
    if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
    char resolved[PATH_MAX];
    if (realpath(name.c_str(), resolved) == nullptr) return name;
    return resolved;
}

// Mode for the finished file: an existing file keeps its own, a new one gets
// what a plain creation would give under the current umask.
mode_t FinalMode(const struct stat* existing) {
    if (existing != nullptr) return existing->st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool OpenReportDestination(const std::string& name, ReportDestination& destination,
                           std::string& problem) {
    destination = ReportDestination{};
    destination.name = name;
    if (name == "-") {
        destination.fd = STDOUT_FILENO;
        return true;
    }
    destination.target = ResolveTarget(name);
    struct stat st {};
    const bool exists = stat(destination.target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        problem = "is a directory";
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        destination.fd = open(destination.target.c_str(), O_WRONLY | O_CLOEXEC);
        if (destination.fd < 0) {
            problem = "cannot open: " + Reason();
            return false;
        }
        destination.closeFd = true;
        return true;
    }
    const std::string::size_type slash = destination.target.rfind('/');
    const std::string directory =
        slash == std::string::npos ? std::string() : destination.target.substr(0, slash + 1);
    const std::string base =
        slash == std::string::npos ? destination.target : destination.target.substr(slash + 1);
    std::string temp = directory + "." + base + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        problem = "cannot create a file beside it: " + Reason();
        return false;
    }
    fchmod(fd, FinalMode(exists ? &st : nullptr));
    destination.fd = fd;
    destination.closeFd = true;
    destination.tempPath = temp;
    GuardTemp(temp);
    return true;
}

bool CommitReportDestination(ReportDestination& destination, std::string& problem) {
    if (destination.closeFd) {
        const int fd = destination.fd;
        destination.fd = -1;
        destination.closeFd = false;
        // close() is where a network or quota file system reports a late failure.
        if (close(fd) != 0) {
            problem = "write error: " + Reason();
            DiscardReportDestination(destination);
            return false;
        }
    }
    if (destination.tempPath.empty()) return true;
    if (rename(destination.tempPath.c_str(), destination.target.c_str()) != 0) {
        problem = "cannot replace: " + Reason();
        DiscardReportDestination(destination);
        return false;
    }
    destination.tempPath.clear();
    UnguardTemp();
    return true;
}

void DiscardReportDestination(ReportDestination& destination) {
    if (destination.closeFd) close(destination.fd);
    destination.fd = -1;
    destination.closeFd = false;
    if (!destination.tempPath.empty()) {
        unlink(destination.tempPath.c_str());
        destination.tempPath.clear();
        UnguardTemp();
    }
}

bool OutputIsInput(const std::string& output, int inputFd) {
    struct stat in {}, out {};
    if (fstat(inputFd, &in) != 0 || !S_ISREG(in.st_mode)) return false;
    const int found = output == "-" ? fstat(STDOUT_FILENO, &out) : stat(output.c_str(), &out);
    return found == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}
