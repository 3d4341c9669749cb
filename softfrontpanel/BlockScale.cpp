#include "BlockScale.h"

#include <algorithm>
#include <limits>

namespace {
constexpr uint64_t kMaxPositions = std::numeric_limits<int>::max();
}

BlockScale::BlockScale(uint64_t blocks)
    : m_blocks(blocks), m_positions(static_cast<int>(std::clamp<uint64_t>(blocks, 1, kMaxPositions))) {}

// Down for blocks, up for positions: a position's block maps back onto that position. The
// products need more than 64 bits.
uint64_t BlockScale::blockAt(int position) const {
    if (m_blocks <= kMaxPositions)
        return static_cast<uint64_t>(std::clamp(position, 1, m_positions) - 1);
    const unsigned __int128 step = static_cast<unsigned>(std::clamp(position, 1, m_positions) - 1);
    return static_cast<uint64_t>(step * (m_blocks - 1) / (kMaxPositions - 1));
}

int BlockScale::positionOf(uint64_t block) const {
    block = std::min(block, m_blocks > 0 ? m_blocks - 1 : 0);
    if (m_blocks <= kMaxPositions)
        return static_cast<int>(block + 1);
    const unsigned __int128 scaled = static_cast<unsigned __int128>(block) * (kMaxPositions - 1);
    return static_cast<int>(1 + (scaled + m_blocks - 2) / (m_blocks - 1));
}
