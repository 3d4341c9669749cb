#define _FILE_OFFSET_BITS 64

#include "FlacStreamReader.h"

#include "openStored.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

FlacStreamReader::~FlacStreamReader() {
    if (m_decoder)
        FLAC__stream_decoder_delete(m_decoder); // closes the file
}

bool FlacStreamReader::open(const std::string &path, std::string *why) {
    std::FILE *file = openStored(path.c_str(), why);
    if (!file)
        return false;
    struct stat status {};
    m_fileBytes = fstat(fileno(file), &status) == 0 ? uint64_t(status.st_size) : 0;
    m_decoder = FLAC__stream_decoder_new();
    if (!m_decoder || FLAC__stream_decoder_init_FILE(m_decoder, file, onFrame, onMetadata, onError, this) !=
                          FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        std::fclose(file);
        if (why)
            *why = "cannot start a FLAC decoder";
        return false;
    }
    m_next = 0; // right behind the metadata
    if (!FLAC__stream_decoder_process_until_end_of_metadata(m_decoder) || m_channels == 0) {
        if (why)
            *why = "not a FLAC stream";
        return false;
    }
    return true;
}

uint64_t FlacStreamReader::decodableScans() {
    if (m_totalScans > 0 && decodes(m_totalScans - 1))
        return m_totalScans;
    // A writer that died left no scan count, and its last frame may be cut off: where the whole
    // frames end is found by halving. Scan low - 1 decodes (or low is 0), scan high - 1 does not;
    // no frame codes more than 65535 scans, nor takes less than a byte, which bounds the end.
    uint64_t low = 0, high = (m_fileBytes + 1) * 65535 + 1;
    if (m_totalScans > 0)
        high = std::min(high, m_totalScans);
    while (high - low > 1) {
        const uint64_t middle = low + (high - low) / 2;
        if (decodes(middle - 1))
            low = middle;
        else
            high = middle;
    }
    return low;
}

bool FlacStreamReader::decodes(uint64_t scan) {
    std::vector<int32_t> samples(m_channels);
    std::vector<int32_t *> out(m_channels);
    for (unsigned k = 0; k < m_channels; ++k)
        out[k] = &samples[k];
    return read(scan, 1, out.data());
}

bool FlacStreamReader::read(uint64_t first, uint32_t count, int32_t *const out[]) {
    if (!m_decoder)
        return false;
    m_first = first;
    m_count = count;
    m_done = 0;
    m_out = out;
    m_damaged = false;
    takeKept();
    bool ok = true;
    // Blocks read in order continue where the last frame ended; anything else is sought.
    if (m_done < m_count && m_first + m_done != m_next) {
        m_next = kUnknown;
        ok = seekNear(first);
    }
    while (ok && !m_damaged && m_done < m_count &&
           FLAC__stream_decoder_get_state(m_decoder) < FLAC__STREAM_DECODER_END_OF_STREAM)
        ok = FLAC__stream_decoder_process_single(m_decoder);
    m_out = nullptr;
    const bool whole = ok && !m_damaged && m_done == m_count;
    // A failed seek or a damaged frame leaves the decoder unusable until it is flushed.
    if (!whole || FLAC__stream_decoder_get_state(m_decoder) >= FLAC__STREAM_DECODER_END_OF_STREAM) {
        FLAC__stream_decoder_flush(m_decoder);
        m_next = kUnknown;
    }
    return whole;
}

// libFLAC 1.4.2 fails to seek to some first scans of a frame, in streams whose writer died
// and in whole ones too; a seek to a scan before it succeeds, and the frames from there on
// decode up to the scan wanted. Not from the start: a scan beyond the end would be looked for
// through the whole stream.
bool FlacStreamReader::seekNear(uint64_t scan) {
    const uint64_t earlier[] = {0, 1, 4097, 16385};
    for (uint64_t back : earlier) {
        if (back > scan)
            break;
        if (FLAC__stream_decoder_seek_absolute(m_decoder, scan - back))
            return true;
        FLAC__stream_decoder_flush(m_decoder);
        m_damaged = false;
    }
    return false;
}

void FlacStreamReader::takeKept() {
    const uint64_t wanted = m_first + m_done;
    if (m_keptScans == 0 || wanted < m_keptFirst || wanted >= m_keptFirst + m_keptScans)
        return;
    const uint64_t skip = wanted - m_keptFirst;
    const uint32_t take = uint32_t(std::min<uint64_t>(m_keptScans - skip, m_count - m_done));
    for (unsigned k = 0; k < m_channels; ++k)
        std::memcpy(m_out[k] + m_done, m_kept.data() + size_t(k) * m_keptScans + skip,
                    take * sizeof(int32_t));
    m_done += take;
}

FLAC__StreamDecoderWriteStatus FlacStreamReader::onFrame(const FLAC__StreamDecoder *,
                                                         const FLAC__Frame *frame,
                                                         const FLAC__int32 *const buffer[], void *self) {
    auto *reader = static_cast<FlacStreamReader *>(self);
    if (!reader->m_out)
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    // After a seek the decoder hands over the frame from the scan sought.
    const uint64_t frameFirst = frame->header.number.sample_number;
    if (frame->header.channels != reader->m_channels || frameFirst > reader->m_first + reader->m_done) {
        reader->m_damaged = true; // another stream's frame, or scans missing between frames
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const uint32_t scans = frame->header.blocksize;
    reader->m_kept.resize(size_t(reader->m_channels) * scans);
    for (unsigned k = 0; k < reader->m_channels; ++k)
        std::memcpy(reader->m_kept.data() + size_t(k) * scans, buffer[k], scans * sizeof(int32_t));
    reader->m_keptFirst = frameFirst;
    reader->m_keptScans = scans;
    reader->m_next = frameFirst + scans;
    reader->takeKept();
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void FlacStreamReader::onMetadata(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *metadata,
                                  void *self) {
    auto *reader = static_cast<FlacStreamReader *>(self);
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
        return;
    reader->m_channels = metadata->data.stream_info.channels;
    reader->m_bits = metadata->data.stream_info.bits_per_sample;
    reader->m_totalScans = metadata->data.stream_info.total_samples;
}

void FlacStreamReader::onError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *self) {
    // A lost sync or a bad CRC: the scans of that frame are not what was stored.
    static_cast<FlacStreamReader *>(self)->m_damaged = true;
}
