// Stored acquisitions pass 2 GiB easily; file positions must be 64-bit on every build, so this
// comes before any system header.
#define _FILE_OFFSET_BITS 64

#include "DataFileReader.h"

#include "FlacRecordingReader.h"
#include "openStored.h"

#include "StrictNumber.h"

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

// Blocks are copied into the caller's buffers as they lie in the file.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "stored files are little-endian");

namespace {

constexpr std::size_t maxLineLength = 254; // characters before the line feed
constexpr std::size_t maxValueLength = 64;
constexpr int maxHeaderLines = 1025;
// Bounds that keep every block time and frequency finite: with N up to 64 x 2^20 and a file
// of 2^63 bytes, block x N / rate + offset stays far below the largest double.
constexpr double minRate = 1e-3;
constexpr double maxRate = 1e7;
constexpr double maxTimeOffset = 1e12;          // seconds either side of the trigger
constexpr long long samplesPerCard = 1LL << 20; // the program's sample buffer per card
const char corruptWarning[] = "Warning. The binary data seems corrupt.\n";
const char maskKeyPrefix[] = "CHANNEL_MASK_FC";
const char lsbKeyPrefix[] = "LSB_FC";
// Volts per count: gain 1000 of a 24-bit card is about 1.2e-9 V, gain 1 about 1.2e-6 V.
constexpr double minLsb = 1e-15;
constexpr double maxLsb = 1.0;

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

// Header text may be anything: control characters are shown escaped, so that a message quoting
// it cannot drive the terminal it is printed on.
std::string quoted(const std::string &text) {
    std::string out;
    for (const unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(c));
            out += escaped;
        }
    }
    return out;
}

// Values must be numbers in full: "6x" is as wrong as "abc". The point is the decimal point
// whatever locale the application object has set.
bool parseInteger(const std::string &value, long long min, long long max, long long &out,
                  StrictNumber::Base base = StrictNumber::Base::decimal) {
    const auto n = StrictNumber::whole(value, {min, max, base});
    if (n)
        out = *n;
    return bool(n);
}

bool parseNumber(const std::string &value, double min, double max, double &out) {
    const auto n = StrictNumber::real(value, min, max);
    if (n)
        out = *n;
    return bool(n);
}

// What the header has given so far, to refuse a key given twice: with two values there is no
// telling which one the writer meant.
struct SeenKeys {
    unsigned required = 0;
    std::bitset<fileInfoMaskSlots> masks;
    // LSB_FCn_CHk lines, kept as written: only a FLAC recording needs them, and only its
    // enabled channels' must be valid.
    std::vector<std::pair<std::string, std::string>> lsbLines;
};

