// A stored binary file as the tool sees it: the header record of the program's own reader, so
// the tool opens exactly the files the program opens, and when the reader refuses one, the
// reason in words.
#pragma once

#include "fileInfo_t.h"

#include <cstdint>
#include <string>
#include <vector>

class StoredFile {
public:
    // Reads the header with DataFileReader. false: problem() says what is wrong. The reader's
    // warning of a partial last block goes to standard error: standard output carries the CSV.
    bool open(const std::string &path);

    const fileInfo_t &info() const { return m_info; }
    const std::string &problem() const { return m_problem; }

    // The channel masks of the file's cards, card 1 first.
    std::vector<uint8_t> masks() const;
    // Samples of a block that lie before card c's first channel (channel-major blocks).
    uint64_t firstSampleOfCard(int card) const;
    // Why block k (from 1; 0 for none) cannot be asked for, empty when it can.
    std::string missingBlock(uint64_t k) const;
    // Why the blocks are too short for command, which needs at least minimum scans of each,
    // empty when they are not.
    std::string shortBlocks(const std::string &command, int minimum) const;
    // Bytes after the last whole block: the start of a block the file does not hold in full.
    uint64_t partialBytes() const { return m_info.payloadLength % m_info.blockLength; }

private:
    fileInfo_t m_info{};
    std::string m_problem;
};
