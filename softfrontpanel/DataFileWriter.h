// Writes the stored-file layouts of a continuous acquisition: the binary file's text header
// and blocks, and the CSV file's header lines and scan lines. Every function reports whether
// the stream took all it was given; the caller decides what a failure means.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What the header of a binary file says.
struct DataFileHeader {
    int format = 0; // StorageFormat code 0, 3, 4 or 5
    double rate = 0.0;
    int channels = 0;
    int scans = 0;
    std::vector<uint8_t> masks; // one per card, bit 0 = channel 1
    double timeOffset = 0.0;    // -preTrigger / rate
    bool timestamps = false;
    // Volts per count and gain of each stored channel, in block order; written for FLAC
    // recordings, whose streams hold counts (the gains only when given).
    std::vector<double> lsb;
    std::vector<int> gains;
};

class DataFileWriter {
public:
    static bool writeHeader(std::FILE *file, const DataFileHeader &header);
    // The shortest text that reads back as exactly value.
    static std::string exactNumber(double value);
    // One block: the seconds and nanoseconds arrays first when seconds is not null (scans
    // values each), then bytes of samples. Flushed, so that a block is on disk once written.
    static bool writeBlock(std::FILE *file, const uint32_t *seconds, const uint32_t *nanoseconds, int scans,
                           const void *samples, size_t bytes);

    // "FC2_CH3" for each stored channel, card by card, in the order of a block's samples.
    static std::vector<std::string> channelNames(const std::vector<uint8_t> &masks);
    // "Units: V" or "mV", "Sampling rate: ..." and the column line. masks as in the header.
    static bool writeCsvHeader(std::FILE *file, bool millivolts, double rate,
                               const std::vector<uint8_t> &masks, bool timestamps);
};
