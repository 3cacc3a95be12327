// The progress line on standard error while a large capture file is reported:
// frames done and the share of the file read, refreshed a few times a second
// and cleared at the end. Shown only when standard error is a terminal.
#pragma once

#include <cstdint>
#include <cstdio>

// Files at least this large get a progress line.
inline constexpr int64_t kProgressMinimumFileSize = 8 << 20;

// Start watching; capture is the stream the frames are read from and fileSize
// its size in bytes. Shows the first line at once when the line is wanted.
void StartProgress(std::FILE* capture, int64_t fileSize);
// Called once per frame: cheap, refreshes the line only now and then.
void TickProgress(uint64_t framesDone);
// Clear the line (if one is shown).
void EndProgress();
