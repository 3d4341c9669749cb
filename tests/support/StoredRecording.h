// A recording a test needs on disk, written through the program's own writers (the header and
// blocks of DataFileWriter, the streams of FlacRecordingWriter), so that what a reader meets is
// what the continuous storage would have left. Header-only and free of any test framework.
//
//   StoredRecording r;
//   r.withFormat(StorageFormat::kBinary32).withMasks({0x03, 0x81}).withBlocks(3).withScans(500);
//   ASSERT_EQ(r.write(path), "");
//   r.volts(k, scan) / r.block(b): what a reader must give back.
#pragma once

#include "DataFileWriter.h"
#include "FlacRecordingFiles.h"
#include "FlacRecordingWriter.h"
#include "StorageFormat.h"

#include <bitset>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

struct StoredRecording {
    // Volts of stored channel k (block order) at scan number scan, counted from the file's first.
    using Signal = std::function<double(int k, int64_t scan)>;

    // kBinary64, kBinary32, kFlacCounts; the CSV formats only as the continuous storage's plan
    int format = StorageFormat::kBinary64;
    double rate = 1000.0;
    std::vector<uint8_t> masks = {0x01}; // per card, bit 0 = channel 1
    int scans = 100;                     // per block
    int blocks = 1;
    bool timestamps = false;
    int preTrigger = 0;       // scans before the trigger: the header's time offset
    std::vector<double> lsb;  // volts per count of each stored channel; gain 1 for those not given
    std::vector<int> gains;   // written beside the volts per count of a FLAC recording when given
    bool wholeCounts = false; // volts rounded to whole counts, as the cards deliver them (FLAC always)
    uint32_t firstSecond = 1700000000;
    uint32_t firstNanosecond = 7;
    Signal signal; // none: sines()
    // Bytes after the last block: of the file the path names, of a FLAC recording its first
    // card's stream.
    std::string garbage;
    // Called once every block is written and flushed, before the FLAC streams are finished,
    // with the blocks their whole frames hold: a test may kill the writer there.
    std::function<void(uint64_t wholeBlocks)> beforeFinish;

    StoredRecording &withFormat(int f) { return format = f, *this; }
    StoredRecording &withRate(double hz) { return rate = hz, *this; }
    StoredRecording &withMasks(std::vector<uint8_t> m) { return masks = std::move(m), *this; }
    StoredRecording &withScans(int n) { return scans = n, *this; }
    StoredRecording &withBlocks(int n) { return blocks = n, *this; }
    StoredRecording &withTimestamps(bool on = true) { return timestamps = on, *this; }
    StoredRecording &withPreTrigger(int n) { return preTrigger = n, *this; }
    StoredRecording &withWholeCounts(bool on = true) { return wholeCounts = on, *this; }
    StoredRecording &withLsb(std::vector<double> l) { return lsb = std::move(l), *this; }
    StoredRecording &withSignal(Signal s) { return signal = std::move(s), *this; }
    StoredRecording &withGarbage(std::string bytes) { return garbage = std::move(bytes), *this; }
    StoredRecording &withFirstTime(uint32_t s, uint32_t ns) {
        return firstSecond = s, firstNanosecond = ns, *this;
    }

    int channels() const {
        return std::accumulate(masks.begin(), masks.end(), 0,
                               [](int n, uint8_t m) { return n + int(std::bitset<8>(m).count()); });
    }
    double lsbOf(int k) const { return size_t(k) < lsb.size() ? lsb[size_t(k)] : StorageFormat::lsb(0); }
    bool floats() const { return format == StorageFormat::kBinary32; }

    // What a reader gives back of channel k at scan: the signal as the format stores it.
    double volts(int k, int64_t scan) const {
        double v = signal ? signal(k, scan) : sines(k, double(scan) / rate);
        if (wholeCounts || format == StorageFormat::kFlacCounts)
            v = double(std::llround(v / lsbOf(k))) * lsbOf(k) + 0.0; // a count of 0 is +0 V, never -0
        return floats() ? double(float(v)) : v;
    }
    // Block b, channel-major.
    std::vector<double> block(int b) const {
        std::vector<double> v(size_t(channels()) * size_t(scans));
        for (int k = 0; k < channels(); ++k)
            for (int s = 0; s < scans; ++s)
                v[size_t(k) * size_t(scans) + size_t(s)] = volts(k, int64_t(b) * scans + s);
        return v;
    }
    // Scan times run on from the first by 1/rate, in whole nanoseconds.
    uint64_t at(int64_t scan) const { return firstNanosecond + uint64_t(std::llround(scan * 1e9 / rate)); }
    uint32_t second(int64_t scan) const { return uint32_t(firstSecond + at(scan) / 1000000000u); }
    uint32_t nanosecond(int64_t scan) const { return uint32_t(at(scan) % 1000000000u); }

