// Outputs written as root where other users may plant files: a link or a file
// that another user put into a sticky directory open to all (as /tmp) is not
// followed, written into or replaced, and a replaced file's mode carries over
// only its permission bits, and only from the process's own user.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "files/file_destination.h"
#include "tests/support/require_root.h"
#include "tests/support/scratch_files.h"

namespace {

constexpr uid_t kOther = 65534;

// Writes "new" to path the way every output is written: "" once it is in
// place, else the problem told.
std::string WriteNew(const std::string& path)
{
    FileDestination destination;
    std::string problem;
    if (!OpenFileDestination(path, destination, problem))
        return problem.empty() ? "refused without a reason" : problem;
    EXPECT_EQ(write(destination.fd, "new", 3), 3);
    return CommitFileDestination(destination, problem) ? "" : problem;
}

// A machine's shared directories: "secret" (root's, 0600) and "home"
// (root's), and two sticky directories open to all, "shared" (root's) and
// "theirs" (the other user's), holding what users planted. Each output either
// replaces the file named (reached through its links) or is refused in one
// line, writing nothing; the replacing cases come last.
TEST(FileDestination, EntriesPlantedInASharedDirectoryAreNotFollowedOrReplaced)
{
    QUARN_REQUIRE_ROOT();
    ScratchDirectory dir;
    const std::string shared = dir / "shared", theirs = dir / "theirs";
    ASSERT_EQ(mkdir((dir / "home").c_str(), 0755) | mkdir(shared.c_str(), 0) | chmod(shared.c_str(), 01777)
                  | mkdir(theirs.c_str(), 0) | chmod(theirs.c_str(), 01777) | chown(theirs.c_str(), kOther, 0),
              0);
    const struct {
        const char* path;
        uid_t owner;
        const char* linkText; // null: a file holding its own name
    } plants[] = {
        {"secret", 0, nullptr},
        {"home/a", 0, nullptr},
        {"home/b", 0, nullptr},
        {"home/theirs", kOther, nullptr},
        {"shared/theirs", kOther, nullptr},
        {"shared/link", kOther, "../secret"},
        {"shared/own", 0, "../home/a"},
        {"theirs/link", kOther, "../home/b"},
        {"home/to-file", 0, "../shared/theirs"},
        {"home/to-link", 0, "../shared/link"},
    };
    for (const auto& plant : plants) {
        const std::string path = dir / plant.path;
        if (plant.linkText == nullptr)
            WriteFile(path, std::string_view(plant.path));
        ASSERT_EQ((plant.linkText ? symlink(plant.linkText, path.c_str()) : 0) | lchown(path.c_str(), plant.owner, 0),
                  0);
    }
    ASSERT_EQ(chmod((dir / "secret").c_str(), 0600) | mkfifo((shared + "/fifo").c_str(), 0666)
                  | chown((shared + "/fifo").c_str(), kOther, 0),
              0);
    // Held open: a report written into the FIFO lands instead of waiting.
    const int fifo = open((shared + "/fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);

    const struct {
        const char* output;
        const char* replaced; // null: refused
    } cases[] = {
        {"shared/link", nullptr},  {"shared/theirs", nullptr},     {"shared/fifo", nullptr},
        {"home/to-file", nullptr}, {"home/to-link", nullptr},      {"shared/own", "home/a"},
        {"theirs/link", "home/b"}, {"home/theirs", "home/theirs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const std::string problem = WriteNew(dir / c.output);
        if (c.replaced != nullptr) {
            EXPECT_EQ(problem, "");
            EXPECT_EQ(ReadFile(dir / c.replaced), "new");
            continue;
        }
        EXPECT_NE(problem, "");
        EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
        // Nor is anything written that the refused outputs lead to.
        EXPECT_EQ(ReadFile(dir / "secret"), "secret");
        EXPECT_EQ(ReadFile(dir / "shared/theirs"), "shared/theirs");
    }
    int pending = -1;
    EXPECT_TRUE(ioctl(fifo, FIONREAD, &pending) == 0 && pending == 0) << "written into the FIFO";
    close(fifo);
}

// The new file gets the old one's permission bits when the process's own user
// owned it, never its setuid, setgid or sticky bit; a file of another user
// gives way to a fresh one: 0666 less the umask (022 here).
TEST(FileDestination, ReplacedFilesModeCarriesOnlyOwnPermissionBits)
{
    QUARN_REQUIRE_ROOT();
    const struct {
        uid_t owner;
        mode_t before, after;
    } cases[] = {
        {0, 06777, 0777}, {0, 01640, 0640}, {0, 0604, 0604}, {kOther, 0600, 0644}, {kOther, 06777, 0644},
    };
    const mode_t previousMask = umask(022);
    ScratchDirectory dir;
    const std::string path = dir / "out";
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "owner " << c.owner << ", mode " << std::oct << c.before);
        WriteFile(path, std::string_view("old"));
        ASSERT_EQ(chown(path.c_str(), c.owner, 0) | chmod(path.c_str(), c.before), 0);
        EXPECT_EQ(WriteNew(path), "");
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.after) << std::oct << (st.st_mode & 07777);
        EXPECT_EQ(st.st_uid, geteuid());
    }
    umask(previousMask);
}

} // namespace
