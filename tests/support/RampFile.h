// Reads a stored file of the simulation's ramp signal back through the program's block reader
// and proves it gap-free: every channel's counts run on by one scan from the first block to the
// last (modulo 2^23), and the scan times advance by exactly 1/rate.
#pragma once

#include "DataFileReader.h"
#include "Describe.h"
#include "fileInfo_t.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct RampFile {
    fileInfo_t info{};
    uint64_t blocks = 0;
};

// What is wrong with the file, "" when it is gap-free. lsb: volts per count of every channel
// (all at the same gain), or 0 for each channel's own of a FLAC recording's description.
// rampEvery: only channels 0, rampEvery, 2 x rampEvery ... carry the ramp; a lost scan is lost
// on every channel.
inline std::string rampFileGap(const std::string &path, double lsb, RampFile &out, int rampEvery = 1) {
    if (DataFileReader::readHeader(path.c_str(), out.info) != 0)
        return "header refused";
    const fileInfo_t &info = out.info;
    out.blocks = info.blockCount;
    const auto n = static_cast<uint64_t>(info.scansPerBlock);
    std::vector<unsigned char> raw(info.dataLength);
    std::vector<uint32_t> sec(n), nsec(n);
    int64_t first = -1, sec0 = 0, nsec0 = 0;
    for (uint64_t b = 0; b < info.blockCount; ++b) {
        if (DataFileReader::readBlock(info, raw.data(), sec.data(), nsec.data(), b) != 1)
            return describe("block ", b, " unreadable");
        for (uint64_t s = 0, scan = b * n; s < n; ++s, ++scan) {
            for (int k = 0; k < info.channels; k += rampEvery) {
                const uint64_t i = uint64_t(k) * n + s;
                const double v = readsDoubles(info) ? reinterpret_cast<const double *>(raw.data())[i]
                                                    : reinterpret_cast<const float *>(raw.data())[i];
                const int64_t count = std::llround(v / (lsb > 0 ? lsb : info.channelLsb[k]));
                first = first < 0 ? count : first;
                if (count != (first + int64_t(scan)) % (1 << 23))
                    return describe("block ", b, " channel ", k, " scan ", s, ": count ", count);
            }
            if (scan == 0)
                sec0 = sec[0], nsec0 = nsec[0];
            // In integer nanoseconds: a double of today's seconds cannot hold them.
            const int64_t t = (sec[s] - sec0) * 1000000000 + nsec[s] - nsec0;
            if (info.timestamps && std::llabs(t - std::llround(double(scan) * 1e9 / info.rate)) > 1)
                return describe("block ", b, " scan ", s, ": ", t, " ns after the first");
        }
    }
    return "";
}

// The same for a CSV file of the ramp: after its three header lines, every line holds one value
// of each of channels channels, each followed by ", ", and the file ends with a whole line.
// lines: the scan lines read.
inline std::string csvRampFileGap(const std::string &path, double lsb, int channels, long &lines) {
    std::ifstream in(path);
    std::string line;
    for (int header = 0; header < 3; ++header)
        if (!std::getline(in, line))
            return "header lines missing";
    lines = 0;
    for (long first = -1, count = 0, channel = 0; std::getline(in, line); ++lines, channel = 0) {
        std::istringstream values(line);
        for (double volts = 0; channel < channels && values >> volts && values.get() == ','; ++channel) {
            count = std::lround(volts / lsb);
            first = first < 0 ? count : first;
            if (count != (first + lines) % (1 << 23))
                return describe("line ", lines, " channel ", channel + 1, ": count ", count);
        }
        if (in.eof() || channel < channels || values.get() != ' ' || values.get() != EOF)
            return describe("line ", lines, ": '", line, "'");
    }
    return "";
}
