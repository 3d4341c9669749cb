// FLAC recordings against "Binary, ViReal64", with blocks the simulated driver delivers
// (kq7150_readMultAcquisition32, as the program reads counts for FLAC without scan times),
// written in the current folder (run it from the build folder) and deleted after:
// - size: bytes per hour of the recording as the program writes it, streams through
//   FlacRecordingWriter and the description through DataFileWriter, against the same blocks
//   in volts through DataFileWriter::writeBlock, for (a) the default world's three 7150 cards
//   as the program finds them (all channels, DC, gain 1, not calibrated) at 216 kHz and at the
//   program's starting rate of 10 kHz, and (b) one card whose 8 channels carry 1 mV sines at
//   gain 1000 under 30 counts rms of noise. A few seconds are recorded; the size grows with the
//   time, the few hundred bytes of headers are counted once.
// - encoder throughput on one core: FlacRecordingWriter with one card (one stream, encoded on
//   the calling thread without helpers) as a multiple of the real-time duration of the data,
//   8 channels at 216 kHz, beside a memcpy and the ViReal64 write of the same blocks.
// It reports; it never fails.
#include "BenchClock.h"
#include "BenchWorld.h"
#include "DataFileWriter.h"
#include "FlacRecordingFiles.h"
#include "FlacRecordingWriter.h"
#include "StorageFormat.h"

#include "kq7150.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr ViInt32 kScans = 16384;
constexpr int kChannelsPerCard = 8;
constexpr double kFullRate = 216000.0;
// The sampling rate the program starts with (kq7150fp_DAQ.cpp).
constexpr double kProgramRate = 10000.0;
constexpr double kRecordSeconds = 8.0;
// Gain 1000 is the last of the panel's gains 1, 2, 5 ... 1000.
constexpr int kHighGain = 1000;
constexpr int kHighGainIndex = 9;
constexpr double kNoiseCounts = 30.0;
// Wall time of one timed encoding pass, at least, and the passes whose median counts.
constexpr double kPassSeconds = 3.0;
constexpr int kPasses = 3;

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

std::string loadAverage() {
    std::FILE *f = std::fopen("/proc/loadavg", "r");
    char one[32] = "?";
    if (f) {
        if (std::fscanf(f, "%31s", one) != 1)
            std::snprintf(one, sizeof one, "?");
        std::fclose(f);
    }
    return one;
}

// ---- recordings from the simulated driver --------------------------------------------------

struct Recording {
    double rate = 0.0;
    std::vector<uint8_t> masks; // per card
    std::vector<double> lsb;    // volts per count of each channel, block order
    int channels = 0;
    std::vector<std::vector<int32_t>> blocks; // channels x kScans counts, channel-major
    std::string failure;
    double seconds() const { return double(blocks.size()) * kScans / rate; }
};