// Takes one KEY=VALUE line into the record. false refuses the file; the reason quotes the line.
bool takeKey(const std::string &key, const std::string &value, fileInfo_t &info, SeenKeys &seen,
             std::string *why) {
    const auto refuseLine = [&](const std::string &reason) {
        return refuse(why, key + "=" + quoted(value) + ": " + reason);
    };
    const bool mask = key.compare(0, sizeof maskKeyPrefix - 1, maskKeyPrefix) == 0;
    if (key.compare(0, sizeof lsbKeyPrefix - 1, lsbKeyPrefix) == 0) {
        seen.lsbLines.emplace_back(key, value);
        return true;
    }
    if (!mask && std::find(std::begin(requiredKeyNames), std::end(requiredKeyNames), key) ==
                     std::end(requiredKeyNames))
        return true; // DEVICE and whatever a later writer adds
    if (value.size() > maxValueLength)
        return refuseLine("the value is longer than " + std::to_string(maxValueLength) + " characters");
    const auto once = [&](RequiredKey bit) {
        const bool first = !(seen.required & bit);
        seen.required |= bit;
        return first;
    };
    const auto twice = [&] { return refuseLine(key + " is given twice"); };
    long long n = 0;
    if (key == "FORMAT") {
        if (!once(keyFormat))
            return twice();
        if (value == "ViReal64")
            info.format = fileFormatViReal64;
        else if (value == "ViReal32")
            info.format = fileFormatViReal32;
        else if (value == "FLAC")
            info.format = fileFormatFlac;
        else
            return refuseLine("only ViReal64, ViReal32 (volts) and FLAC (counts) can be read");
    } else if (key == "SAMPLING_RATE_HZ") {
        if (!once(keyRate))
            return twice();
        if (!parseNumber(value, minRate, maxRate, info.rate))
            return refuseLine("the rate must be a number from 0.001 to 10000000 (Hz)");
    } else if (key == "TIME_OFFSET") {
        if (!once(keyTimeOffset))
            return twice();
        if (!parseNumber(value, -maxTimeOffset, maxTimeOffset, info.timeOffset))
            return refuseLine("the time offset must be a number from -1e12 to 1e12 (seconds)");
    } else if (key == "NUMBER_OF_CHANNELS") {
        if (!once(keyChannels))
            return twice();
        if (!parseInteger(value, INT32_MIN, INT32_MAX, n))
            return refuseLine("not a whole number");
        info.channels = int32_t(n);
    } else if (key == "NUMBER_OF_SCANS_PER_BLOCK") {
        if (!once(keyScans))
            return twice();
        if (!parseInteger(value, INT32_MIN, INT32_MAX, n))
            return refuseLine("not a whole number");
        info.scansPerBlock = int32_t(n);
    } else if (key == "NUMBER_OF_FUNCTION_CARDS") {
        if (!once(keyCards))
            return twice();
        // Checked here, not at the end: it bounds the mask lines that follow.
        if (!parseInteger(value, 1, fileInfoMaxCards, n))
            return refuseLine("the card count must be a whole number from 1 to " +
                              std::to_string(fileInfoMaxCards));
        info.cards = int8_t(n);
    } else if (key == "TIMESTAMPS") {
        if (!once(keyTimestamps))
            return twice();
        if (!parseInteger(value, 0, 1, n))
            return refuseLine("must be 0 or 1");
        info.timestamps = int8_t(n);
    } else if (mask) {
        long long card = 0;
        if (info.cards == 0) // a card count, once read, is at least 1
            return refuseLine("comes before NUMBER_OF_FUNCTION_CARDS, which must come first");
        if (!parseInteger(key.substr(sizeof maskKeyPrefix - 1), 1, info.cards, card))
            return refuseLine("names no card of NUMBER_OF_FUNCTION_CARDS=" + std::to_string(info.cards));
        if (seen.masks[std::size_t(card - 1)])
            return twice();
        seen.masks.set(std::size_t(card - 1));
        if (!parseInteger(value, 0, 0xFF, n, StrictNumber::Base::hex)) // written as 0x%02hhx
            return refuseLine("a mask is a hexadecimal byte, 0x00 to 0xff");
        info.channelMasks[card - 1] = uint8_t(n);
    }
    return true;
}

// The rules that involve several keys, then the lengths. false refuses the file.
// Every enabled channel of a FLAC recording needs exactly one valid LSB_FCn_CHk line; the
// values go to the record in block order.
bool takeLsbLines(fileInfo_t &info, const SeenKeys &seen, std::string *why) {
    double lsb[fileInfoMaxCards][8] = {};
    for (const auto &[key, value] : seen.lsbLines) {
        const std::size_t under = key.find("_CH", sizeof lsbKeyPrefix - 1);
        long long card = 0, channel = 0;
        if (under == std::string::npos ||
            !parseInteger(key.substr(sizeof lsbKeyPrefix - 1, under - (sizeof lsbKeyPrefix - 1)), 1,
                          info.cards, card) ||
            !parseInteger(key.substr(under + 3), 1, 8, channel) ||
            !(info.channelMasks[card - 1] >> (channel - 1) & 1))
            return refuse(why, key + "=" + quoted(value) + ": names no stored channel");
        double &slot = lsb[card - 1][channel - 1];
        if (slot != 0)
            return refuse(why, key + "=" + quoted(value) + ": " + key + " is given twice");
        if (value.size() > maxValueLength || !parseNumber(value, minLsb, maxLsb, slot))
            return refuse(why,
                          key + "=" + quoted(value) + ": volts per count must be a number from 1e-15 to 1");
    }
    int stored = 0;
    for (int card = 0; card < info.cards; ++card)
        for (int channel = 0; channel < 8; ++channel) {
            if (!(info.channelMasks[card] >> channel & 1))
                continue;
            if (lsb[card][channel] == 0)
                return refuse(why, "the header has no LSB_FC" + std::to_string(card + 1) + "_CH" +
                                       std::to_string(channel + 1) +
                                       " (volts per count of a stored channel)");
            info.channelLsb[stored++] = lsb[card][channel];
        }
    return true;
}

