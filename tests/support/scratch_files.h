// Scratch files for the tests and the benchmarks: a fresh directory removed
// with everything in it, optionally made the working directory, and whole-file
// reads and writes. No GoogleTest, so the benchmarks can use it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A fresh directory under the system's temporary directory, removed with
// everything in it by the destructor. Throws when none can be made.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> Names() const; // sorted

private:
    std::string path_;
};

// A scratch directory made current for the object's lifetime; the previous
// one is current again before the scratch directory is removed.
class TemporaryWorkingDirectory {
public:
    TemporaryWorkingDirectory();
    ~TemporaryWorkingDirectory();

private:
    std::string previous_;
    ScratchDirectory directory_;
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFile(const std::string& path, std::string_view text);
std::string ReadFile(const std::string& path); // empty when unreadable
// How often needle stands in text (overlapping places count).
int CountOf(const std::string& text, const std::string& needle);