// All channels of the cards (resources and slots as kq7150_multInit takes them) at one gain,
// started untriggered as the program's "Start" does without a trigger, for at least seconds.
Recording record(const std::string &resources, std::vector<ViInt16> slots, double rate, int gain,
                 int gainIndex, double seconds) {
    Recording r;
    r.rate = rate;
    const int cards = int(slots.size());
    r.masks.assign(size_t(cards), 0xFF);
    r.channels = cards * kChannelsPerCard;
    r.lsb.assign(size_t(r.channels), StorageFormat::lsb(gainIndex));
    ViSession vi = VI_NULL;
    ViStatus status = kq7150_multInit(resources.c_str(), slots.data(), VI_TRUE, VI_TRUE, &vi);
    if (status != VI_SUCCESS) {
        r.failure = "kq7150_multInit: " + driverText(status);
        return r;
    }
    for (int ch = 1; status == VI_SUCCESS && gain != 1 && ch <= r.channels; ++ch)
        status = kq7150_setMultChanConfig(vi, ViInt16(ch), kq7150_SRC_FP_DIFF_DC, gain, VI_FALSE, VI_FALSE);
    std::vector<ViUInt16> masks(size_t(cards), 0xFF);
    ViSession card0 = VI_NULL;
    if (status == VI_SUCCESS)
        status = kq7150_setMultTrigConfig(vi, kq7150_TRIG_NONE, kq7150_MODE_EDGE, 1, 0.0, 0);
    if (status == VI_SUCCESS)
        status = kq7150_multConfig(vi, kq7150_SYNC_MBA, masks.data(), rate, kq7150_ACQ_UNTRIGGERED, 0, 0, 0);
    if (status == VI_SUCCESS)
        status = kq7150_startMultAcquisition(vi);
    if (status == VI_SUCCESS)
        status = kq7150_getMultFCsession(vi, 0, &card0);
    if (status == VI_SUCCESS)
        status = kq7150_generateITRI(card0, kq7150_PULSE);
    const auto count = size_t(std::ceil(seconds * rate / kScans));
    while (status == VI_SUCCESS && r.blocks.size() < count) {
        r.blocks.emplace_back(size_t(kScans) * size_t(r.channels));
        status = kq7150_readMultAcquisition32(vi, kScans, r.blocks.back().data());
    }
    if (status != VI_SUCCESS)
        r.failure = "driver: " + driverText(status);
    ViInt16 state = 0, overflow = 0;
    ViUInt16 errors = 0;
    ViUInt32 backlog = 0;
    kq7150_checkMultAcquisition(vi, &state, &errors, &backlog, &overflow);
    // A lost scan would make the recording one that no card delivers.
    if (r.failure.empty() && (errors & kq7150_ERR_ACQ_MASK)) {
        char word[64];
        std::snprintf(word, sizeof word, "acquisition error word 0x%04X", errors);
        r.failure = word;
    }
    kq7150_stopMultAcquisition(vi);
    kq7150_multClose(vi);
    return r;
}

// ---- size ----------------------------------------------------------------------------------

struct Sizes {
    uint64_t binary = 0;
    uint64_t flac = 0; // description and streams
    std::vector<uint64_t> streams;
    std::string failure;
};

uint64_t fileSize(const std::string &path) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    return error ? 0 : uint64_t(size);
}

DataFileHeader headerOf(const Recording &r, int format) {
    DataFileHeader header;
    header.format = format;
    header.rate = r.rate;
    header.channels = r.channels;
    header.scans = kScans;
    header.masks = r.masks;
    if (format == StorageFormat::kFlacCounts)
        header.lsb = r.lsb;
    return header;
}

FlacRecordingWriter::Plan planOf(const std::string &description, double rate,
                                 const std::vector<uint8_t> &masks, const std::vector<double> &lsb) {
    FlacRecordingWriter::Plan plan;
    plan.descriptionPath = description;
    plan.rate = rate;
    plan.scans = kScans;
    plan.masks = masks;
    plan.lsb = lsb;
    return plan;
}

// Both files of the recording, as the program's writer task writes them block by block.
Sizes writeBoth(const Recording &r, const std::string &stem) {
    Sizes sizes;
    const std::string description = stem + "." + StorageFormat::extension(StorageFormat::kFlacCounts);
    const std::string binary = stem + "." + StorageFormat::extension(StorageFormat::kBinary64);
    auto removeAll = [&] {
        fs::remove(description);
        fs::remove(binary);
        for (size_t c = 0; c < r.masks.size(); ++c)
            fs::remove(FlacRecordingFiles::cardStream(description, int(c + 1)));
    };

    // FLAC: the streams, then the description beside them (ContinuousStorage::openFile's order).
    FlacRecordingWriter flac;
    errno = 0;
    bool ok = flac.open(planOf(description, r.rate, r.masks, r.lsb));
    std::FILE *file = ok ? std::fopen(description.c_str(), "wb") : nullptr;
    ok = file && DataFileWriter::writeHeader(file, headerOf(r, StorageFormat::kFlacCounts));
    ok = (file && std::fclose(file) == 0) && ok;
    for (size_t b = 0; ok && b < r.blocks.size(); ++b)
        ok = flac.write(r.blocks[b].data(), nullptr, nullptr) && flac.flush();
    ok = ok && flac.finish();
    if (!ok) {
        sizes.failure = std::string("FLAC not written: ") + std::strerror(errno);
        removeAll();
        return sizes;
    }
    sizes.flac = fileSize(description);
    for (size_t c = 0; c < r.masks.size(); ++c) {
        sizes.streams.push_back(fileSize(FlacRecordingFiles::cardStream(description, int(c + 1))));
        sizes.flac += sizes.streams.back();
    }

    // ViReal64: the volts the driver would deliver, counts x volts per count.
    file = std::fopen(binary.c_str(), "wb");
    ok = file && DataFileWriter::writeHeader(file, headerOf(r, StorageFormat::kBinary64));
    std::vector<double> volts(size_t(kScans) * size_t(r.channels));
    for (size_t b = 0; ok && b < r.blocks.size(); ++b) {
        for (size_t i = 0; i < volts.size(); ++i)
            volts[i] = r.blocks[b][i] * r.lsb[i / size_t(kScans)];
        ok = DataFileWriter::writeBlock(file, nullptr, nullptr, kScans, volts.data(),
                                        volts.size() * sizeof(double));
    }
    ok = (file && std::fclose(file) == 0) && ok;
    if (!ok)
        sizes.failure = std::string("ViReal64 not written: ") + std::strerror(errno);
    sizes.binary = fileSize(binary);
    removeAll();
    return sizes;
}

