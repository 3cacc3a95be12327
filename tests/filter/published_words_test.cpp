// Words published whole: a read that publications overtake half-way is never
// taken for a publication.
#include "filter/published_words.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(PublishedWords, AReadOvertakenHalfWayGivesOnePublicationWhole)
{
    for (int overtaking = 0; overtaking <= 3; ++overtaking) {
        PublishedWords<2> published;
        EXPECT_EQ(published.Get(), (PublishedWords<2>::Words{0, 0}));
        published.Publish({1, 1});
        uint64_t next = 2;
        bool first = true;
        // Between its two loads, the first attempt lets `overtaking`
        // publications through; the second of them rewrites the copy it reads.
        const auto [word0, word1] = published.ReadWhole([&](const std::atomic<uint64_t>* words) {
            const uint64_t word0 = words[0].load(std::memory_order_acquire);
            for (int i = 0; first && i < overtaking; ++i, ++next)
                published.Publish({next, next});
            first = false;
            return std::pair(word0, words[1].load(std::memory_order_acquire));
        });
        EXPECT_EQ(word0, word1) << overtaking << " publications overtook the read";
        EXPECT_EQ(published.Get(), (PublishedWords<2>::Words{next - 1, next - 1}));
    }
}

} // namespace
