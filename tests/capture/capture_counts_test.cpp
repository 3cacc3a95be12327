// The counts' text, as the counter label's tool tip shows it.
#include <gtest/gtest.h>

#include <cstdint>
#include <locale>

#include "capture/capture_counts.h"

namespace {

// Full stops between thousands, as a German locale writes them.
struct FullStops : std::numpunct<char> {
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(CaptureCountsText, ThousandsAreSeparatedByCommasWhateverTheLocale)
{
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new FullStops));
    const struct {
        uint64_t value;
        const char* text;
    } cases[] = {{0, "0"},
                 {999, "999"},
                 {1000, "1,000"},
                 {1204, "1,204"},
                 {100000, "100,000"},
                 {1234567, "1,234,567"},
                 {UINT64_MAX, "18,446,744,073,709,551,615"}};
    for (const auto& c : cases)
        EXPECT_EQ(WithThousandsSeparators(c.value), c.text) << c.value;

    EXPECT_EQ(DescribeCaptureCounts({.received = 1204, .kept = 1000, .refused = 204, .lost = 0}),
              "Received 1,204, kept 1,000, refused by the filters 204, lost 0");
    EXPECT_EQ(DescribeCaptureCounts({.received = 5, .kept = 4, .refused = 1, .lost = 12345}),
              "Received 5, kept 4, refused by the filters 1, lost 12,345");
    std::locale::global(previous);
}

} // namespace
