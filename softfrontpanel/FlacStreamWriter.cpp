#define _FILE_OFFSET_BITS 64

#include "FlacStreamWriter.h"

#include <FLAC/metadata.h>

#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

FlacStreamWriter::~FlacStreamWriter() {
    m_abandoned = true;
    close();
}

bool FlacStreamWriter::open(const std::string &path, const Format &format, unsigned compressionLevel) {
    // A pipe nobody reads must not hold the caller at the opening; writes block as usual.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 || !(m_file = fdopen(fd, "wb"))) {
        const int cause = errno;
        ::close(fd);
        errno = cause;
        return false;
    }
    m_encoder = FLAC__stream_encoder_new();
    m_comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!m_encoder || !m_comments) {
        errno = ENOMEM;
        return false;
    }
    for (const std::string &comment : format.comments) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        entry.length = FLAC__uint32(comment.size());
        entry.entry = reinterpret_cast<FLAC__byte *>(const_cast<char *>(comment.c_str()));
        FLAC__metadata_object_vorbiscomment_append_comment(m_comments, entry, true);
    }
    // The stream info has room for whole hertz only; the recording's description keeps the rate.
    const double rate = std::min(std::max(std::round(format.rate), 1.0), double(FLAC__MAX_SAMPLE_RATE));
    bool ok = FLAC__stream_encoder_set_channels(m_encoder, format.channels);
    ok = ok && FLAC__stream_encoder_set_bits_per_sample(m_encoder, format.bits);
    ok = ok && FLAC__stream_encoder_set_sample_rate(m_encoder, unsigned(rate));
    ok = ok && FLAC__stream_encoder_set_compression_level(m_encoder, compressionLevel);
    ok = ok && FLAC__stream_encoder_set_blocksize(m_encoder, kFrameScans);
    // 32-bit samples and rates above 655 kHz are outside the subset; the frames are still FLAC.
    ok = ok && FLAC__stream_encoder_set_streamable_subset(m_encoder, format.bits <= 24 && rate <= 655350);
    ok = ok && FLAC__stream_encoder_set_metadata(m_encoder, &m_comments, 1);
    if (!ok || FLAC__stream_encoder_init_stream(m_encoder, onWrite, onSeek, onTell, nullptr, this) !=
                   FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        if (errno == 0)
            errno = EINVAL;
        return false;
    }
    return flush();
}

bool FlacStreamWriter::write(const int32_t *const channels[], unsigned scans) {
    if (!m_encoder || m_abandoned)
        return false;
    return FLAC__stream_encoder_process(m_encoder, channels, scans);
}

bool FlacStreamWriter::flush() {
    if (!m_file || m_abandoned || std::fflush(m_file) != 0)
        return false;
    const off_t at = ftello(m_file);
    if (at < 0)
        return false;
    m_flushedBytes = uint64_t(at);
    m_flushedScans = m_writtenScans;
    return true;
}

void FlacStreamWriter::cutBack() {
    m_abandoned = true;
    if (!m_file)
        return;
    __fpurge(m_file);
    // A stream that is no regular file (a pipe) cannot be cut; what it holds stays.
    if (ftruncate(fileno(m_file), off_t(m_flushedBytes)) != 0 && errno != EINVAL)
        std::printf("Cannot shorten a FLAC stream to its whole frames: %s\n", std::strerror(errno));
    close();
}

bool FlacStreamWriter::finish() {
    if (!m_encoder || m_abandoned)
        return false;
    errno = 0;
    // Writes the unfinished frame, then goes back to the start to complete the stream info, so
    // the position is no measure of the length.
    struct stat status {};
    if (!FLAC__stream_encoder_finish(m_encoder) || std::fflush(m_file) != 0 ||
        fstat(fileno(m_file), &status) != 0) {
        const int cause = errno;
        cutBack();
        errno = cause;
        return false;
    }
    m_flushedBytes = uint64_t(status.st_size);
    m_flushedScans = m_writtenScans;
    close();
    return true;
}

void FlacStreamWriter::close() {
    if (m_encoder) {
        // Deleting an unfinished encoder finishes it; what it would write then is refused, so
        // that a cut-back or abandoned file keeps only its whole frames.
        m_abandoned = true;
        FLAC__stream_encoder_delete(m_encoder);
        m_encoder = nullptr;
    }
    if (m_comments) {
        FLAC__metadata_object_delete(m_comments);
        m_comments = nullptr;
    }
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

FLAC__StreamEncoderWriteStatus FlacStreamWriter::onWrite(const FLAC__StreamEncoder *,
                                                         const FLAC__byte buffer[], size_t bytes,
                                                         uint32_t samples, uint32_t, void *self) {
    auto *stream = static_cast<FlacStreamWriter *>(self);
    if (stream->m_abandoned || std::fwrite(buffer, 1, bytes, stream->m_file) != bytes)
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    stream->m_writtenScans += samples;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus FlacStreamWriter::onSeek(const FLAC__StreamEncoder *, FLAC__uint64 offset,
                                                       void *self) {
    auto *stream = static_cast<FlacStreamWriter *>(self);
    if (stream->m_abandoned)
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    return fseeko(stream->m_file, off_t(offset), SEEK_SET) == 0
               ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
               : FLAC__STREAM_ENCODER_SEEK_STATUS_UNSUPPORTED;
}

FLAC__StreamEncoderTellStatus FlacStreamWriter::onTell(const FLAC__StreamEncoder *, FLAC__uint64 *offset,
                                                       void *self) {
    auto *stream = static_cast<FlacStreamWriter *>(self);
    const off_t at = ftello(stream->m_file);
    if (at < 0)
        return FLAC__STREAM_ENCODER_TELL_STATUS_UNSUPPORTED;
    *offset = FLAC__uint64(at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}
