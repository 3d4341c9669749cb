// Reads stored binary data files (".bin7150"): a text header of KEY=VALUE lines ended by a
// "#" line, then blocks of equal size. A block holds, when the file has timestamps, N seconds
// and then N nanoseconds (uint32 each), and always N x channels samples, channel-major, all
// little-endian. A FLAC recording (".flac7150") has the same header, with the volts per count
// of each stored channel, and its samples in FLAC streams beside it; its blocks are read as
// ViReal64 blocks.
#pragma once

#include "fileInfo_t.h"

#include <cstdint>
#include <cstdio>
#include <string>

class DataFileReader {
public:
    // Fills info from the header of the file at path. 0 on success, -1 when the file cannot be
    // opened or its header is refused; info is left as it was on failure, and why, when given,
    // gets one line in words naming the rule broken, quoting the header line when one is to
    // blame ("NUMBER_OF_CHANNELS=4x: not a whole number"), or the system's reason the file
    // cannot be read ("No such file or directory").
    //
    // The file may come from anywhere, and everything later (plot buffers, the block reader,
    // the panels' tables) trusts the record, so the header is refused when:
    //  - the path has more than 259 characters: the block reader opens the path kept in the
    //    record, and a cut path would name another file;
    //  - the path names no regular file or block device: a FIFO would block, and nothing else
    //    has a length to count blocks in;
    //  - no "#" line ends the header: without it there is no telling where the samples start;
    //  - a line has more than 254 characters before its line feed, or more than 1025 lines
    //    come before the "#" line: any file can be handed to us, and the reader must give up on
    //    one that is not a data file instead of scanning all of it, and never cut a line;
    //  - a key it reads is given twice: there is no telling which value the writer meant;
    //  - a value of a key it reads has more than 64 characters, or is not entirely a value of
    //    the key's type and range (a count written as 300 must not become 44 by narrowing, a
    //    decimal comma is not a point);
    //  - FORMAT is not ViReal64, ViReal32 or FLAC: the panel shows volts, and raw counts come
    //    without the volts per count (FLAC recordings name them);
    //  - FLAC: a stored channel has no LSB_FCn_CHk line of 1e-15 .. 1 (volts per count), one
    //    names no stored channel or comes twice, or a stream is missing, unreadable, or has
    //    other channels or bits than the description; the block count is then what every
    //    stream holds in whole frames;
    //  - the rate is outside 0.001 .. 1e7 Hz or the time offset outside -1e12 .. 1e12 s: within
    //    them every block's time range and every frequency axis is finite;
    //  - a key the record needs is missing: FORMAT, SAMPLING_RATE_HZ, NUMBER_OF_CHANNELS,
    //    NUMBER_OF_SCANS_PER_BLOCK, NUMBER_OF_FUNCTION_CARDS, TIME_OFFSET, TIMESTAMPS;
    //  - the card count is outside 1..64: the window has tables for 64 cards;
    //  - a CHANNEL_MASK_FCn line has n outside 1..the card count read so far (the masks are
    //    stored by card number, so the card count must come first);
    //  - NUMBER_OF_CHANNELS is not the number of bits set in the masks, or is 0: the samples of
    //    a block are assigned to channels by the masks, so the two must agree;
    //  - NUMBER_OF_SCANS_PER_BLOCK is below 1, or channels x scans exceeds cards x 2^20, the
    //    program's sample buffer (this also keeps a block's length far from overflowing);
    //  - TIMESTAMPS is neither 0 nor 1.
    // A value runs to the end of its line, without the blanks and carriage return that end it.
    // Lines that are not KEY=VALUE and unknown keys (DEVICE) are ignored, values and all.
    // Quoted header text has its control characters escaped (\x1B). A payload shorter than one
    // block is accepted (blockCount 0). A payload that is not a whole number of blocks prints a
    // warning on warnings; the partial block at its end is not counted. The program's users
    // watch its standard output for that warning, hence the default; a caller that writes its
    // own results there passes another stream.
    static int readHeader(const char *path, fileInfo_t &info, std::string *why = nullptr,
                          std::FILE *warnings = stdout);

    // Reads block number block (from 0) of the file described by info into data
    // (info.dataLength bytes). seconds and nanoseconds (info.scansPerBlock values each) may be
    // null: their arrays are then skipped; they are left untouched when the file has no
    // timestamps. Opens and closes the file on each call.
    // 1 when read; 0 on a short read; -1 for a block outside 0..blockCount-1, a file that
    // cannot be opened (or is no longer a regular file) or a failed seek.
    static int readBlock(const fileInfo_t &info, void *data, uint32_t *seconds, uint32_t *nanoseconds,
                         uint64_t block);
};
