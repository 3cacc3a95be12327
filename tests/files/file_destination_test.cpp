// Outputs written as root over files of other users: a replaced file's mode
// carries over only its permission bits, and only from the process's own user.
#include <gtest/gtest.h>

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