    // The same values stored in another format (a FLAC twin of a ViReal64 file of whole counts,
    // the CSV a conversion must match).
    StoredRecording twin(int otherFormat) const {
        return StoredRecording(*this)
            .withFormat(otherFormat)
            .withSignal([source = *this](int k, int64_t scan) { return source.volts(k, scan); });
    }

    // "" once the recording is on disk, else what failed.
    std::string write(const std::string &path) const {
        std::FILE *file = std::fopen(path.c_str(), "wb");
        if (!file)
            return "cannot create " + path;
        const bool flac = format == StorageFormat::kFlacCounts;
        const double timeOffset = -preTrigger / rate;
        std::vector<double> lsbs;
        for (int k = 0; k < channels(); ++k)
            lsbs.push_back(lsbOf(k));
        FlacRecordingWriter streams;
        bool ok = DataFileWriter::writeHeader(
                      file, {format, rate, channels(), scans, masks, timeOffset, timestamps, lsbs, gains}) &&
                  (!flac || streams.open({path, rate, scans, masks, lsbs, timeOffset, timestamps, gains}));
        for (int b = 0; ok && b < blocks; ++b) {
            const std::vector<double> v = block(b);
            std::vector<uint32_t> sec, nsec;
            for (int64_t s = int64_t(b) * scans; s < int64_t(b + 1) * scans; ++s)
                sec.push_back(second(s)), nsec.push_back(nanosecond(s));
            const uint32_t *seconds = timestamps ? sec.data() : nullptr,
                           *nanoseconds = timestamps ? nsec.data() : nullptr;
            std::vector<int32_t> counts(v.size());
            const std::vector<float> narrow(v.begin(), v.end());
            if (flac)
                ok = FlacRecordingWriter::countsOfVolts(v.data(), counts.data(), channels(), scans,
                                                        lsbs.data()) &&
                     streams.write(counts.data(), seconds, nanoseconds) && streams.flush();
            else
                ok = DataFileWriter::writeBlock(file, seconds, nanoseconds, scans,
                                                floats() ? (const void *)narrow.data() : v.data(),
                                                v.size() * (floats() ? sizeof(float) : sizeof(double)));
        }
        if (ok && beforeFinish) {
            std::fflush(file);
            beforeFinish(flac ? streams.wholeBlocks() : uint64_t(blocks));
        }
        ok = ok && (!flac || streams.finish());
        ok = std::fclose(file) == 0 && ok;
        if (!ok)
            return "cannot write " + path;
        const std::string end = flac ? FlacRecordingFiles::cardStream(path, 1) : path;
        std::FILE *tail = garbage.empty() ? nullptr : std::fopen(end.c_str(), "ab");
        if (tail)
            ok = std::fwrite(garbage.data(), 1, garbage.size(), tail) == garbage.size() &&
                 std::fclose(tail) == 0;
        return ok ? "" : "cannot append to " + end;
    }

    // Channel k at t seconds: a sine of its own frequency (off the FFT bins from channel 2 on),
    // amplitude, offset and phase, each within gain 2's range, with a little noise.
    static double sines(int k, double t) {
        const int64_t scan = std::llround(t * 1e6);
        const double f = 130.0 * (k + 1) + 7.3 * k;
        uint64_t z = uint64_t(scan) * 8 + uint64_t(k) + 0x9E3779B97F4A7C15u; // splitmix64
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        const double noise = double(z >> 11) / double(1ull << 53) - 0.5;
        return (0.5 + 0.25 * k) * std::sin(2 * M_PI * f * t + 0.3 * k) + 0.01 * k + 2e-4 * noise;
    }
};
