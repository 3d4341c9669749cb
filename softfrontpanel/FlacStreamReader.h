// Reads the samples of one FLAC stream of a recording by scan number. A stream whose writer
// died has no scan count in its stream info and may end inside a frame: it is read up to its
// last whole frame.
#pragma once

#include <FLAC/stream_decoder.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class FlacStreamReader {
public:
    FlacStreamReader() = default;
    FlacStreamReader(const FlacStreamReader &) = delete;
    FlacStreamReader &operator=(const FlacStreamReader &) = delete;
    ~FlacStreamReader();

    // Opens the stream at path and reads its metadata. false: why says what is wrong.
    bool open(const std::string &path, std::string *why);
    unsigned channels() const { return m_channels; }
    unsigned bits() const { return m_bits; }
    // Scans that decode: the stream info's count when its last scan decodes, else as far as
    // whole frames reach.
    uint64_t decodableScans();
    // Reads count scans from scan first; channel k's go to out[k]. false when the stream does
    // not hold them all or a frame is damaged. Reads that follow each other go on from the
    // frame the last one ended in, without seeking or decoding it again.
    bool read(uint64_t first, uint32_t count, int32_t *const out[]);

private:
    static FLAC__StreamDecoderWriteStatus onFrame(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                                  const FLAC__int32 *const buffer[], void *self);
    static void onMetadata(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *metadata, void *self);
    static void onError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *self);
    // Whether scan number scan decodes.
    bool decodes(uint64_t scan);
    // Seeks to scan or, where libFLAC cannot, to a scan before it.
    bool seekNear(uint64_t scan);
    // Copies what the read in progress wants from the frame kept.
    void takeKept();

    FLAC__StreamDecoder *m_decoder = nullptr;
    uint64_t m_fileBytes = 0;
    uint64_t m_totalScans = 0;
    unsigned m_channels = 0;
    unsigned m_bits = 0;
    bool m_damaged = false;
    // The read in progress: scans [m_first, m_first + m_count) into m_out.
    uint64_t m_first = 0;
    uint32_t m_count = 0;
    uint32_t m_done = 0;
    int32_t *const *m_out = nullptr;
    // The last frame decoded, channel after channel, and the scan the decoder gives next
    // without a seek (unknown after a failure).
    static constexpr uint64_t kUnknown = UINT64_MAX;
    std::vector<int32_t> m_kept;
    uint64_t m_keptFirst = 0;
    uint32_t m_keptScans = 0;
    uint64_t m_next = kUnknown;
};
