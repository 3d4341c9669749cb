#include "ChannelSignal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <tuple>
#include <vector>

using kqsim::ChannelSignal;
using kqsim::FrontEnd;
using kqsim::SignalConfig;

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// amplitude sin(angle + phase) + offset, harmonics in dBc, white noise of noiseRms.
SignalConfig sine(double amplitude, double offset, double phase, double noiseRms = 0.0,
                  std::vector<double> harmonics = {}) {
    SignalConfig s;
    s.amplitude = amplitude, s.offset = offset, s.phase = phase, s.noiseRms = noiseRms,
    s.harmonics = harmonics;
    return s;
}

ChannelSignal channel(const SignalConfig &s, FrontEnd fe = {}, uint64_t seed = 1, double rate = 216000.0) {
    ChannelSignal c;
    c.configure(s, rate, fe, seed);
    return c;
}

std::vector<double> volts(ChannelSignal c, uint64_t first, size_t n) {
    std::vector<double> v(n);
    c.volts(first, n, v.data());
    return v;
}

// The fundamental's exact angle at a scan. The frequency is m * 2^-k for an integer m, so the
// cycle count is scan * m / (rate * 2^k), whose remainder integers give exactly (doubling and
// adding, which cannot overflow while rate * 2^k < 2^63).
double angle(uint64_t scan, double phase, double frequency = 1000.0, uint64_t rate = 216000) {
    int e;
    const uint64_t m = static_cast<uint64_t>(std::ldexp(std::frexp(frequency, &e), 53));
    const uint64_t d = rate << (53 - e), s = scan % d;
    uint64_t r = 0;
    for (int bit = 52; bit >= 0; --bit) {
        r = 2 * r >= d ? 2 * r - d : 2 * r;
        if (m >> bit & 1)
            r = r + s >= d ? r + s - d : r + s;
    }
    return kTwoPi * (static_cast<double>(r) / d) + phase;
}

} // namespace

// Harmonic k + 1 of h dBc is 10^(h/20) of the amplitude, in phase with sin((k + 1) angle); every
// count is the closed form to half an LSB.
TEST(ChannelSignalSine, CountsFollowTheClosedFormWithHarmonics) {
    const double lsb = ChannelSignal::lsb(1);
    std::vector<int32_t> q(216 * 50);
    EXPECT_FALSE(channel(sine(7.5, 0.5, 0.3, 0.0, {-20.0, -40.0})).counts(5, q.size(), q.data()));
    for (size_t i = 0; i < q.size(); ++i) {
        const double a = angle(5 + i, 0.3);
        ASSERT_NEAR(q[i] * lsb, 0.5 + 7.5 * (std::sin(a) + 0.1 * std::sin(2 * a) + 0.01 * std::sin(3 * a)),
                    0.5 * lsb * (1 + 1e-9))
            << i;
    }
}

// Blocks asked separately join seamlessly, noise included; neither the scan number nor the
// length of a call may let rounding errors build up far into a run. 1000.1 Hz is no binary
// fraction, so scan times it is not exact in a double.
TEST(ChannelSignalSine, BlocksJoinSeamlesslyAndThePhaseStaysExactFarIntoTheRun) {
    ChannelSignal noisy = channel(sine(3.0, 0.1, 1.1, 0.01, {-30.0}));
    const auto whole = volts(noisy, 12345, 2037);
    std::vector<double> parts(2037);
    noisy.volts(12345, 1001, parts.data());
    noisy.volts(13346, 999, parts.data() + 1001);
    noisy.volts(14345, 37, parts.data() + 2000);
    for (size_t i = 0; i < whole.size(); ++i)
        ASSERT_NEAR(parts[i], whole[i], 1e-12) << i;

    SignalConfig s = sine(5.0, 0.0, 2.0);
    s.frequency = 1000.1;
    for (uint64_t first : {uint64_t{1000000000}, uint64_t{1} << 40}) {
        const auto v = volts(channel(s, {}, 1, 200000.0), first, 1 << 18);
        for (size_t i = 0; i < v.size(); ++i)
            ASSERT_NEAR(v[i], 5.0 * std::sin(angle(first + i, 2.0, s.frequency, 200000)), 1e-12) << first + i;
    }
}

