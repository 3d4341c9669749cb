#include "StorageFormat.h"

#include <cstdio>

int StorageFormat::fromChoice(int index) {
    if (index == 4)
        return kFlacCounts;
    return index >= kBinary64 && index <= kBinary32 ? index : kRawCounts;
}

int StorageFormat::sampleWidth(int format) {
    return format == kBinary64 || isCsv(format) ? 8 : 4;
}

const char *StorageFormat::extension(int format) {
    if (isCsv(format))
        return "csv";
    return format == kFlacCounts ? "flac7150" : "bin7150";
}

const char *StorageFormat::headerName(int format) {
    switch (format) {
    case kBinary64:
        return "ViReal64";
    case kBinary32:
        return "ViReal32";
    case kFlacCounts:
        return "FLAC";
    default:
        return "raw";
    }
}

int StorageFormat::gain(int gainIndex) {
    static constexpr int gains[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
    constexpr int gainCount = int(sizeof gains / sizeof gains[0]);
    // A stale or corrupt choice must still give a usable scale, so it counts as gain 1.
    return gainIndex < 0 || gainIndex >= gainCount ? 1 : gains[gainIndex];
}

double StorageFormat::lsb(int gainIndex) {
    return 10.24 / 8388608.0 / gain(gainIndex);
}

std::string StorageFormat::dataRateText(int bytesPerValue, int valuesPerSecond, bool text) {
    // 8 bytes x 16 cards x 8 channels x 216 kHz already passes 2^31.
    const long long bytes = static_cast<long long>(bytesPerValue) * valuesPerSecond;
    char rate[64];
    if (bytes < 1024)
        std::snprintf(rate, sizeof rate, "%lld B/s", bytes);
    else if (bytes < 1048576)
        std::snprintf(rate, sizeof rate, "%.1lf kB/s", bytes / 1024.0);
    else
        std::snprintf(rate, sizeof rate, "%.1lf MB/s", bytes / 1048576.0);
    std::string result = std::string("Data Rate: ") + rate;
    if (text)
        result += " (TEXT)";
    return result;
}

std::string StorageFormat::fileSizeText(uint64_t bytes) {
    char size[64];
    if (bytes >= (uint64_t(1) << 30))
        std::snprintf(size, sizeof size, "%.2lf GB", double(bytes) / double(uint64_t(1) << 30));
    else if (bytes >= (uint64_t(1) << 20))
        std::snprintf(size, sizeof size, "%.1lf MB", double(bytes) / 1048576.0);
    else if (bytes >= 1024)
        std::snprintf(size, sizeof size, "%.1lf kB", double(bytes) / 1024.0);
    else
        std::snprintf(size, sizeof size, "%d B", int(bytes));
    return size;
}