bool completeRecord(fileInfo_t &info, const SeenKeys &keys, uint64_t fileLength, std::string *why) {
    const unsigned seen = keys.required;
    if (seen != allRequiredKeys) {
        std::string missing;
        for (std::size_t k = 0; k < std::size(requiredKeyNames); ++k)
            if (!(seen >> k & 1))
                missing += (missing.empty() ? "" : ", ") + std::string(requiredKeyNames[k]);
        return refuse(why, "the header has no " + missing);
    }
    std::size_t maskBits = 0;
    for (int card = 0; card < info.cards; ++card)
        maskBits += std::bitset<8>(info.channelMasks[card]).count();
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

    const uint64_t sampleWidth = readsDoubles(info) ? 8 : 4;
    const uint64_t scans = uint64_t(info.scansPerBlock);
    info.dataLength = sampleWidth * uint64_t(info.channels) * scans;
    info.timestampArrayLength = info.timestamps ? 4 * scans : 0;
    info.blockLength = info.dataLength + 2 * info.timestampArrayLength;
    if (info.format == fileFormatFlac)
        return takeLsbLines(info, keys, why) && FlacRecordingReader::countBlocks(info, why);
    if (fileLength < info.payloadOffset)
        return refuse(why, "the file shrank while its header was read");
    info.payloadLength = fileLength - info.payloadOffset;
    info.blockCount = info.payloadLength / info.blockLength;
    return true;
}

File openFile(const char *path, std::string *why) {
    return File(openStored(path, why));
}

enum class LineRead { Line, TooLong, End, Failed };

// One header line without its line feed. NUL bytes are kept: they make a value malformed
// rather than shortening it unseen.
LineRead readLine(std::FILE *file, std::string &line) {
    line.clear();
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF)
            return std::ferror(file) ? LineRead::Failed : line.empty() ? LineRead::End : LineRead::Line;
        if (c == '\n')
            return LineRead::Line;
        if (line.size() == maxLineLength)
            return LineRead::TooLong;
        line += char(c);
    }
}

// A KEY=VALUE line: the key in [A-Z_0-9], the value up to the line's end without the blanks and
// carriage return that end it. false for any other line.
bool splitKeyLine(const std::string &line, std::string &key, std::string &value) {
    const std::size_t equals = line.find('=');
    if (equals == 0 || equals == std::string::npos ||
        line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789") != equals)
        return false;
    key.assign(line, 0, equals);
    const std::size_t last = line.find_last_not_of(" \t\r\v\f");
    value.assign(line, equals + 1, last == std::string::npos || last <= equals ? 0 : last - equals);
    return true;
}

// Reads the header of the file at path into read. false refuses the file.
bool readRecord(const char *path, fileInfo_t &read, std::string *why) {
    if (!path)
        return refuse(why, "no path given");
    if (std::strlen(path) >= sizeof read.path)
        return refuse(why, "the path is longer than " + std::to_string(sizeof read.path - 1) + " characters");
    File file = openFile(path, why);
    if (!file)
        return false;

    std::strcpy(read.path, path);
    SeenKeys seen;
    std::string line, key, value;
    for (int lines = 1;; ++lines) {
        switch (readLine(file.get(), line)) {
        case LineRead::Failed:
            return refuse(why, std::strerror(errno));
        case LineRead::End:
            return refuse(why, "no '#' line ends the header: not a stored data file");
        case LineRead::TooLong:
            // Cutting it would misplace every later line and the first byte of the samples.
            return refuse(why, "header line " + std::to_string(lines) + " is longer than " +
                                   std::to_string(maxLineLength) + " characters: not a stored data file");
        case LineRead::Line:
            break;
        }
        if (line[0] == '#')
            break;
        if (lines > maxHeaderLines)
            return refuse(why, "more than " + std::to_string(maxHeaderLines) +
                                   " header lines before the '#' line: not a stored data file");
        if (splitKeyLine(line, key, value) && !takeKey(key, value, read, seen, why))
            return false;
    }

    const off_t payloadOffset = ftello(file.get());
    off_t fileLength = -1;
    if (payloadOffset >= 0 && fseeko(file.get(), 0, SEEK_END) == 0)
        fileLength = ftello(file.get());
    if (fileLength < 0)
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
    if (info.format == fileFormatFlac)
        return FlacRecordingReader::readBlock(info, static_cast<double *>(data), seconds, nanoseconds, block);
    // A record from readHeader always passes; one put together by hand must not wrap the position.
    const uint64_t maxPosition = uint64_t(std::numeric_limits<off_t>::max());
    if (info.blockLength == 0 || info.payloadOffset > maxPosition ||
        block > (maxPosition - info.payloadOffset) / info.blockLength)
        return -1;
    File file = openFile(info.path, nullptr);
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
