#include "DataFileWriter.h"

#include "StorageFormat.h"

#include <charconv>

// Blocks go to the file as they lie in memory, and readers take them as little-endian.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "stored files are little-endian");

namespace {

// printf("%lf") as the "C" locale writes it. Once the application object has set the user's
// locale, printf may write a decimal comma, and the reader would stop at the comma and take
// 1234,5 Hz for 1234 Hz.
std::string fixed6(double value) {
    char text[400]; // the longest double, 309 digits, and 6 decimals
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return std::string(text, result.ptr);
}

bool put(std::FILE *file, const std::string &text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

} // namespace

bool DataFileWriter::writeHeader(std::FILE *file, const DataFileHeader &header) {
    bool ok = std::fprintf(file, "DEVICE=Movara 7150\n") >= 0;
    ok = ok && std::fprintf(file, "FORMAT=%s\n", StorageFormat::headerName(header.format)) >= 0;
    ok = ok && put(file, "SAMPLING_RATE_HZ=" + fixed6(header.rate) + "\n");
    ok = ok && std::fprintf(file, "NUMBER_OF_CHANNELS=%d\n", header.channels) >= 0;
    ok = ok && std::fprintf(file, "NUMBER_OF_SCANS_PER_BLOCK=%d\n", header.scans) >= 0;
    ok = ok && std::fprintf(file, "NUMBER_OF_FUNCTION_CARDS=%d\n", int(header.masks.size())) >= 0;
    for (std::size_t card = 0; ok && card < header.masks.size(); ++card)
        ok = std::fprintf(file, "CHANNEL_MASK_FC%d=0x%02hhx\n", int(card + 1), header.masks[card]) >= 0;
    if (header.format == StorageFormat::kFlacCounts) {
        const std::vector<std::string> names = channelNames(header.masks);
        for (std::size_t k = 0; ok && k < names.size() && k < header.lsb.size(); ++k) {
            ok = put(file, "LSB_" + names[k] + "=" + exactNumber(header.lsb[k]) + "\n");
            if (ok && k < header.gains.size())
                ok = put(file, "GAIN_" + names[k] + "=" + std::to_string(header.gains[k]) + "\n");
        }
    }
    ok = ok && put(file, "TIME_OFFSET=" + fixed6(header.timeOffset) + "\n");
    ok = ok && std::fprintf(file, "TIMESTAMPS=%d\n", header.timestamps ? 1 : 0) >= 0;
    return ok && std::fprintf(file, "#\n") >= 0;
}

std::string DataFileWriter::exactNumber(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

bool DataFileWriter::writeBlock(std::FILE *file, const uint32_t *seconds, const uint32_t *nanoseconds,
                                int scans, const void *samples, size_t bytes) {
    if (scans < 0)
        return false;
    if (seconds) {
        // Half a timestamp would shift every later block against what the header promises.
        if (!nanoseconds)
            return false;
        const size_t count = size_t(scans);
        if (std::fwrite(seconds, sizeof *seconds, count, file) != count ||
            std::fwrite(nanoseconds, sizeof *nanoseconds, count, file) != count)
            return false;
    }
    if (std::fwrite(samples, 1, bytes, file) != bytes)
        return false;
    // The block must be with the system once we return: a crash of the program later must not
    // take the stream's buffered tail with it. A full disk often shows only here.
    return std::fflush(file) == 0;
}

std::vector<std::string> DataFileWriter::channelNames(const std::vector<uint8_t> &masks) {
    std::vector<std::string> names;
    for (std::size_t card = 0; card < masks.size(); ++card)
        for (int channel = 0; channel < 8; ++channel)
            if (masks[card] & (1u << channel))
                names.push_back("FC" + std::to_string(card + 1) + "_CH" + std::to_string(channel + 1));
    return names;
}

bool DataFileWriter::writeCsvHeader(std::FILE *file, bool millivolts, double rate,
                                    const std::vector<uint8_t> &masks, bool timestamps) {
    bool ok = std::fprintf(file, millivolts ? "Units: mV\n" : "Units: V\n") >= 0;
    ok = ok && put(file, "Sampling rate: " + fixed6(rate) + " Hz\n");
    std::string columns = timestamps ? "Timestamp, " : "";
    for (const std::string &name : channelNames(masks))
        columns += name + ", ";
    columns += "\n";
    return ok && put(file, columns);
}