TEST(ChannelSignalFrontEnd, RemoveDcDropsTheOffsetAndCalibrationErrorIsAffine) {
    const SignalConfig s = sine(1.0, 0.8, 0.4, 0.05, {-25.0});
    const auto plain = volts(channel(s), 9, 3000),
               acPlain = volts(channel(sine(1.0, 0.0, 0.4, 0.05, {-25.0})), 9, 3000);
    const auto dc = volts(channel(s, {1, false, 2e-3, 0.01}), 9, 3000);
    const auto ac = volts(channel(s, {1, true, 2e-3, 0.01}), 9, 3000);
    for (size_t i = 0; i < plain.size(); ++i) {
        ASSERT_NEAR(dc[i], plain[i] * 1.01 + 2e-3, 1e-12) << i;
        ASSERT_NEAR(ac[i], acPlain[i] * 1.01 + 2e-3, 1e-12) << i;
    }
}

// Bounds are five standard errors: mean sigma/sqrt(n), RMS sigma/sqrt(2n), a fraction
// sqrt(p(1-p)/n), a correlation 1/sqrt(n).
TEST(ChannelSignalNoise, GaussianWhiteIndependentPerSeedAndRepeatable) {
    const size_t n = 1000000;
    const SignalConfig noise = sine(0.0, 0.0, 0.0, 1.0);
    const auto a = volts(channel(noise, {}, 1), 0, n), b = volts(channel(noise, {}, 2), 0, n);
    EXPECT_EQ(volts(channel(noise, {}, 1), 0, n), a);
    double sum = 0.0, withinSigma = 0.0;
    for (double x : a)
        sum += x, withinSigma += std::fabs(x) < 1.0;
    const double p = std::erf(1 / std::sqrt(2.0)), bound = 5 / std::sqrt(n);
    EXPECT_NEAR(sum / n, 0.0, bound);
    EXPECT_NEAR(std::sqrt(std::inner_product(a.begin(), a.end(), a.begin(), 0.0) / n), 1.0,
                bound / std::sqrt(2.0));
    EXPECT_NEAR(withinSigma / n, p, bound * std::sqrt(p * (1 - p)));
    EXPECT_NEAR(std::inner_product(a.begin(), a.end(), b.begin(), 0.0) / n, 0.0, bound);
    EXPECT_NEAR(std::inner_product(a.begin() + 1, a.end(), a.begin(), 0.0) / (n - 1), 0.0, bound);
}

// Whatever the signal's other keys and the front end say.
TEST(ChannelSignalRamp, CountsAreTheScanModuloTwoToThe23AcrossTheWrap) {
    SignalConfig s = sine(4.0, 1.0, 0.0, 0.1);
    s.type = SignalConfig::Type::Ramp;
    for (int gain : {1, 1000})
        for (uint64_t first : {(uint64_t{1} << 23) - 3000, (uint64_t{5} << 23) - 10}) {
            std::vector<int32_t> q(6000);
            EXPECT_FALSE(channel(s, {gain, true, 1e-3, 0.01}).counts(first, q.size(), q.data()));
            for (size_t i = 0; i < q.size(); ++i)
                ASSERT_EQ(q[i], static_cast<int32_t>((first + i) % (1u << 23))) << gain << " " << first + i;
        }
}

// Half-LSB ties go to the even count, so ties add no DC bias; full scale less one LSB is the
// last count in range, and only values beyond the range clip with the flag.
// The LSB itself meets the driver's volts in ConversionTest, and so does clipping through counts().
TEST(ChannelSignalQuantise, RoundsTiesToEvenAndClipsAtTheRange) {
    const int32_t hi = ChannelSignal::kMaxCount, lo = ChannelSignal::kMinCount;
    const double one = ChannelSignal::lsb(1), milli = ChannelSignal::lsb(1000), fs = 10.24 / 1000;
    using Case = std::tuple<int, std::vector<double>, std::vector<int32_t>, bool>; // gain, in, out, beyond
    for (const auto &[gain, in, expected, beyond] : std::vector<Case>{
             {1,
              {0.5 * one, -0.5 * one, 1.5 * one, -1.5 * one, 2.5 * one, -2.5 * one},
              {0, 0, 2, -2, 2, -2},
              false},
             {1000, {0.5 * milli, -1.5 * milli, 1e-3, fs - milli, -fs}, {0, -2, 819200, hi, lo}, false},
             {1000, {fs, 0.0}, {hi, 0}, true},
             {1000, {1e-3, -fs - milli}, {819200, lo}, true}}) {
        std::vector<int32_t> q(in.size());
        EXPECT_EQ(ChannelSignal::quantise(in.data(), q.size(), gain, q.data()), beyond) << in[0];
        EXPECT_EQ(q, expected) << in[0];
    }
}