// Returns the ratio ViReal64 / FLAC, 0 when it could not be measured.
double reportSize(const char *label, const char *what, const Recording &r, const std::string &stem) {
    std::printf("  %s %s\n", label, what);
    if (!r.failure.empty()) {
        std::printf("      not recorded: %s\n", r.failure.c_str());
        return 0.0;
    }
    const Sizes sizes = writeBoth(r, stem);
    if (!sizes.failure.empty()) {
        std::printf("      %s\n", sizes.failure.c_str());
        return 0.0;
    }
    const double seconds = r.seconds();
    const double perHour = 3600.0 / seconds / 1e9;
    std::printf("      %.1f s recorded (%zu blocks of %d scans), no scan lost\n", seconds, r.blocks.size(),
                kScans);
    std::printf(
        "      baseline \"Binary, ViReal64\" (DataFileWriter)  %8.3f GB per hour  (64 bits per sample)\n",
        double(sizes.binary) * perHour);
    std::string perCard;
    const double samplesPerCard = double(r.blocks.size()) * kScans * kChannelsPerCard;
    for (size_t c = 0; c < sizes.streams.size(); ++c) {
        char text[48];
        std::snprintf(text, sizeof text, "%sFC%zu %.2f", c ? ", " : "", c + 1,
                      sizes.streams[c] * 8.0 / samplesPerCard);
        perCard += text;
    }
    std::printf("      FLAC (FlacRecordingWriter)                %8.3f GB per hour  (bits per sample: %s)\n",
                double(sizes.flac) * perHour, perCard.c_str());
    const double ratio = double(sizes.binary) / double(sizes.flac);
    std::printf("      ratio ViReal64 / FLAC: %.2fx\n", ratio);
    return ratio;
}

// ---- encoder throughput --------------------------------------------------------------------

// The first card's channels of every block: they lead each channel-major block.
std::vector<std::vector<int32_t>> firstCard(const Recording &r) {
    std::vector<std::vector<int32_t>> blocks;
    for (const auto &block : r.blocks)
        blocks.emplace_back(block.begin(), block.begin() + size_t(kScans) * kChannelsPerCard);
    return blocks;
}

struct Pass {
    double dataSeconds = 0.0;
    double wall = 0.0;
    double cpu = 0.0; // of the calling thread
    bool ok = false;
};

// FlacRecordingWriter with one card, block after block as the writer task hands them over
// (write, then flush), over the blocks again and again for at least kPassSeconds.
Pass encodeOneCard(const std::vector<std::vector<int32_t>> &blocks, double lsb, const std::string &stem) {
    Pass pass;
    const std::string description = stem + "." + FlacRecordingFiles::kExtension;
    FlacRecordingWriter flac;
    if (!flac.open(planOf(description, kFullRate, {0xFF}, std::vector<double>(kChannelsPerCard, lsb))))
        return pass;
    uint64_t encoded = 0;
    bool ok = true;
    const double cpu0 = threadCpuSeconds();
    const auto start = Clock::now();
    while (ok && secondsSince(start) < kPassSeconds)
        for (size_t b = 0; ok && b < blocks.size(); ++b, ++encoded)
            ok = flac.write(blocks[b].data(), nullptr, nullptr) && flac.flush();
    ok = ok && flac.finish();
    pass.wall = secondsSince(start);
    pass.cpu = threadCpuSeconds() - cpu0;
    pass.dataSeconds = double(encoded) * kScans / kFullRate;
    pass.ok = ok;
    fs::remove(FlacRecordingFiles::cardStream(description, 1));
    return pass;
}

