#include "ChannelSignal.h"

#include <algorithm>
#include <cmath>

// The quantiser rounds with the 1.5 * 2^52 trick, which value-changing optimisations would fold away.
#ifdef __FAST_MATH__
#error "ChannelSignal.cpp relies on strict IEEE arithmetic; do not build it with -ffast-math"
#endif

namespace kqsim {
namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Independent rotators stepped together: the lane loops have a fixed length the compiler turns
// into vector code, and each rotator makes only kAnchorSpan / kLanes steps between exact anchors.
constexpr size_t kLanes = 8;

// Scans between exact re-anchors. The rotation error grows by about one rounding per step, so
// 256 steps per lane keep it near 1e-13 of the amplitude, far below one LSB at any gain.
// counts() works in chunks of the same length so that it anchors exactly where volts() does.
constexpr size_t kAnchorSpan = 2048;

constexpr uint32_t kRampMask = (1u << 23) - 1;

// Noise table: 2^16 entries, so one 64-bit random word indexes four samples.
constexpr int kNoiseBits = 16;
constexpr size_t kNoiseTableSize = size_t{1} << kNoiseBits;
constexpr int kNoisePerWord = 64 / kNoiseBits;

// splitmix64: one add and two multiplies per word and it passes BigCrush, which is all white noise
// for a test instrument needs. Its whole state is one word, so a channel stays cheap to copy.
uint64_t nextRandom(uint64_t &state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// x with Q(x) = q, Q the upper tail of the standard normal, for 0 < q <= 0.5. A rational start
// (Abramowitz & Stegun 26.2.23, error < 4.5e-4) polished by Newton steps on erfc, which keeps full
// relative precision deep in the tail.
double upperTailQuantile(double q) {
    const double t = std::sqrt(-2.0 * std::log(q));
    double x = t - (2.515517 + t * (0.802853 + t * 0.010328)) /
                       (1.0 + t * (1.432788 + t * (0.189269 + t * 0.001308)));
    for (int i = 0; i < 3; ++i) {
        const double tail = 0.5 * std::erfc(x / std::sqrt(2.0));
        const double density = std::exp(-0.5 * x * x) / std::sqrt(kTwoPi);
        x += (tail - q) / density;
    }
    return x;
}

// The normal quantiles at the centres of 2^16 equal-probability cells, rescaled to unit RMS. A
// uniform index into it is a Gaussian draw that is exactly symmetric (mean 0) and exactly of the
// asked RMS; the only departure is that it never exceeds about 4.4 sigma, which a 10^-5 tail
// probability makes invisible on any display. Chosen over a ziggurat because the hot loop is a
// shift and a load with no rejection branch.
std::vector<float> buildNoiseTable() {
    std::vector<double> quantiles(kNoiseTableSize);
    double sumSquares = 0.0;
    for (size_t i = 0; i < kNoiseTableSize / 2; ++i) {
        const double x = upperTailQuantile((i + 0.5) / kNoiseTableSize);
        quantiles[i] = -x;
        quantiles[kNoiseTableSize - 1 - i] = x;
        sumSquares += 2.0 * x * x;
    }
    const double scale = 1.0 / std::sqrt(sumSquares / kNoiseTableSize);
    std::vector<float> table(kNoiseTableSize);
    for (size_t i = 0; i < kNoiseTableSize; ++i)
        table[i] = static_cast<float>(quantiles[i] * scale);
    return table;
}

// Floats: half the cache footprint of doubles, and 24 bits are ample for noise.
const float *noiseTable() {
    static const std::vector<float> table = buildNoiseTable();
    return table.data();
}

// frac(scan * frequency / rate). The product is split exactly into p + e with an FMA and fmod is
// exact, so the result carries only the rounding of the final division however large the scan
// (up to 2^53 scans, about 1300 years at 216 kHz).
double cycleFraction(uint64_t scan, double frequency, double rate) {
    const double s = static_cast<double>(scan);
    const double p = s * frequency;
    const double e = std::fma(s, frequency, -p);
    const double c = (std::fmod(p, rate) + e) / rate;
    return c - std::floor(c);
}

struct Rotators {
    double c[kLanes];
    double s[kLanes];
};

} // namespace

void ChannelSignal::configure(const SignalConfig &signal, double rate, const FrontEnd &frontEnd,
                              uint64_t seed) {
    signal_ = signal;
    frontEnd_ = frontEnd;
    rate_ = rate;
    // Hashing the seed first puts neighbouring seeds far apart on the generator's sequence.
    rng_ = seed;
    rng_ = nextRandom(rng_);
    spareBits_ = 0;
    spareCount_ = 0;

    // The calibration error acts on the whole input, so it folds into every term's scale.
    const double gain = 1.0 + frontEnd.gainError;
    dc_ = (frontEnd.removeDc ? 0.0 : signal.offset) * gain + frontEnd.offsetError;
    sineScale_ = signal.amplitude * gain;
    noiseScale_ = signal.noiseRms * gain;
    harmonicScales_.clear();
    for (double dbc : signal.harmonics)
        harmonicScales_.push_back(sineScale_ * std::pow(10.0, dbc / 20.0));
    scratch_.resize(kAnchorSpan);
    noiseTable();
}

void ChannelSignal::volts(uint64_t firstScan, size_t n, double *out) {
    if (signal_.type == SignalConfig::Type::Ramp) {
        ramp(firstScan, n, out);
        return;
    }
    for (size_t done = 0; done < n; done += kAnchorSpan)
        sineSpan(firstScan + done, std::min(kAnchorSpan, n - done), out + done);
    if (noiseScale_ != 0.0)
        addNoise(n, out);
}

void ChannelSignal::ramp(uint64_t firstScan, size_t n, double *out) const {
    const double step = lsb(frontEnd_.gain);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<double>((firstScan + i) & kRampMask) * step;
}

double ChannelSignal::phaseAt(uint64_t scan) const {
    return kTwoPi * cycleFraction(scan, signal_.frequency, rate_) + signal_.phase;
}

// Writes dc + fundamental + harmonics for kLanes consecutive scans whose fundamental is at the
// given rotator angles. Harmonic k is the k-th power of the fundamental's unit phasor, so its
// phase reference is k times the fundamental's.
void ChannelSignal::emitLanes(const double *c, const double *s, double *out) const {
    double v[kLanes], hc[kLanes], hs[kLanes];
    for (size_t j = 0; j < kLanes; ++j) {
        v[j] = dc_ + sineScale_ * s[j];
        hc[j] = c[j];
        hs[j] = s[j];
    }
    for (double scale : harmonicScales_) {
        for (size_t j = 0; j < kLanes; ++j) {
            const double nc = hc[j] * c[j] - hs[j] * s[j];
            hs[j] = hs[j] * c[j] + hc[j] * s[j];
            hc[j] = nc;
            v[j] += scale * hs[j];
        }
    }
    std::copy(v, v + kLanes, out);
}

// One anchored span: lane j starts exactly at scan firstScan + j and steps kLanes scans at a time.
void ChannelSignal::sineSpan(uint64_t firstScan, size_t n, double *out) const {
    Rotators r{};
    for (size_t j = 0; j < std::min(kLanes, n); ++j) {
        const double a = phaseAt(firstScan + j);
        r.c[j] = std::cos(a);
        r.s[j] = std::sin(a);
    }
    const double stepAngle = kTwoPi * cycleFraction(kLanes, signal_.frequency, rate_);
    const double wc = std::cos(stepAngle), ws = std::sin(stepAngle);

    const size_t whole = n - n % kLanes;
    for (size_t i = 0; i < whole; i += kLanes) {
        emitLanes(r.c, r.s, out + i);
        for (size_t j = 0; j < kLanes; ++j) {
            const double nc = r.c[j] * wc - r.s[j] * ws;
            r.s[j] = r.s[j] * wc + r.c[j] * ws;
            r.c[j] = nc;
        }
    }
    if (whole < n) {
        double tail[kLanes];
        emitLanes(r.c, r.s, tail);
        std::copy(tail, tail + (n - whole), out + whole);
    }
}

// Random words are cut into four 16-bit indices; indices left over at the end of a call are kept
// for the next one, so the noise of a stream does not depend on how it was split into blocks.
void ChannelSignal::addNoise(size_t n, double *out) {
    const float *table = noiseTable();
    const double scale = noiseScale_;
    constexpr uint64_t mask = kNoiseTableSize - 1;
    size_t i = 0;
    for (; i < n && spareCount_ > 0; ++i, --spareCount_, spareBits_ >>= kNoiseBits)
        out[i] += scale * table[spareBits_ & mask];
    for (; i + kNoisePerWord <= n; i += kNoisePerWord) {
        const uint64_t w = nextRandom(rng_);
        out[i] += scale * table[w & mask];
        out[i + 1] += scale * table[(w >> 16) & mask];
        out[i + 2] += scale * table[(w >> 32) & mask];
        out[i + 3] += scale * table[w >> 48];
    }
    if (i < n) {
        spareBits_ = nextRandom(rng_);
        spareCount_ = kNoisePerWord;
        for (; i < n; ++i, --spareCount_, spareBits_ >>= kNoiseBits)
            out[i] += scale * table[spareBits_ & mask];
    }
}

// Rounds half to even, the IEEE default: ties go either way equally often, so rounding adds no
// DC bias. Adding and subtracting 1.5 * 2^52 leaves x rounded to an integer (exact for |x| < 2^51;
// anything larger is far beyond the range and clipped anyway) with plain SSE2 arithmetic the
// compiler vectorises, where std::nearbyint would be a library call per sample.
bool ChannelSignal::quantise(const double *in, size_t n, int gain, int32_t *counts) {
    constexpr double kRoundMagic = 6755399441055744.0;
    constexpr double hi = kMaxCount, lo = kMinCount;
    const double step = lsb(gain);
    int over = 0;
    for (size_t i = 0; i < n; ++i) {
        double r = (in[i] / step + kRoundMagic) - kRoundMagic;
        over |= (r > hi) | (r < lo);
        r = r > hi ? hi : r;
        r = r < lo ? lo : r;
        counts[i] = static_cast<int32_t>(r);
    }
    return over != 0;
}

bool ChannelSignal::counts(uint64_t firstScan, size_t n, int32_t *out) {
    if (scratch_.size() < kAnchorSpan)
        scratch_.resize(kAnchorSpan);
    bool over = false;
    for (size_t done = 0; done < n; done += kAnchorSpan) {
        const size_t m = std::min(kAnchorSpan, n - done);
        volts(firstScan + done, m, scratch_.data());
        over |= quantise(scratch_.data(), m, frontEnd_.gain, out + done);
    }
    return over;
}

} // namespace kqsim
