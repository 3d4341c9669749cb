// Stored acquisitions pass 2 GiB easily; file positions must be 64-bit on every build, so this
// comes before any system header.
#define _FILE_OFFSET_BITS 64

#include "DataFileReader.h"

#include <bitset>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <sys/types.h>

// Blocks are copied into the caller's buffers as they lie in the file.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "stored files are little-endian");

namespace {

constexpr int lineBufferSize = 255; // a header line is looked at 254 characters at a time
constexpr int maxHeaderLines = 1025;
constexpr long long samplesPerCard = 1LL << 20; // the program's sample buffer per card
const char corruptWarning[] = "Warning. The binary data seems corrupt.\n";
const char maskKeyPrefix[] = "CHANNEL_MASK_FC";

// In the order of the bits below, which is the order the program writes them in.
const char *const requiredKeyNames[] = {"FORMAT",
                                        "SAMPLING_RATE_HZ",
                                        "NUMBER_OF_CHANNELS",
                                        "NUMBER_OF_SCANS_PER_BLOCK",
                                        "NUMBER_OF_FUNCTION_CARDS",
                                        "TIME_OFFSET",
                                        "TIMESTAMPS"};

enum RequiredKey : unsigned {
    keyFormat = 1u << 0,
    keyRate = 1u << 1,
    keyChannels = 1u << 2,
    keyScans = 1u << 3,
    keyCards = 1u << 4,
    keyTimeOffset = 1u << 5,
    keyTimestamps = 1u << 6,
    allRequiredKeys = (1u << std::size(requiredKeyNames)) - 1,
};
static_assert(allRequiredKeys == (keyTimestamps << 1) - 1, "one name per required key");

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Every refusal goes through here, so the rule that refuses a file is the one that says why.
bool refuse(std::string *why, const std::string &reason) {
    if (why)
        *why = reason;
    return false;
}

// Values must be numbers in full: "6x" is as wrong as "abc". std::from_chars ignores the
// locale, which matters once the application object has set the user's one: there,
// sscanf's %lf may expect a decimal comma while the files always have a point.
bool parseInteger(const char *text, int base, long long min, long long max, long long &out) {
    const char *end = text + std::strlen(text);
    if (base == 16 && end - text > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text += 2; // masks are written as 0x%02hhx
    long long value = 0;
    const auto [stop, error] = std::from_chars(text, end, value, base);
    if (error != std::errc() || stop != end || stop == text || value < min || value > max)
        return false;
    out = value;
    return true;
}

bool parseFinite(const char *text, double &out) {
    const char *end = text + std::strlen(text);
    double value = 0;
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

// Takes one KEY=VALUE line into the record. false refuses the file; the reason quotes the line.
bool takeKey(const char *key, const char *value, fileInfo_t &info, unsigned &seen, std::string *why) {
    const auto refuseLine = [&](const std::string &reason) {
        return refuse(why, std::string(key) + "=" + value + ": " + reason);
    };
    long long n = 0;
    if (std::strcmp(key, "FORMAT") == 0) {
        if (std::strcmp(value, "ViReal64") == 0)
            info.format = fileFormatViReal64;
        else if (std::strcmp(value, "ViReal32") == 0)
            info.format = fileFormatViReal32;
        else
            return refuseLine("only ViReal64 and ViReal32 (volts) can be read");
        seen |= keyFormat;
    } else if (std::strcmp(key, "SAMPLING_RATE_HZ") == 0) {
        if (!parseFinite(value, info.rate) || !(info.rate > 0))
            return refuseLine("the rate must be a number above 0");
        seen |= keyRate;
    } else if (std::strcmp(key, "TIME_OFFSET") == 0) {
        if (!parseFinite(value, info.timeOffset))
            return refuseLine("the time offset must be a finite number");
        seen |= keyTimeOffset;
    } else if (std::strcmp(key, "NUMBER_OF_CHANNELS") == 0) {
        if (!parseInteger(value, 10, INT32_MIN, INT32_MAX, n))
            return refuseLine("not a whole number");
        info.channels = int32_t(n);
        seen |= keyChannels;
    } else if (std::strcmp(key, "NUMBER_OF_SCANS_PER_BLOCK") == 0) {
        if (!parseInteger(value, 10, INT32_MIN, INT32_MAX, n))
            return refuseLine("not a whole number");
        info.scansPerBlock = int32_t(n);
        seen |= keyScans;
    } else if (std::strcmp(key, "NUMBER_OF_FUNCTION_CARDS") == 0) {
        // Checked here, not at the end: it bounds the mask lines that follow.
        if (!parseInteger(value, 10, 1, fileInfoMaxCards, n))
            return refuseLine("the card count must be a whole number from 1 to " +
                              std::to_string(fileInfoMaxCards));
        info.cards = int8_t(n);
        seen |= keyCards;
    } else if (std::strcmp(key, "TIMESTAMPS") == 0) {
        if (!parseInteger(value, 10, 0, 1, n))
            return refuseLine("must be 0 or 1");
        info.timestamps = int8_t(n);
        seen |= keyTimestamps;
    } else if (std::strncmp(key, maskKeyPrefix, sizeof maskKeyPrefix - 1) == 0) {
        long long card = 0;
        if (info.cards == 0) // a card count, once read, is at least 1
            return refuseLine("comes before NUMBER_OF_FUNCTION_CARDS, which must come first");
        if (!parseInteger(key + sizeof maskKeyPrefix - 1, 10, 1, info.cards, card))
            return refuseLine("names no card of NUMBER_OF_FUNCTION_CARDS=" + std::to_string(info.cards));
        if (!parseInteger(value, 16, 0, 0xFF, n))
            return refuseLine("a mask is a hexadecimal byte, 0x00 to 0xff");
        info.channelMasks[card - 1] = uint8_t(n);
    }
    return true;
}

// The rules that involve several keys, then the lengths. false refuses the file.
bool completeRecord(fileInfo_t &info, unsigned seen, uint64_t fileLength, std::string *why) {
    if (seen != allRequiredKeys) {
        std::string missing;
        for (std::size_t k = 0; k < std::size(requiredKeyNames); ++k)
            if (!(seen >> k & 1))
                missing += (missing.empty() ? "" : ", ") + std::string(requiredKeyNames[k]);
        return refuse(why, "the header has no " + missing);
    }
    // A later, smaller card count leaves masks behind that no card owns.
    std::size_t maskBits = 0;
    for (int card = 0; card < fileInfoMaskSlots; ++card) {
        if (card < info.cards)
            maskBits += std::bitset<8>(info.channelMasks[card]).count();
        else
            info.channelMasks[card] = 0;
    }
    const std::string channels = "NUMBER_OF_CHANNELS=" + std::to_string(info.channels);
    if (info.channels < 1)
        return refuse(why, channels + ": the file stores no channel");
    if (std::size_t(info.channels) != maskBits)
        return refuse(why,
                      channels + ", but the channel masks enable " + std::to_string(maskBits) + " channels");
    if (info.scansPerBlock < 1)
        return refuse(why, "NUMBER_OF_SCANS_PER_BLOCK=" + std::to_string(info.scansPerBlock) +
                               ": a block needs at least 1 scan");
    if (static_cast<long long>(info.channels) * info.scansPerBlock > info.cards * samplesPerCard)
        return refuse(why, "a block of " + std::to_string(info.channels) + " channels x " +
                               std::to_string(info.scansPerBlock) +
                               " scans is larger than the program's buffer of " + std::to_string(info.cards) +
                               " x " + std::to_string(samplesPerCard) + " samples");

    const uint64_t sampleWidth = info.format == fileFormatViReal64 ? 8 : 4;
    const uint64_t scans = uint64_t(info.scansPerBlock);
    info.dataLength = sampleWidth * uint64_t(info.channels) * scans;
    info.timestampArrayLength = info.timestamps ? 4 * scans : 0;
    info.blockLength = info.dataLength + 2 * info.timestampArrayLength;
    if (fileLength < info.payloadOffset)
        return refuse(why, "the file shrank while its header was read");
    info.payloadLength = fileLength - info.payloadOffset;
    info.blockCount = info.payloadLength / info.blockLength;
    return true;
}

// Reads the header of the file at path into read. false refuses the file.
bool readRecord(const char *path, fileInfo_t &read, std::string *why) {
    if (!path)
        return refuse(why, "no path given");
    if (std::strlen(path) >= sizeof read.path)
        return refuse(why, "the path is longer than " + std::to_string(sizeof read.path - 1) + " characters");
    File file(std::fopen(path, "rb"));
    if (!file)
        return refuse(why, std::strerror(errno));

    std::strcpy(read.path, path);
    unsigned seen = 0;
    char line[lineBufferSize];
    // Any file can be named on the command line: /dev/zero has no line feed at all, so a longer
    // line is taken in pieces, each counted, and the count bounds the work.
    for (int lines = 0;; ++lines) {
        if (!std::fgets(line, sizeof line, file.get())) // a directory fails here, not in fopen
            return refuse(why, std::ferror(file.get())
                                   ? std::strerror(errno)
                                   : "no '#' line ends the header: not a stored data file");
        if (line[0] == '#')
            break;
        if (lines == maxHeaderLines)
            return refuse(why, "more than " + std::to_string(maxHeaderLines) +
                                   " header lines before the '#' line: not a stored data file");
        char key[65];
        char value[65];
        if (std::sscanf(line, "%64[A-Z_0-9]=%64[a-zA-Z0-9.-] \n", key, value) == 2 &&
            !takeKey(key, value, read, seen, why))
            return false;
    }

    const off_t payloadOffset = ftello(file.get());
    off_t fileLength = -1;
    if (payloadOffset >= 0 && fseeko(file.get(), 0, SEEK_END) == 0)
        fileLength = ftello(file.get());
    if (fileLength < 0) // a pipe, say
        return refuse(why, std::string("cannot find the length of the file: ") + std::strerror(errno));
    read.payloadOffset = uint64_t(payloadOffset);
    return completeRecord(read, seen, uint64_t(fileLength), why);
}

} // namespace

int DataFileReader::readHeader(const char *path, fileInfo_t &info, std::string *why, std::FILE *warnings) {
    fileInfo_t read{};
    if (!readRecord(path, read, why))
        return -1;
    if (read.payloadLength % read.blockLength != 0) {
        std::fputs(corruptWarning, warnings);
        std::fflush(warnings);
    }
    info = read;
    return 0;
}

int DataFileReader::readBlock(const fileInfo_t &info, void *data, uint32_t *seconds, uint32_t *nanoseconds,
                              uint64_t block) {
    if (block >= info.blockCount)
        return -1;
    // A record from readHeader always passes; one put together by hand must not wrap the position.
    const uint64_t maxPosition = uint64_t(std::numeric_limits<off_t>::max());
    if (info.blockLength == 0 || info.payloadOffset > maxPosition ||
        block > (maxPosition - info.payloadOffset) / info.blockLength)
        return -1;
    File file(std::fopen(info.path, "rb"));
    if (!file)
        return -1;
    if (fseeko(file.get(), off_t(info.payloadOffset + block * info.blockLength), SEEK_SET) != 0)
        return -1;

    const uint64_t arrayLength = info.timestampArrayLength;
    if (arrayLength != 0) {
        for (uint32_t *array : {seconds, nanoseconds}) {
            if (array) {
                if (std::fread(array, 1, arrayLength, file.get()) != arrayLength)
                    return 0;
            } else if (fseeko(file.get(), off_t(arrayLength), SEEK_CUR) != 0) {
                return -1;
            }
        }
    }
    return std::fread(data, 1, info.dataLength, file.get()) == info.dataLength ? 1 : 0;
}
