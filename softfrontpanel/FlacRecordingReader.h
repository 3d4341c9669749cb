// Reads a FLAC recording's streams for the stored-file reader: checks them against the
// description's record, counts the blocks they all hold in whole frames, and reads blocks as
// volts (count x the channel's volts per count, the same doubles the cards deliver).
#pragma once

#include "fileInfo_t.h"

#include <cstdint>
#include <string>

struct FlacRecordingReader {
    // Sets the block count (and the payload length, blocks x block length) of a record whose
    // description was read. false: why names the stream and what is wrong with it.
    static bool countBlocks(fileInfo_t &info, std::string *why);
    // As DataFileReader::readBlock: data gets channels x scans doubles; seconds and
    // nanoseconds, when not null and the recording has scan times, scans values each. The
    // streams stay open on the calling thread for the next block.
    static int readBlock(const fileInfo_t &info, double *data, uint32_t *seconds, uint32_t *nanoseconds,
                         uint64_t block);
};
