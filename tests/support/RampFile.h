// Reads a stored binary file of the simulation's ramp signal back through the program's block
// reader and proves it gap-free: every channel's counts run on by one scan from the first
// block to the last (modulo 2^23), and the scan times advance by exactly 1/rate.
#pragma once

#include "DataFileReader.h"
#include "fileInfo_t.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct RampFile {
    fileInfo_t info{};
    uint64_t blocks = 0;
};

template <typename... Parts> std::string describe(const Parts &...parts) {
    std::ostringstream text;
    (text << ... << parts);
    return text.str();
}

// What is wrong with the file, "" when it is gap-free. lsb: volts per count of every channel
// (all at the same gain), or 0 for the channel's own of a FLAC recording's description.
// rampEvery: only channels 0, rampEvery, 2 x rampEvery ... carry the ramp (8: the first of
// every card whose other channels carry other signals); a lost scan is lost on every channel.
inline std::string rampFileGap(const std::string &path, double lsb, RampFile &out, int rampEvery = 1) {
    if (DataFileReader::readHeader(path.c_str(), out.info) != 0)
        return "header refused";
    const fileInfo_t &info = out.info;
    out.blocks = info.blockCount;
    const auto n = static_cast<uint64_t>(info.scansPerBlock);
    std::vector<unsigned char> raw(info.dataLength);
    std::vector<uint32_t> sec(n), nsec(n);
    int64_t first = -1; // count of scan 0
    uint32_t sec0 = 0, nsec0 = 0;
    for (uint64_t b = 0; b < info.blockCount; ++b) {
        if (DataFileReader::readBlock(info, raw.data(), sec.data(), nsec.data(), b) != 1)
            return describe("block ", b, " unreadable");
        for (int k = 0; k < info.channels; k += rampEvery)
            for (uint64_t s = 0; s < n; ++s) {
                const uint64_t i = static_cast<uint64_t>(k) * n + s;
                const double v = readsDoubles(info) ? reinterpret_cast<const double *>(raw.data())[i]
                                                    : reinterpret_cast<const float *>(raw.data())[i];
                const auto count =
                    static_cast<int64_t>(std::llround(v / (lsb > 0 ? lsb : info.channelLsb[k])));
                if (first < 0)
                    first = count;
                const int64_t expected = (first + static_cast<int64_t>(b * n + s)) % (1 << 23);
                if (count != expected)
                    return describe("block ", b, " channel ", k, " scan ", s, ": count ", count,
                                    ", expected ", expected);
            }
        if (!info.timestamps)
            continue;
        for (uint64_t s = 0; s < n; ++s) {
            if (b == 0 && s == 0) {
                sec0 = sec[0];
                nsec0 = nsec[0];
            }
            // In integer nanoseconds: a double of today's seconds cannot hold them.
            const int64_t t = (static_cast<int64_t>(sec[s]) - sec0) * 1000000000 + nsec[s] - nsec0;
            const auto expected =
                static_cast<int64_t>(std::llround(static_cast<double>(b * n + s) * 1e9 / info.rate));
            if (std::llabs(t - expected) > 1)
                return describe("block ", b, " scan ", s, ": ", t, " ns after the first, expected ",
                                expected);
        }
    }
    return "";
}

// The same for a CSV file of the ramp: after its three header lines, every line holds one value
// of each of channels channels, each followed by ", ", one LSB on from the line before, and the
// file ends with a whole line. lines: the scan lines read.
inline std::string csvRampFileGap(const std::string &path, double lsb, int channels, long &lines) {
    std::ifstream in(path);
    std::string line, rest;
    for (int header = 0; header < 3; ++header)
        if (!std::getline(in, line))
            return "header lines missing";
    lines = 0;
    long first = -1;
    while (std::getline(in, line)) {
        if (in.eof())
            return describe("line ", lines, " is cut: '", line, "'");
        if (line.size() < 2 || line.compare(line.size() - 2, 2, ", ") != 0)
            return describe("line ", lines, ": '", line, "'");
        std::istringstream values(line);
        for (int channel = 0; channel < channels; ++channel) {
            double volts = 0;
            char comma = 0;
            if (!(values >> volts >> comma) || comma != ',')
                return describe("line ", lines, ": '", line, "'");
            const long count = std::lround(volts / lsb);
            if (first < 0)
                first = count;
            if (count != (first + lines) % (1 << 23))
                return describe("line ", lines, " channel ", channel + 1, ": count ", count, ", expected ",
                                (first + lines) % (1 << 23));
        }
        if (values >> rest)
            return describe("line ", lines, ": '", line, "' has more than ", channels, " values");
        ++lines;
    }
    return "";
}
