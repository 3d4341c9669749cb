#include "FlacRecordingReader.h"

#include "FlacRecordingFiles.h"
#include "FlacStreamReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <bitset>
#include <memory>
#include <vector>

namespace {

struct Stream {
    std::string path;
    unsigned channels;
    unsigned bits;
};

std::vector<Stream> streamsOf(const fileInfo_t &info) {
    std::vector<Stream> streams;
    for (const std::string &path : FlacRecordingFiles::streams(info.path, info.cards, info.timestamps)) {
        const size_t card = streams.size();
        if (card < size_t(info.cards))
            streams.push_back({path, unsigned(std::bitset<8>(info.channelMasks[card]).count()), 24});
        else
            streams.push_back({path, 2, 32}); // seconds and nanoseconds
    }
    return streams;
}

bool openChecked(FlacStreamReader &reader, const Stream &stream, std::string *why) {
    std::string problem;
    if (!reader.open(stream.path, &problem)) {
        if (why)
            *why = "stream \"" + stream.path + "\": " + problem;
        return false;
    }
    if (reader.channels() != stream.channels || reader.bits() != stream.bits) {
        if (why)
            *why = "stream \"" + stream.path + "\" has " + std::to_string(reader.channels()) +
                   " channels of " + std::to_string(reader.bits()) + " bits, the description " +
                   std::to_string(stream.channels) + " of " + std::to_string(stream.bits);
        return false;
    }
    return true;
}

// The streams this thread read last, open: blocks read in order then decode each frame once.
// A stream is opened again when its file is no longer the one opened (replaced, grown, cut).
struct OpenStream {
    std::string path;
    struct stat seen;
    std::unique_ptr<FlacStreamReader> reader;
};
thread_local std::vector<OpenStream> openStreams;

bool sameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

FlacStreamReader *readerOf(const Stream &stream) {
    struct stat now {};
    if (::stat(stream.path.c_str(), &now) != 0)
        return nullptr;
    auto open = std::find_if(openStreams.begin(), openStreams.end(),
                             [&](const OpenStream &known) { return known.path == stream.path; });
    if (open != openStreams.end() && sameFile(open->seen, now))
        return open->reader.get();
    auto reader = std::make_unique<FlacStreamReader>();
    if (!openChecked(*reader, stream, nullptr))
        return nullptr;
    // 64 cards and their scan times; a thread that goes from recording to recording starts over.
    if (open == openStreams.end() && openStreams.size() > fileInfoMaxCards)
        openStreams.clear();
    if (open == openStreams.end())
        open = openStreams.insert(openStreams.end(), OpenStream{stream.path, now, nullptr});
    open->seen = now;
    open->reader = std::move(reader);
    return open->reader.get();
}

} // namespace

bool FlacRecordingReader::countBlocks(fileInfo_t &info, std::string *why) {
    uint64_t scans = UINT64_MAX;
    for (const Stream &stream : streamsOf(info)) {
        FlacStreamReader reader;
        if (!openChecked(reader, stream, why))
            return false;
        scans = std::min(scans, reader.decodableScans());
    }
    info.blockCount = scans / uint64_t(info.scansPerBlock);
    info.payloadLength = info.blockCount * info.blockLength;
    return true;
}

int FlacRecordingReader::readBlock(const fileInfo_t &info, double *data, uint32_t *seconds,
                                   uint32_t *nanoseconds, uint64_t block) {
    if (block >= info.blockCount || info.scansPerBlock < 1)
        return -1;
    const uint32_t scans = uint32_t(info.scansPerBlock);
    const uint64_t first = block * scans;
    const std::vector<Stream> streams = streamsOf(info);
    std::vector<int32_t> counts(size_t(scans) * 8);
    std::vector<int32_t *> out(8);
    size_t channel = 0;
    for (int card = 0; card < info.cards; ++card) {
        FlacStreamReader *reader = readerOf(streams[size_t(card)]);
        if (!reader)
            return -1;
        for (unsigned k = 0; k < reader->channels(); ++k)
            out[k] = counts.data() + size_t(k) * scans;
        if (!reader->read(first, scans, out.data()))
            return 0;
        for (unsigned k = 0; k < reader->channels(); ++k, ++channel) {
            double *volts = data + channel * scans;
            const double lsb = info.channelLsb[channel];
            for (uint32_t s = 0; s < scans; ++s)
                volts[s] = out[k][s] * lsb;
        }
    }
    if (info.timestamps && (seconds || nanoseconds)) {
        FlacStreamReader *reader = readerOf(streams.back());
        if (!reader)
            return -1;
        int32_t *times[] = {counts.data(), counts.data() + scans};
        if (!reader->read(first, scans, times))
            return 0;
        for (uint32_t s = 0; s < scans; ++s) {
            if (seconds)
                seconds[s] = uint32_t(times[0][s]);
            if (nanoseconds)
                nanoseconds[s] = uint32_t(times[1][s]);
        }
    }
    return 1;
}