// Real-time multiple of copying every block once into another buffer, for at least 0.5 s.
double memcpyMultiple(const std::vector<std::vector<int32_t>> &blocks) {
    std::vector<int32_t> target(blocks.front().size());
    uint64_t copied = 0;
    const auto start = Clock::now();
    while (secondsSince(start) < 0.5)
        for (const auto &block : blocks) {
            std::memcpy(target.data(), block.data(), block.size() * sizeof(int32_t));
            ++copied;
        }
    const double wall = secondsSince(start);
    // Keeps the copies from being optimised away.
    if (target[size_t(copied % target.size())] == 0x7FFFFFFF)
        std::printf(" ");
    return double(copied) * kScans / kFullRate / wall;
}

// Real-time multiple of writing every block once as ViReal64 (the volts made beforehand, as the
// driver delivers them), through DataFileWriter::writeBlock into the page cache.
double binaryWriteMultiple(const std::vector<std::vector<int32_t>> &blocks, double lsb,
                           const std::string &stem) {
    std::vector<std::vector<double>> volts;
    for (const auto &block : blocks) {
        volts.emplace_back(block.size());
        std::transform(block.begin(), block.end(), volts.back().begin(),
                       [lsb](int32_t c) { return c * lsb; });
    }
    const std::string path = stem + "." + StorageFormat::extension(StorageFormat::kBinary64);
    std::FILE *file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr;
    const auto start = Clock::now();
    for (size_t b = 0; ok && b < volts.size(); ++b)
        ok = DataFileWriter::writeBlock(file, nullptr, nullptr, kScans, volts[b].data(),
                                        volts[b].size() * sizeof(double));
    const double wall = secondsSince(start);
    ok = (file && std::fclose(file) == 0) && ok;
    fs::remove(path);
    return ok ? double(volts.size()) * kScans / kFullRate / wall : 0.0;
}

// Returns the median multiple of real time on the wall clock.
double reportThroughput(const char *label, const char *what, const std::vector<std::vector<int32_t>> &blocks,
                        double lsb, const std::string &stem) {
    std::printf("  %s %s, %zu distinct blocks of 8 x %d scans (%.1f s of data) encoded again and again\n",
                label, what, blocks.size(), kScans, double(blocks.size()) * kScans / kFullRate);
    std::vector<double> wall, cpu;
    for (int p = 1; p <= kPasses; ++p) {
        const Pass pass = encodeOneCard(blocks, lsb, stem);
        if (!pass.ok) {
            std::printf("      pass %d FAILED: %s\n", p, std::strerror(errno));
            return 0.0;
        }
        wall.push_back(pass.dataSeconds / pass.wall);
        cpu.push_back(pass.dataSeconds / pass.cpu);
        std::printf("      pass %d: %.1f s of data in %.2f s (thread busy %.2f s): %.1fx real time\n", p,
                    pass.dataSeconds, pass.wall, pass.cpu, wall.back());
    }
    const double ratio = median(wall);
    std::printf("      FlacRecordingWriter, one card on the calling thread: %.1fx real time (median of %d "
                "passes; %.1fx per second of the thread's CPU time)\n",
                ratio, kPasses, median(cpu));
    return ratio;
}

} // namespace

