#include "files/file_destination.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/output_signals.h"

namespace {

std::string Reason() { return std::strerror(errno); }

// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

constexpr const char* kPlantedLink
    = " a symbolic link of another user in a sticky world-writable directory; not followed";
constexpr const char* kPlantedFile = " a file of another user in a sticky world-writable directory; not written";

// The directory that holds path's last part.
std::string DirectoryOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// True when entry (the status of path) lies in a sticky directory that
// everyone may write to and belongs to neither this process's user nor the
// directory's owner: someone else put it there. Following such a link, or
// writing into or replacing such a file, would let that user choose what is
// overwritten, or read what is written.
bool PlantedByAnother(const std::string& path, const struct stat& entry)
{
    if (entry.st_uid == geteuid())
        return false;
    struct stat directory {};
    if (stat(DirectoryOf(path).c_str(), &directory) != 0)
        return true; // cannot tell: refuse
    const mode_t shared = S_ISVTX | S_IWOTH;
    return (directory.st_mode & shared) == shared && entry.st_uid != directory.st_uid;
}

// Follows the symbolic links that name ends in, one at a time, so that each
// can be checked (see PlantedByAnother); target becomes the first name that
// is no link. A link that leads to no name that exists stays the target: the
// rename replaces a dangling link itself, and a link of /proc (/dev/stdout to
// a pipe) is opened through itself.
bool FollowLinks(const std::string& name, std::string& target, std::string& problem)
{
    target = name;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        if (PlantedByAnother(target, st)) {
            problem = (links == 0 ? "is" : "leads through") + std::string(kPlantedLink);
            return false;
        }
        if (links == kMaxLinks) {
            problem = "cannot open: " + std::string(std::strerror(ELOOP));
            return false;
        }
        char text[PATH_MAX];
        const ssize_t size = readlink(target.c_str(), text, sizeof text);
        if (size <= 0 || static_cast<size_t>(size) == sizeof text)
            return true;
        const std::string linked(text, static_cast<size_t>(size));
        const std::string next = linked[0] == '/' ? linked : DirectoryOf(target) + "/" + linked;
        if (lstat(next.c_str(), &st) != 0)
            return true;
        target = next;
    }
}

// The process's umask, read without setting it: umask() reads it only by
// changing it, and for that moment another thread's new file would get the
// wrong mode. Where the kernel does not tell it (before Linux 4.7): 077, so
// that the file stays private rather than open to all.
mode_t ProcessUmask()
{
    mode_t mask = 077;
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = value & 0777;
                break;
            }
        std::fclose(status);
    }
    return mask;
}

// Mode for the finished file: the permission bits of a file of the process's
// own user that it replaces (never setuid, setgid or sticky, which root's
// copy of another's file would turn into a hole); for a new file, or one of
// another user, what a plain creation would give.
mode_t FinalMode(const struct stat* existing)
{
    if (existing != nullptr && existing->st_uid == geteuid())
        return existing->st_mode & 0777;
    return 0666 & ~ProcessUmask();
}

} // namespace

bool OpenFileDestination(const std::string& name, FileDestination& destination, std::string& problem,
                         DirectOutput direct)
{
    destination = FileDestination{};
    destination.name = name;
    if (name == "-") {
        destination.fd = STDOUT_FILENO;
        return true;
    }
    if (!FollowLinks(name, destination.target, problem)) {
        destination.refused = true;
        return false;
    }
    struct stat st {};
    const bool exists = stat(destination.target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        problem = "is a directory";
        return false;
    }
    if (exists && PlantedByAnother(destination.target, st)) {
        problem = (destination.target == name ? "is" : "leads to") + std::string(kPlantedFile);
        destination.refused = true;
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        if (direct == DirectOutput::Refused) {
            problem = "is not a regular file; not written";
            destination.refused = true;
            return false;
        }
        destination.fd = open(destination.target.c_str(), O_WRONLY | O_CLOEXEC);
        if (destination.fd < 0) {
            problem = "cannot open: " + Reason();
            return false;
        }
        destination.closeFd = true;
        return true;
    }
    const std::string::size_type slash = destination.target.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : destination.target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? destination.target : destination.target.substr(slash + 1);
    std::string temp = directory + "." + base + ".XXXXXX";
    const OutputSignalsHeld held; // created and known to the handlers as one step
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        problem = "cannot create a file beside it: " + Reason();
        return false;
    }
    if (!GuardTemp(temp.c_str())) {
        close(fd);
        unlink(temp.c_str());
        problem = "too many output files open at once";
        return false;
    }
    fchmod(fd, FinalMode(exists ? &st : nullptr));
    destination.fd = fd;
    destination.closeFd = true;
    destination.tempPath = temp;
    destination.directory = directory.empty() ? "." : directory;
    return true;
}

bool CommitFileDestination(FileDestination& destination, std::string& problem)
{
    if (destination.closeFd) {
        const int fd = destination.fd;
        destination.fd = -1;
        destination.closeFd = false;
        // The output reaches the disk before it takes OUT's name: after a crash
        // OUT is the old file or the whole new one, never an empty or short one.
        // close() is where a network or quota file system reports a late failure.
        int error = 0;
        if (!destination.tempPath.empty() && fsync(fd) != 0)
            error = errno;
        if (close(fd) != 0 && error == 0)
            error = errno;
        if (error != 0) {
            problem = std::string("write error: ") + std::strerror(error);
            DiscardFileDestination(destination);
            return false;
        }
    }
    if (destination.tempPath.empty())
        return true;
    {
        const OutputSignalsHeld held;
        if (rename(destination.tempPath.c_str(), destination.target.c_str()) != 0) {
            problem = "cannot replace: " + Reason();
            DiscardFileDestination(destination);
            return false;
        }
        UnguardTemp(destination.tempPath.c_str());
        destination.tempPath.clear();
    }
    // And the new name reaches the disk too. The output is whole and in place
    // by now, so a directory that cannot be synced (some file systems refuse)
    // does not turn the run into a failure.
    const int directory = open(destination.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}

void DiscardFileDestination(FileDestination& destination)
{
    if (destination.closeFd)
        close(destination.fd);
    destination.fd = -1;
    destination.closeFd = false;
    if (!destination.tempPath.empty()) {
        const OutputSignalsHeld held;
        unlink(destination.tempPath.c_str());
        UnguardTemp(destination.tempPath.c_str());
        destination.tempPath.clear();
    }
}

bool OutputIsInput(const std::string& output, int inputFd)
{
    struct stat in {
    }, out{};
    if (fstat(inputFd, &in) != 0 || !S_ISREG(in.st_mode))
        return false;
    const int found = output == "-" ? fstat(STDOUT_FILENO, &out) : stat(output.c_str(), &out);
    return found == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}
