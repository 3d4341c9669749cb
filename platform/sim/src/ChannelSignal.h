// Generates what one channel of a 24-bit converter returns for its configured input.
#pragma once

#include "SimConfig.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kqsim {

// The front end between the input signal and the converter.
struct FrontEnd {
    int gain = 1;             // 1, 2, 5, ... 1000
    bool removeDc = false;    // AC coupling or high-pass filter: the DC part is gone
    double offsetError = 0.0; // volts at the input, added after the gain error
    double gainError = 0.0;   // relative, e.g. 0.001 for +0.1 %
};

class ChannelSignal {
public:
    static constexpr double kFullScale = 10.24; // volts at gain 1
    static constexpr int32_t kMaxCount = (1 << 23) - 1;
    static constexpr int32_t kMinCount = -(1 << 23);
    static double lsb(int gain) { return kFullScale / 8388608.0 / gain; }

    // seed makes the noise of different channels independent and a run repeatable.
    void configure(const SignalConfig &signal, double rate, const FrontEnd &frontEnd, uint64_t seed);

    // Input volts (after front end, before quantisation) of scans firstScan .. firstScan+n-1.
    // Scans must be asked for in increasing order for the noise to stay white; the sine and
    // harmonics depend only on the scan number. A ramp gives (scan mod 2^23) LSBs.
    void volts(uint64_t firstScan, size_t n, double *out);

    // Quantises input volts to signed counts of lsb(gain), clipped to the converter's range.
    // Returns true when some sample was beyond the range.
    static bool quantise(const double *in, size_t n, int gain, int32_t *counts);

    // volts() then quantise() without an intermediate buffer of the caller.
    bool counts(uint64_t firstScan, size_t n, int32_t *out);

private:
    void ramp(uint64_t firstScan, size_t n, double *out) const;
    double phaseAt(uint64_t scan) const;
    void emitLanes(const double *c, const double *s, double *out) const;
    void sineSpan(uint64_t firstScan, size_t n, double *out) const;
    void addNoise(size_t n, double *out);

    SignalConfig signal_;
    FrontEnd frontEnd_;
    double rate_ = 1.0;
    uint64_t rng_ = 1;
    std::vector<double> scratch_;
    // The configured signal with the calibration error folded in (volts at the input).
    double dc_ = 0.0;
    double sineScale_ = 1.0;
    double noiseScale_ = 0.0;
    std::vector<double> harmonicScales_;
    // Noise-table indices drawn but not yet used, low bits first.
    uint64_t spareBits_ = 0;
    int spareCount_ = 0;
};

} // namespace kqsim
