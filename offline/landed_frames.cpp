#include "offline/landed_frames.h"

#include "report/report_output.h"

void LandedFrames::Ended(uint32_t number, uint64_t end)
{
    // Only the frames still buffered are kept: a few hundred kilobytes' worth.
    const uint64_t landed = ReportBytesLanded();
    while (!waiting_.empty() && waiting_.front().end <= landed)
        waiting_.pop_front();
    if (end > landed)
        waiting_.push_back({number, end});
}

std::optional<uint32_t> LandedFrames::FirstNotLanded() const
{
    const uint64_t landed = ReportBytesLanded();
    for (const End& frame : waiting_)
        if (frame.end > landed)
            return frame.number;
    return std::nullopt;
}
