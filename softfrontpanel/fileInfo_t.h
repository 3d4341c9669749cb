// What the header of a stored binary data file (".bin7150") says, plus the lengths derived
// from it. One instance serves the whole program: the entry point fills it from the file
// named on the command line, and the acquisition engine reads the file's blocks through it.
#pragma once

#include <cstdint>

// Sample encodings a stored file may carry (member format).
constexpr int32_t fileFormatViReal64 = 1; // 8-byte IEEE double, volts
constexpr int32_t fileFormatViReal32 = 2; // 4-byte IEEE float, volts
// 24-bit counts in FLAC streams beside the description the path names; blocks are read as
// 8-byte doubles, count x the channel's volts per count.
constexpr int32_t fileFormatFlac = 3;

// The window has tables for 64 cards; the record keeps room for a few more masks, which a
// valid file never uses.
constexpr int fileInfoMaxCards = 64;
constexpr int fileInfoMaskSlots = 67;
constexpr int fileInfoPathSize = 260; // 259 characters and the terminator

struct fileInfo_t {
    char path[fileInfoPathSize];
    uint64_t payloadLength;        // file length minus payloadOffset
    uint64_t payloadOffset;        // first byte after the "#" line
    uint64_t blockLength;          // dataLength + 2 * timestampArrayLength
    uint64_t dataLength;           // sample width x channels x scansPerBlock
    uint64_t timestampArrayLength; // 4 x scansPerBlock with timestamps, else 0
    uint64_t blockCount;           // whole blocks in the payload
    double rate;                   // Hz
    int32_t format;                // fileFormatViReal64, fileFormatViReal32 or fileFormatFlac
    int32_t channels;              // enabled channels over all cards
    int32_t scansPerBlock;
    int8_t cards;
    uint8_t channelMasks[fileInfoMaskSlots]; // card n at index n - 1; bit 0 is channel 1
    double timeOffset;                       // seconds of the first scan relative to the trigger
    int8_t timestamps;                       // 1 when every block starts with its scan times
    double channelLsb[fileInfoMaxCards * 8]; // FLAC: volts per count of each channel, block order
};

// Whether a block is read as 8-byte doubles (else 4-byte floats).
inline bool readsDoubles(const fileInfo_t &info) {
    return info.format != fileFormatViReal32;
}
