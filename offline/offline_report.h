// The report of a capture file: every frame of a pcap or pcapng file of
// Ethernet frames, through the same report engine the analyzer's writer uses.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int kExitReported = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Write the report of the capture file input to output ("-": standard output),
// its frame blocks decoded on jobs threads (1: on the calling thread alone).
// Failures are told on standard error in one line; returns the exit status.
int WriteOfflineReport(const std::string& input, const std::string& output, uint32_t jobs);
