#include "BlockScale.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(BlockScaleTest, EveryPositionHasABlockOfItsOwnAndTheEndsMeet) {
    constexpr uint64_t intMax = std::numeric_limits<int>::max();
    for (const uint64_t blocks : {uint64_t(1), uint64_t(3), intMax, intMax + 1, (uint64_t(1) << 31) + 10,
                                  uint64_t(1) << 40, std::numeric_limits<uint64_t>::max()}) {
        SCOPED_TRACE(blocks);
        const BlockScale scale(blocks);
        const int last = scale.positions();
        EXPECT_EQ(uint64_t(last), std::min(blocks, intMax));
        EXPECT_EQ(scale.blockAt(1), 0u);
        EXPECT_EQ(scale.blockAt(last), blocks - 1);
        EXPECT_EQ(scale.positionOf(blocks - 1), last);
        for (const int p : {1, 2, last / 3, last / 2 + 1, last - 1, last}) {
            if (p < 1 || p > last)
                continue;
            EXPECT_EQ(scale.positionOf(scale.blockAt(p)), p);
            // The block after a position's own is on that position or the next.
            if (p < last && scale.blockAt(p) + 1 < blocks) {
                EXPECT_LE(scale.positionOf(scale.blockAt(p) + 1), p + 1);
            }
        }
    }
}

} // namespace
