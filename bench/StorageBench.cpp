// Continuous storage against plain baselines in the same run, in the current folder (run it
// from the build folder): binary blocks through DataFileWriter against one write(2) per block,
// and CSV lines through CsvWriter against an fprintf loop, whose output must be the same
// bytes. It reports; it never fails.
#include "BenchClock.h"
#include "CsvWriter.h"
#include "DataFileWriter.h"
#include "StorageFormat.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---- binary blocks -------------------------------------------------------------------------

constexpr int kBinChannels = 16;
constexpr int kBinScans = 16384;
constexpr size_t kSampleBytes = size_t(kBinChannels) * kBinScans * sizeof(double);
constexpr size_t kTimeBytes = size_t(kBinScans) * sizeof(uint32_t);
constexpr size_t kBlockBytes = kSampleBytes + 2 * kTimeBytes;
constexpr int kRounds = 5;

// One buffer as a block lies in the file; the writer gets pointers into it, the baseline all of it.
struct BinaryBlock {
    std::vector<char> bytes = std::vector<char>(kBlockBytes);
    const uint32_t *seconds() const { return reinterpret_cast<const uint32_t *>(bytes.data()); }
    const uint32_t *nanoseconds() const { return seconds() + kBinScans; }
    const void *samples() const { return bytes.data() + 2 * kTimeBytes; }

    BinaryBlock() {
        uint32_t *times = reinterpret_cast<uint32_t *>(bytes.data());
        for (int s = 0; s < kBinScans; ++s) {
            times[s] = 1700000000u;
            times[kBinScans + s] = uint32_t(s * 4630u);
        }
        double *samples = reinterpret_cast<double *>(bytes.data() + 2 * kTimeBytes);
        for (size_t i = 0; i < size_t(kBinChannels) * kBinScans; ++i)
            samples[i] = 5.0 * std::sin(0.001 * double(i));
    }
};

// MB/s of one run writing blocks blocks into path, fsync included; 0 when a write failed.
template <typename Run> double throughput(const std::string &path, int blocks, Run run) {
    sync(); // what others left in the page cache is not ours to write
    const auto start = Clock::now();
    const bool ok = run(path, blocks);
    const double seconds = secondsSince(start);
    fs::remove(path);
    return ok ? double(kBlockBytes) * blocks / seconds / 1e6 : 0.0;
}

bool writeWithWriter(const BinaryBlock &block, const std::string &path, int blocks) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = true;
    for (int b = 0; ok && b < blocks; ++b)
        ok = DataFileWriter::writeBlock(file, block.seconds(), block.nanoseconds(), kBinScans,
                                        block.samples(), kSampleBytes);
    ok = ok && fsync(fileno(file)) == 0;
    return std::fclose(file) == 0 && ok;
}

bool writeWithSystemCall(const BinaryBlock &block, const std::string &path, int blocks) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    for (int b = 0; ok && b < blocks; ++b)
        ok = write(fd, block.bytes.data(), kBlockBytes) == ssize_t(kBlockBytes);
    ok = ok && fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

void benchBinary() {
    const fs::path folder = fs::current_path();
    std::error_code error;
    const uint64_t available = fs::space(folder, error).available;
    // One file exists at a time; leave the disk at least a quarter of what it had, and 256 MiB.
    int blocks = int((uint64_t(1) << 30) / kBlockBytes);
    const uint64_t spare =
        available > (uint64_t(256) << 20) ? (available - (uint64_t(256) << 20)) * 3 / 4 : 0;
    if (!error && uint64_t(blocks) * kBlockBytes > spare)
        blocks = int(spare / kBlockBytes);
    std::printf("binary blocks: %d channels x %d scans x 8 bytes + timestamps = %.2f MiB per block\n",
                kBinChannels, kBinScans, kBlockBytes / 1048576.0);
    if (blocks < 8) {
        std::printf("  skipped: %.0f MiB free in %s\n\n", available / 1048576.0, folder.c_str());
        return;
    }
    std::printf("  %d blocks = %.2f GiB per run into %s, fsync at the end of each run, 2 x %d runs\n", blocks,
                double(blocks) * kBlockBytes / 1073741824.0, folder.c_str(), kRounds);

    const BinaryBlock block;
    const std::string path = (folder / ("bench_storage_" + std::to_string(getpid()) + ".bin7150")).string();
    auto baselineRun = [&] {
        return throughput(path, blocks,
                          [&](const std::string &p, int n) { return writeWithSystemCall(block, p, n); });
    };
    auto writerRun = [&] {
        return throughput(path, blocks,
                          [&](const std::string &p, int n) { return writeWithWriter(block, p, n); });
    };
    // A virtual disk's speed wanders from run to run: the two run back to back in rounds, taking
    // turns going first, and the ratio is the median of the rounds' ratios.
    std::vector<double> ratios;
    bool failed = false;
    std::printf("  warm-up (not counted): baseline %.1f MB/s\n", baselineRun());
    for (int round = 1; round <= kRounds; ++round) {
        double baseline = 0.0, writer = 0.0;
        if (round % 2) {
            baseline = baselineRun();
            writer = writerRun();
        } else {
            writer = writerRun();
            baseline = baselineRun();
        }
        failed = failed || baseline == 0.0 || writer == 0.0;
        std::printf("  round %d: baseline write(2), one call per block %7.1f MB/s | "
                    "DataFileWriter::writeBlock %7.1f MB/s%s\n",
                    round, baseline, writer, failed ? "  (a write FAILED)" : "");
        if (baseline > 0.0)
            ratios.push_back(writer / baseline);
    }
    std::sort(ratios.begin(), ratios.end());
    if (!failed)
        std::printf("  ratio writer / baseline (median of %d rounds): %.3f (target >= 0.9)\n", kRounds,
                    ratios[ratios.size() / 2]);
    std::printf("\n");
}

