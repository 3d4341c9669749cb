// The ways a continuous acquisition can store its blocks, and the figures the panel shows
// about them (data rate, file size, volts per count).
#pragma once

#include <cstdint>
#include <string>

struct StorageFormat {
    // Format codes.
    static constexpr int kBinary64 = 0;   // doubles, volts
    static constexpr int kCsvVolts = 1;   // text
    static constexpr int kCsvMilli = 2;   // text, millivolts
    static constexpr int kBinary32 = 3;   // 4-byte floats, volts
    static constexpr int kRawCounts = 4;  // 4-byte signed counts
    static constexpr int kFlacCounts = 5; // 24-bit counts in FLAC streams beside a description

    // Format of a dialog choice index: 0..3 as they are, 4 FLAC, anything else raw counts.
    static int fromChoice(int index);
    // Bytes per sample in the ring: 8 for formats 0-2, 4 otherwise (counts for FLAC).
    static int sampleWidth(int format);
    static bool isCsv(int format) { return format == kCsvVolts || format == kCsvMilli; }
    // Whether the ring holds counts as the cards deliver them.
    static bool holdsCounts(int format) { return format == kRawCounts || format == kFlacCounts; }
    // The extension, without its dot, of the files of a format: "bin7150", "csv", "flac7150".
    static const char *extension(int format);
    // The FORMAT value of a binary file's header.
    static const char *headerName(int format);

    // Volts per count for a gain choice index 0..9 (gain 1, 2, 5, ... 1000): 10.24 V / 2^23 / gain.
    static double lsb(int gainIndex);
    // The gain of a choice index; 1 for an index out of range, as lsb() takes it.
    static int gain(int gainIndex);

    // "Data Rate: 13.2 MB/s", "Data Rate: 2.6 kB/s (TEXT)": bytesPerValue x values per second,
    // in integer arithmetic, as B/s below 1024, kB/s below 1 MiB, else MB/s.
    static std::string dataRateText(int bytesPerValue, int valuesPerSecond, bool text);
    // "512 B", "1.5 kB", "3.0 MB", "1.25 GB" (binary prefixes).
    static std::string fileSizeText(uint64_t bytes);
};
