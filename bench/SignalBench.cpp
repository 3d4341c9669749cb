// How fast ChannelSignal::counts() makes samples on one core, against the naive generator and
// against what 16 cards of 8 channels at 216 kHz need in real time. It reports; it never fails.
#include "BenchClock.h"
#include "ChannelSignal.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kRate = 216000.0;
constexpr double kRealTimeNeed = 16.0 * 8.0 * kRate;
constexpr size_t kBlock = 4096;
constexpr int kChannels = 8;
constexpr double kRunSeconds = 1.5;

kqsim::SignalConfig benchSignal(int channel) {
    kqsim::SignalConfig s;
    s.offset = 0.1;
    s.frequency = 1000.0 + 37.0 * channel;
    s.amplitude = 3.0;
    s.phase = 0.2 * channel;
    s.harmonics = {-60.0, -70.0};
    s.noiseRms = 1e-3;
    return s;
}

// Runs makeBlock over the channels in turn, as a card does, for about kRunSeconds; returns
// channel-samples per second. The checksum keeps the compiler from discarding the work.
template <typename MakeBlock> double samplesPerSecond(MakeBlock makeBlock, long long &checksum) {
    std::vector<int32_t> counts(kBlock);
    long long samples = 0;
    uint64_t scan = 0;
    const auto start = Clock::now();
    double elapsed = 0.0;
    while (elapsed < kRunSeconds) {
        for (int ch = 0; ch < kChannels; ++ch) {
            makeBlock(ch, scan, counts.data());
            checksum += counts[kBlock / 2];
        }
        scan += kBlock;
        samples += static_cast<long long>(kBlock) * kChannels;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return samples / elapsed;
}

double measureOurs(long long &checksum) {
    std::vector<kqsim::ChannelSignal> channels(kChannels);
    for (int ch = 0; ch < kChannels; ++ch)
        channels[ch].configure(benchSignal(ch), kRate, kqsim::FrontEnd{}, 1000 + ch);
    return samplesPerSecond(
        [&](int ch, uint64_t scan, int32_t *out) { channels[ch].counts(scan, kBlock, out); }, checksum);
}

// What one would write first: one std::sin() per sample for the fundamental (without the
// harmonics, so the speed-up it shows is if anything understated), std::normal_distribution noise,
// then the same quantiser.
double measureNaive(long long &checksum) {
    std::vector<std::mt19937_64> engines;
    for (int ch = 0; ch < kChannels; ++ch)
        engines.emplace_back(1000 + ch);
    std::vector<double> volts(kBlock);
    return samplesPerSecond(
        [&](int ch, uint64_t scan, int32_t *out) {
            const kqsim::SignalConfig s = benchSignal(ch);
            std::normal_distribution<double> noise(0.0, s.noiseRms);
            const double omega = kTwoPi * s.frequency / kRate;
            for (size_t i = 0; i < kBlock; ++i)
                volts[i] =
                    s.offset + s.amplitude * std::sin(omega * (scan + i) + s.phase) + noise(engines[ch]);
            kqsim::ChannelSignal::quantise(volts.data(), kBlock, 1, out);
        },
        checksum);
}

} // namespace

int main() {
    long long checksum = 0;
    const double ours = measureOurs(checksum);
    const double naive = measureNaive(checksum);
    std::printf("signal generation: %.1f M samples/s (naive sin()+normal_distribution baseline: %.1f M "
                "samples/s, %.1fx)\n",
                ours / 1e6, naive / 1e6, ours / naive);
    std::printf("ratio to real-time need of 16 cards x 8 ch x 216 kHz (%.3f M samples/s): %.2f\n",
                kRealTimeNeed / 1e6, ours / kRealTimeNeed);
    std::printf("(sine + 2 harmonics + noise, blocks of %zu scans, %d channels, checksum %lld)\n", kBlock,
                kChannels, checksum);
    return 0;
}
