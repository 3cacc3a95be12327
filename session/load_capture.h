// A capture file opened into the session buffer as if its frames had been
// captured: in the file's order, each with its own time, cut at 1514 bytes.
// A session-mode buffer keeps the first frames, a continuous one (a ring) the
// newest, each in the slot a capture would have put it in.
#pragma once

#include <cstdint>
#include <string>

struct LoadedCapture {
    uint64_t read = 0; // the frames of the file
    uint32_t kept = 0; // those the session buffer holds now
};

// Reads every frame of the pcap or pcapng file at path first; only once all
// could be read does it build the session buffer anew (capacity slots, a ring
// when continuous) and store them, counting from 0. Otherwise returns false
// with problem set (one line, without the file's name) and the buffer left as
// it was; only memory too short for the new slots leaves it empty. Not while
// a capture runs or a report is written.
bool LoadCaptureFile(const std::string& path, uint32_t capacity, bool continuous, LoadedCapture& loaded,
                     std::string& problem);