// ---- CSV lines ---------------------------------------------------------------------------

constexpr int kCsvChannels = 8;
constexpr int kCsvScans = 16384;
constexpr int kCsvBlocks = 20;
constexpr double kRate = 216000.0;

// Volts as the cards deliver them: counts of a gain's step, from sines with some noise.
struct CsvBlocks {
    std::vector<std::vector<double>> samples;
    std::vector<std::vector<uint32_t>> seconds, nanoseconds;

    CsvBlocks() {
        std::mt19937_64 random(42);
        std::normal_distribution<double> noise(0.0, 2e-3);
        uint64_t scan = 0;
        for (int b = 0; b < kCsvBlocks; ++b) {
            samples.emplace_back(size_t(kCsvChannels) * kCsvScans);
            seconds.emplace_back(kCsvScans);
            nanoseconds.emplace_back(kCsvScans);
            for (int s = 0; s < kCsvScans; ++s, ++scan) {
                const double t = double(scan) / kRate;
                seconds[b][s] = 1700000000u + uint32_t(t);
                nanoseconds[b][s] = uint32_t((t - std::floor(t)) * 1e9);
                for (int k = 0; k < kCsvChannels; ++k) {
                    const double lsb = StorageFormat::lsb(k % 4);
                    const double volts =
                        (9.5 / (k + 1)) * std::sin(6.283185307179586 * (50.0 + 97.0 * k) * t) + noise(random);
                    samples[b][size_t(k) * kCsvScans + s] = std::nearbyint(volts / lsb) * lsb;
                }
            }
        }
    }
};

bool csvWithWriter(const CsvBlocks &data, std::FILE *file, bool millivolts) {
    bool ok = true;
    for (int b = 0; ok && b < kCsvBlocks; ++b)
        ok = CsvWriter::writeBlock(file, data.samples[b].data(), kCsvChannels, kCsvScans, millivolts,
                                   data.seconds[b].data(), data.nanoseconds[b].data());
    return ok;
}

bool csvWithFprintf(const CsvBlocks &data, std::FILE *file, bool millivolts) {
    for (int b = 0; b < kCsvBlocks; ++b) {
        const double *samples = data.samples[b].data();
        for (int s = 0; s < kCsvScans; ++s) {
            std::fprintf(file, "%ld.%09ld, ", long(data.seconds[b][s]), long(data.nanoseconds[b][s]));
            for (int k = 0; k < kCsvChannels; ++k) {
                const double volts = samples[size_t(k) * kCsvScans + s];
                if (millivolts)
                    std::fprintf(file, "%.3lf, ", volts * 1000.0);
                else
                    std::fprintf(file, "%.6lf, ", volts);
            }
            std::fprintf(file, "\n");
        }
        std::fflush(file);
    }
    return !std::ferror(file);
}

// Seconds to write all blocks into path; negative when the stream failed.
template <typename Write> double timeCsv(const std::string &path, Write write) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return -1.0;
    const auto start = Clock::now();
    const bool ok = write(file);
    const double seconds = secondsSince(start);
    return std::fclose(file) == 0 && ok ? seconds : -1.0;
}

std::string contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void compareFiles(const std::string &baselinePath, const std::string &writerPath) {
    const std::string expected = contents(baselinePath), got = contents(writerPath);
    if (expected == got) {
        std::printf("  output identical (%zu bytes)\n", got.size());
        return;
    }
    const auto first = std::mismatch(expected.begin(), expected.end(), got.begin(), got.end());
    const size_t at = size_t(first.first - expected.begin());
    const size_t lineStart = expected.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t from = lineStart == std::string::npos || at == 0 ? 0 : lineStart + 1;
    std::printf("  MISMATCH: files differ at byte %zu (sizes %zu and %zu)\n", at, expected.size(),
                got.size());
    std::printf("    fprintf: %.120s\n    writer:  %.120s\n",
                expected.substr(from, expected.find('\n', from) - from).c_str(),
                got.substr(from, got.find('\n', from) - from).c_str());
}

void benchCsv(const CsvBlocks &data, bool millivolts) {
    const std::string stem = (fs::current_path() / ("bench_storage_" + std::to_string(getpid()))).string();
    const std::string baselinePath = stem + "_fprintf.csv", writerPath = stem + "_writer.csv";
    std::printf("CSV in %s: %d channels x %d scans x %d blocks with timestamps\n",
                millivolts ? "millivolts" : "volts", kCsvChannels, kCsvScans, kCsvBlocks);
    const double baseline =
        timeCsv(baselinePath, [&](std::FILE *f) { return csvWithFprintf(data, f, millivolts); });
    const double writer =
        timeCsv(writerPath, [&](std::FILE *f) { return csvWithWriter(data, f, millivolts); });
    std::error_code error;
    const double mb = double(fs::file_size(writerPath, error)) / 1e6;
    std::printf("  baseline fprintf loop   %7.3f s  %7.1f MB/s\n", baseline, mb / baseline);
    std::printf("  CsvWriter::writeBlock   %7.3f s  %7.1f MB/s\n", writer, mb / writer);
    if (baseline > 0.0 && writer > 0.0)
        std::printf("  speed ratio writer / fprintf: %.1fx (target >= 4x)\n", baseline / writer);
    else
        std::printf("  a write FAILED\n");
    compareFiles(baselinePath, writerPath);
    fs::remove(baselinePath);
    fs::remove(writerPath);
    std::printf("\n");
}

} // namespace

int main() {
    benchBinary();
    const CsvBlocks data;
    benchCsv(data, false);
    benchCsv(data, true);
    return 0;
}
