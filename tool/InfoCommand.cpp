#include "InfoCommand.h"

#include "DataFileWriter.h"
#include "StorageFormat.h"
#include "StoredFile.h"
#include "ToolArguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// As the header writes its decimals: 6 of them, a point whatever the locale.
std::string fixed6(double value) {
    char text[400];
    return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr);
}

std::string channelList(uint8_t mask) {
    std::string list;
    for (int k = 0; k < 8; ++k)
        if (mask >> k & 1)
            list += (list.empty() ? "CH" : ", CH") + std::to_string(k + 1);
    return list.empty() ? "none" : list;
}

void row(const char *name, const std::string &value) {
    std::printf("%-18s %s\n", name, value.c_str());
}

// A binary file's layout: the header's length, the blocks' and whether the payload is whole.
void binaryRows(const StoredFile &file) {
    const fileInfo_t &info = file.info();
    row("Header:", std::to_string(info.payloadOffset) + " bytes");
    row("Block length:", std::to_string(info.blockLength) + " bytes");
    row("Blocks:", std::to_string(info.blockCount));
    const uint64_t partial = file.partialBytes();
    row("Payload:", std::to_string(info.payloadLength) + " bytes, " +
                        (partial == 0 ? std::string("whole")
                                      : "not whole: " + std::to_string(partial) +
                                            " bytes of a last, partial block, which is not read"));
}

// The gain whose volts per count lsb is, 0 for none of the cards' gains.
int gainOf(double lsb) {
    for (int index = 0; index < 10; ++index) // the gain choices, 1 to 1000
        if (StorageFormat::lsb(index) == lsb)
            return int(std::lround(StorageFormat::lsb(0) / lsb));
    return 0;
}

// A FLAC recording's layout: each channel's volts per count, the streams beside the
// description, and the whole blocks that all of them hold.
void flacRows(const StoredFile &file) {
    const fileInfo_t &info = file.info();
    row("Volts per count:", "of each channel; a count times it is the volts read");
    const std::vector<std::string> names = DataFileWriter::channelNames(file.masks());
    for (std::size_t e = 0; e < names.size(); ++e) {
        const int gain = gainOf(info.channelLsb[e]);
        row(("  " + names[e] + ":").c_str(), DataFileWriter::exactNumber(info.channelLsb[e]) + " V" +
                                                 (gain ? " (gain " + std::to_string(gain) + ")" : ""));
    }
    const std::vector<StoredStream> streams = file.streams();
    uint64_t bytes = 0, most = 0;
    for (const StoredStream &stream : streams) {
        bytes += stream.bytes;
        most = std::max(most, stream.scans);
    }
    row("Streams:",
        std::to_string(streams.size()) + " beside the description, " + std::to_string(bytes) + " bytes");
    for (const StoredStream &stream : streams)
        row(("  " + stream.name + ":").c_str(),
            stream.path + ", " +
                (stream.problem.empty()
                     ? std::to_string(stream.bytes) + " bytes, " + std::to_string(stream.scans) + " scans"
                     : "cannot be read: " + stream.problem));
    // Scans past the whole blocks: a stream ends inside a block, or after another whose writer
    // died first.
    const uint64_t read = info.blockCount * uint64_t(info.scansPerBlock);
    row("Blocks:", std::to_string(info.blockCount) +
                       (most <= read ? std::string()
                                     : "; not whole: streams hold up to " + std::to_string(most - read) +
                                           " scans more, which are not read"));
}

} // namespace

int InfoCommand::run(const StoredFile &file) {
    const fileInfo_t &info = file.info();
    const uint64_t n = uint64_t(info.scansPerBlock);
    row("File:", info.path);
    row("Format:", file.isFlac()                       ? "FLAC (24-bit counts, lossless; read as volts)"
                   : info.format == fileFormatViReal64 ? "ViReal64 (8-byte doubles, volts)"
                                                       : "ViReal32 (4-byte floats, volts)");
    row("Sampling rate:", fixed6(info.rate) + " Hz");
    row("Function cards:", std::to_string(info.cards));
    for (int c = 0; c < info.cards; ++c) {
        char mask[8];
        std::snprintf(mask, sizeof mask, "0x%02x", info.channelMasks[c]);
        row(("  FC" + std::to_string(c + 1) + ":").c_str(),
            channelList(info.channelMasks[c]) + " (" + mask + ")");
    }
    row("Channels:", std::to_string(info.channels));
    row("Scans per block:", std::to_string(n) + " (" + fixed6(double(n) / info.rate) + " s)");
    row("Time offset:", fixed6(info.timeOffset) + " s");
    row("Timestamps:", !info.timestamps ? "no"
                       : file.isFlac()
                           ? "yes (every scan's seconds and nanoseconds, in a stream of their own)"
                           : "yes (every block starts with its scans' seconds and nanoseconds)");
    if (file.isFlac())
        flacRows(file);
    else
        binaryRows(file);
    std::fflush(stdout);
    if (std::ferror(stdout))
        return toolFailure(toolExitUnreadable, "cannot write the text");
    return toolExitOk;
}
