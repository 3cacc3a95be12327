// Which frames of a report have reached its file. The output buffers lines and
// writes them in large pieces, so a failed write is found frames after the
// lines it lost were made: the report stopped at the first frame whose lines
// did not all land, whichever frame was being written when the write failed.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

class LandedFrames {
public:
    // Frame `number`'s lines end at byte `end` of the report output, counted
    // as ReportBytesTaken() counts. Frames come in order.
    void Ended(uint32_t number, uint64_t end);
    // The first frame ended so far whose lines did not all reach the file;
    // nothing when every one of them did.
    std::optional<uint32_t> FirstNotLanded() const;

private:
    struct End {
        uint32_t number;
        uint64_t end;
    };
    std::deque<End> waiting_; // frames not known to have landed, in order
};