int main() {
    const std::string stem = (fs::current_path() / ("bench_flac_" + std::to_string(getpid()))).string();
    std::printf(
        "bench_flac: FLAC recordings against \"Binary, ViReal64\", blocks of %d scans from the simulated "
        "driver, no scan times, files in %s\n",
        kScans, fs::current_path().c_str());
    std::printf("cores: %ld (load average %s at the start)\n\n", sysconf(_SC_NPROCESSORS_ONLN),
                loadAverage().c_str());
    if (!loadDefaultWorld())
        return 0;

    // The default world's 7150 cards: VXI slots 2 and 5 (5 is limited to gain 1), LXI slot 1.
    const std::string defaultCards = "VXI0::5::INSTR,VXI0::5::INSTR,TCPIP0::192.0.2.17::INSTR";
    const std::vector<ViInt16> defaultSlots = {2, 5, 1};
    std::printf(
        "size: bytes per hour of the FLAC recording (streams and description) against the same blocks "
        "as \"Binary, ViReal64\"\n");
    const Recording full = record(defaultCards, defaultSlots, kFullRate, 1, 0, kRecordSeconds);
    const double fullRatio =
        reportSize("(a)",
                   "default world: its 3 cards of the 7150 x 8 channels at 216000 Hz, DC, gain 1, "
                   "not calibrated (DefaultWorld.cpp's signals)",
                   full, stem);
    const Recording slow = record(defaultCards, defaultSlots, kProgramRate, 1, 0, kRecordSeconds);
    const double slowRatio =
        reportSize("(a)", "the same at 10000 Hz, the rate the program starts with", slow, stem);
    std::printf("      target >= 5x on the default world: %.2fx at 216 kHz, %.2fx at 10 kHz\n", fullRatio,
                slowRatio);

    // One card of small signals at the highest gain, the noise well above one count.
    const double highLsb = StorageFormat::lsb(kHighGainIndex);
    kqsim::SignalConfig noisy;
    noisy.amplitude = 1e-3;
    noisy.noiseRms = kNoiseCounts * highLsb;
    std::string channels;
    for (int k = 0; k < kChannelsPerCard; ++k) {
        noisy.frequency = 50.0 * (1 << k) + 13.0 * k;
        noisy.phase = 0.7 * k;
        channels += (k ? "," : "") + std::string("\"") + std::to_string(k + 1) + "\":" + signalJson(noisy);
    }
    const std::string noisyWorld =
        R"({"carriers":[{"resources":["VXI0::1::INSTR"],"interface":"VXI","logicalAddress":1,"slots":2,)"
        R"("cards":[{"slot":1,"serial":"0x71500001","channels":{)" +
        channels + "}}]}]}";
    Recording high;
    if (loadWorld(noisyWorld))
        high = record("VXI0::1::INSTR", {1}, kFullRate, kHighGain, kHighGainIndex, kRecordSeconds);
    else
        high.failure = "world refused";
    char highText[256];
    std::snprintf(
        highText, sizeof highText,
        "noisy high gain: 1 card x 8 channels at 216000 Hz, gain %d, 1 mV sines of 50 Hz to 6.5 kHz "
        "under %.0f counts rms of white noise (%.1f nV)",
        kHighGain, kNoiseCounts, kNoiseCounts * highLsb * 1e9);
    reportSize("(b)", highText, high, stem);

    std::printf(
        "\nencoder throughput on one core, against the real-time duration of one card's data (8 x %.0f "
        "Hz); FlacRecordingWriter encodes one card's stream on the calling thread\n",
        kFullRate);
    double ratio = 0.0;
    if (full.failure.empty() && !full.blocks.empty()) {
        const auto blocks = firstCard(full);
        std::printf("  baselines on the same blocks: memcpy %.0fx real time, ViReal64 through "
                    "DataFileWriter::writeBlock (page cache) %.0fx real time\n",
                    memcpyMultiple(blocks), binaryWriteMultiple(blocks, full.lsb[0], stem));
        ratio = reportThroughput("(a)", "default world, card FC1", blocks, full.lsb[0], stem);
    }
    double highRatio = 0.0;
    if (high.failure.empty() && !high.blocks.empty())
        highRatio = reportThroughput("(b)", "noisy high gain", high.blocks, highLsb, stem);
    std::printf(
        "  target >= 16x: %.1fx on the default world, %.1fx on the noisy card (load average %s at the "
        "end)\n",
        ratio, highRatio, loadAverage().c_str());
    return 0;
}
