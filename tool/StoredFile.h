// A stored file as the tool sees it, a binary file or a FLAC recording: the header record of
// the program's own reader, so the tool opens exactly the files the program opens, and when
// the reader refuses one, the reason in words.
#pragma once

#include "fileInfo_t.h"

#include <cstdint>
#include <string>
#include <vector>

// One FLAC stream of a recording, as it is now.
struct StoredStream {
    std::string name; // "FC1", ..., "Scan times"
    std::string path;
    uint64_t bytes = 0;
    uint64_t scans = 0;  // that decode, up to the last whole frame
    std::string problem; // why the stream cannot be read, empty when it can
};

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
    // Always 0 for a FLAC recording, whose payload length is its whole blocks' (see streams()).
    uint64_t partialBytes() const { return m_info.payloadLength % m_info.blockLength; }
    bool isFlac() const { return m_info.format == fileFormatFlac; }
    // A FLAC recording's streams, cards first, as the reader opens them; none for a binary file.
    // Reads each stream's metadata and finds its last whole frame.
    std::vector<StoredStream> streams() const;

private:
    fileInfo_t m_info{};
    std::string m_problem;
};
