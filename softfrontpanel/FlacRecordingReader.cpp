#include "FlacRecordingReader.h"

#include "FlacRecordingFiles.h"
#include "FlacStreamReader.h"

#include <algorithm>
#include <bitset>
#include <vector>

namespace {

struct Stream {
    std::string path;
    unsigned channels;
    unsigned bits;
};

std::vector<Stream> streamsOf(const fileInfo_t &info)
{
    std::vector<Stream> streams;
    for (int card = 0; card < info.cards; ++card)
        streams.push_back({FlacRecordingFiles::cardStream(info.path, card + 1),
                           unsigned(std::bitset<8>(info.channelMasks[card]).count()), 24});
    if (info.timestamps)
        streams.push_back({FlacRecordingFiles::timeStream(info.path), 2, 32});
    return streams;
}

bool openChecked(FlacStreamReader &reader, const Stream &stream, std::string *why)
{
    std::string problem;
    if (!reader.open(stream.path, &problem)) {
        if (why)
            *why = "stream \"" + stream.path + "\": " + problem;
        return false;
    }
    if (reader.channels() != stream.channels || reader.bits() != stream.bits) {
        if (why)
            *why = "stream \"" + stream.path + "\" has " + std::to_string(reader.channels()) + " channels of " +
                   std::to_string(reader.bits()) + " bits, the description " + std::to_string(stream.channels) +
                   " of " + std::to_string(stream.bits);
        return false;
    }
    return true;
}

} // namespace

bool FlacRecordingReader::countBlocks(fileInfo_t &info, std::string *why)
{
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

int FlacRecordingReader::readBlock(const fileInfo_t &info, double *data, uint32_t *seconds, uint32_t *nanoseconds,
                                   uint64_t block)
{
    if (block >= info.blockCount || info.scansPerBlock < 1)
        return -1;
    const uint32_t scans = uint32_t(info.scansPerBlock);
    const uint64_t first = block * scans;
    const std::vector<Stream> streams = streamsOf(info);
    std::vector<int32_t> counts(size_t(scans) * 8);
    std::vector<int32_t *> out(8);
    size_t channel = 0;
    for (int card = 0; card < info.cards; ++card) {
        FlacStreamReader reader;
        if (!openChecked(reader, streams[size_t(card)], nullptr))
            return -1;
        for (unsigned k = 0; k < reader.channels(); ++k)
            out[k] = counts.data() + size_t(k) * scans;
        if (!reader.read(first, scans, out.data()))
            return 0;
        for (unsigned k = 0; k < reader.channels(); ++k, ++channel) {
            double *volts = data + channel * scans;
            const double lsb = info.channelLsb[channel];
            for (uint32_t s = 0; s < scans; ++s)
                volts[s] = out[k][s] * lsb;
        }
    }
    if (info.timestamps && (seconds || nanoseconds)) {
        FlacStreamReader reader;
        if (!openChecked(reader, streams.back(), nullptr))
            return -1;
        int32_t *times[] = {counts.data(), counts.data() + scans};
        if (!reader.read(first, scans, times))
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
