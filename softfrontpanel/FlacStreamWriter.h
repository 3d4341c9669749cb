// One FLAC stream of a recording (one card's channels, or the scan times) and the file it goes
// to. The encoder keeps the samples of its unfinished frame in memory; only whole frames reach
// the file, so a stream cut off at any point still decodes up to its last whole frame.
#pragma once

#include <FLAC/stream_encoder.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class FlacStreamWriter {
public:
    struct Format {
        unsigned channels = 1;             // 1..8
        unsigned bits = 24;                // 24 for counts, 32 for scan times
        double rate = 1.0;                 // Hz; the stream info holds it rounded to a whole number
        std::vector<std::string> comments; // "NAME=value", for tools that read the stream alone
    };
    // Scans per frame: at most this many are lost when the program dies while storing.
    static constexpr unsigned kFrameScans = 4096;

    FlacStreamWriter() = default;
    FlacStreamWriter(const FlacStreamWriter &) = delete;
    FlacStreamWriter &operator=(const FlacStreamWriter &) = delete;
    // A stream never finished is abandoned: nothing more is written to its file.
    ~FlacStreamWriter();

    // Creates (or empties) the file at path and writes the stream's metadata. false: errno
    // says why.
    bool open(const std::string &path, const Format &format, unsigned compressionLevel);
    // Encodes scans samples of each channel; channel k's are at channels[k]. Samples must fit
    // the stream's bits. false: the file refused a frame (errno) or the encoder failed.
    bool write(const int32_t *const channels[], unsigned scans);
    // Hands the whole frames written so far to the system. false: errno says why.
    bool flush();
    // What the last successful flush left in the file: bytes and the scans of its frames.
    uint64_t flushedBytes() const { return m_flushedBytes; }
    uint64_t flushedScans() const { return m_flushedScans; }
    // After a failure: drops what was not flushed and cuts the file back to its last flush.
    // The stream is then abandoned.
    void cutBack();
    // Encodes the unfinished frame, completes the stream info (scan count, MD5) and closes the
    // file. false: errno says why; the stream is then cut back.
    bool finish();

private:
    static FLAC__StreamEncoderWriteStatus onWrite(const FLAC__StreamEncoder *, const FLAC__byte buffer[],
                                                  size_t bytes, uint32_t samples, uint32_t frame, void *self);
    static FLAC__StreamEncoderSeekStatus onSeek(const FLAC__StreamEncoder *, FLAC__uint64 offset, void *self);
    static FLAC__StreamEncoderTellStatus onTell(const FLAC__StreamEncoder *, FLAC__uint64 *offset,
                                                void *self);
    void close();

    FLAC__StreamEncoder *m_encoder = nullptr;
    FLAC__StreamMetadata *m_comments = nullptr;
    std::FILE *m_file = nullptr;
    bool m_abandoned = false;
    uint64_t m_writtenScans = 0;
    uint64_t m_flushedBytes = 0;
    uint64_t m_flushedScans = 0;
};
