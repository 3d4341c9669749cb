// Loads the blocks of a stored file into the view buffer, as volts in doubles whatever the
// file's sample width.
#pragma once

#include "fileInfo_t.h"

#include <cstdint>
#include <vector>

class OfflinePlayback {
public:
    enum class Result { Loaded, NoMemory, ReadFailed };

    explicit OfflinePlayback(const fileInfo_t &info) : m_info(info) {}

    // block from 0. data receives channels x scansPerBlock doubles, channel-major.
    Result load(uint64_t block, double *data);

    // Seconds of the first scan of a block (from 0) relative to the trigger; 64-bit
    // arithmetic, so a long file does not wrap the time axis.
    double blockStart(uint64_t block) const;

private:
    const fileInfo_t &m_info;
    std::vector<unsigned char> m_raw; // one block as stored; kept between calls
};
