#include "capture/capture_counts.h"

std::string WithThousandsSeparators(uint64_t value)
{
    std::string digits = std::to_string(value);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

std::string DescribeCaptureCounts(const CaptureCounts& counts)
{
    return "Received " + WithThousandsSeparators(counts.received) + ", kept " + WithThousandsSeparators(counts.kept)
        + ", refused by the filters " + WithThousandsSeparators(counts.refused) + ", lost "
        + WithThousandsSeparators(counts.lost);
}
