// Where an output file (a report, a saved capture) is written, so that a
// failed run never leaves a file that looks complete.
//
// A regular file (or a name not yet taken) is written as a temporary file in
// the same directory, flushed to disk and renamed over the name only once the
// file is whole; on failure (or a signal that ends the program) the temporary
// is removed and the old file stays as it was.
// Standard output ("-") and files that cannot be replaced by a rename (a pipe,
// a terminal, /dev/null) are written directly, where the caller allows it.
//
// Run as root, an output may be named in a directory where anyone may put
// files (/tmp). In a sticky directory that everyone may write to, a symbolic
// link or a file owned by neither the process's user nor the directory's owner
// was planted by someone else: such a link is not followed and such a file is
// neither written into nor replaced, whatever the kernel's own protections
// are set to. The new file takes the permission bits (never setuid, setgid or
// sticky) of a file of the process's own user that it replaces, and otherwise
// 0666 less the umask.
#pragma once

#include <string>

struct FileDestination {
    std::string name;      // as given (on the command line, in a dialog)
    std::string target;    // file the temporary replaces (symbolic links resolved)
    std::string tempPath;  // empty when written directly
    std::string directory; // holding the temporary, synced after the rename
    int fd = -1;
    bool closeFd = false;
    // Set when opening failed because of what the name is (planted by another
    // user, or not a regular file where only one will do), not because a file
    // could not be created.
    bool refused = false;
};

// What may be written directly, without a temporary and a rename.
enum class DirectOutput {
    Allowed, // a pipe, a terminal, a device (except one planted as above)
    Refused, // nothing: only a regular file, or a new one, is written
};

// Open the destination; false with problem set (one line, no file name prefix).
bool OpenFileDestination(const std::string& name, FileDestination& destination, std::string& problem,
                         DirectOutput direct = DirectOutput::Allowed);
// Close it and move the temporary into place; false with problem set, in which
// case the temporary has been removed.
bool CommitFileDestination(FileDestination& destination, std::string& problem);
// Close it and remove the temporary, leaving the target untouched.
void DiscardFileDestination(FileDestination& destination);
// True when OUT (standard output for "-"; links followed) is the same regular
// file as the one open for reading on inputFd: writing it would destroy the
// capture being read.
bool OutputIsInput(const std::string& output, int inputFd);
