// Files written by the program itself: recordings handed block by block to the continuous
// storage's ring and stored by its writer, as during a continuous acquisition (the driver's
// callback fills the slots; here the test does). And the tool run as a separate process.
#pragma once

#include "ContinuousStorage.h"
#include "StorageFormat.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <bitset>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

// What a recording is made of. Channel e of the block sequence is a sine of its own frequency,
// amplitude, offset and phase, with a little noise, running on from block to block.
struct Recording {
    std::string name;
    std::vector<uint16_t> masks; // per card
    bool floats = false;         // "Binary, ViReal32"; else ViReal64
    bool timestamps = false;
    int blocks = 3;
    int scans = 1000;
    double rate = 10000.0;
    int32_t preTrigger = 250;
    // Volts that are whole counts of the channel's volts per count, as the cards deliver them,
    // so that a FLAC recording holds them without loss.
    bool counts = false;

    int channels() const {
        int n = 0;
        for (uint16_t m : masks)
            n += int(std::bitset<8>(m).count());
        return n;
    }
    // Volts per count of channel e: gain 1 and 2 in turn, within which every channel's sine fits.
    static double lsb(int e) { return StorageFormat::lsb(e % 2); }
    std::vector<double> lsbs() const {
        std::vector<double> list;
        for (int e = 0; e < channels(); ++e)
            list.push_back(lsb(e));
        return list;
    }
    // Volts of block b, channel-major, as the cards would deliver them.
    std::vector<double> block(int b) const {
        std::mt19937 noise(unsigned(b) + 1);
        std::normal_distribution<double> n(0.0, 1e-4);
        std::vector<double> v(std::size_t(channels()) * scans);
        for (int e = 0; e < channels(); ++e)
            for (int i = 0; i < scans; ++i) {
                const double t = double(b * scans + i) / rate;
                const double f = 130.0 * (e + 1) + 7.3 * e; // off the FFT bins from channel 2 on
                v[std::size_t(e) * scans + i] =
                    (0.5 + 0.25 * e) * std::sin(2 * M_PI * f * t + 0.3 * e) + 0.01 * e + n(noise);
            }
        if (counts)
            for (int e = 0; e < channels(); ++e)
                for (int i = 0; i < scans; ++i) {
                    double &x = v[std::size_t(e) * scans + i];
                    x = double(std::llround(x / lsb(e))) * lsb(e); // a count of 0 is +0 V, never -0
                }
        if (floats) // what the file holds, read back
            for (double &x : v)
                x = double(float(x));
        return v;
    }
    uint32_t second(int b, int i) const { return 1700000000u + uint32_t((b * scans + i) / rate); }
    uint32_t nanosecond(int b, int i) const {
        return uint32_t(std::fmod((b * scans + i) / rate, 1.0) * 1e9) + 7;
    }

    // Stores every block in format (a StorageFormat code) through the continuous storage.
    void store(const std::string &path, int format) const {
        ASSERT_LT(blocks, int(contParams_t::kSlots)) << "one pass of the ring";
        ContinuousStorage storage;
        ContinuousStorage::Plan plan;
        plan.format = format;
        plan.fileName = path;
        plan.timestamps = timestamps;
        plan.scans = scans;
        plan.rate = rate;
        plan.preTrigger = preTrigger;
        plan.masks = masks;
        plan.gainIndex.assign(masks.size() * 8, 0);
        ASSERT_EQ(storage.prepare(plan), ContinuousStorage::Result::Ready) << path;
        contParams_t &p = storage.params();
        for (int b = 0; b < blocks; ++b) {
            const std::vector<double> v = block(b);
            if (format == StorageFormat::kBinary32)
                for (std::size_t i = 0; i < v.size(); ++i)
                    static_cast<float *>(p.data[b])[i] = float(v[i]);
            else
                std::memcpy(p.data[b], v.data(), v.size() * sizeof(double));
            for (int i = 0; i < scans; ++i) {
                p.seconds[b][i] = second(b, i);
                p.nanoseconds[b][i] = nanosecond(b, i);
            }
        }
        p.writeIndex.exchange(uint32_t(blocks));
        storage.startWriter();
        ASSERT_EQ(storage.finish(), "") << path;
        storage.release();
    }
    // The binary file of this recording.
    void storeBinary(const std::string &path) const {
        store(path, floats ? StorageFormat::kBinary32 : StorageFormat::kBinary64);
    }
};

// The recordings of the tests: one and three cards, with and without timestamps, both sample
// widths. The storage dialog offers timestamps with ViReal64 only; the storage itself writes
// them with ViReal32 too, and the reader takes such files.
inline std::vector<Recording> programRecordings() {
    return {
        {"one card, ViReal64, timestamps", {0x05}, false, true},
        {"one card, ViReal32", {0x81}, true, false, 2, 1024, 20000.0, 0},
        {"three cards, ViReal64", {0x03, 0x30, 0x81}, false, false, 4, 600, 6000.0, 60},
        {"three cards, ViReal32, timestamps", {0x01, 0x02, 0x80}, true, true},
    };
}

struct ToolRun {
    int status = -1; // -1: did not end normally
    std::string out;
    std::string err;
};

inline ToolRun runTool(const QStringList &args) {
    QProcess process;
    process.start(KQ_TOOL, args);
    ToolRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

inline std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> result;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        result.push_back(text.substr(at, end - at));
    }
    return result;
}
