// The blocks of a stored file on a slider, whose positions are ints: one block per position
// while they fit, spread evenly over the positions beyond that (a file of 2^31 blocks or more).
// Positions run from 1, blocks from 0.
#pragma once

#include <cstdint>

class BlockScale {
public:
    explicit BlockScale(uint64_t blocks = 0);

    int positions() const { return m_positions; }
    uint64_t blocks() const { return m_blocks; }
    // The first and last positions give the first and last blocks; positionOf(blockAt(p)) == p.
    uint64_t blockAt(int position) const;
    int positionOf(uint64_t block) const;

private:
    uint64_t m_blocks;
    int m_positions;
};
