#include "ChannelSignal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

using kqsim::ChannelSignal;
using kqsim::FrontEnd;
using kqsim::SignalConfig;

namespace {

using Type = SignalConfig::Type;

// At 216000 scans/s.
ChannelSignal channel(const SignalConfig &signal, FrontEnd fe = {}) {
    ChannelSignal c;
    c.configure(signal, 216000.0, fe, 1);
    return c;
}

} // namespace

// Harmonic k + 1 of h dBc is 10^(h/20) of the amplitude, in phase with sin((k + 1) angle); every
// count is the closed form to half an LSB. The fundamental's angle is exact from the integer
// remainder of the cycle count.
TEST(ChannelSignalSine, CountsFollowTheClosedFormWithHarmonics) {
    const double lsb = ChannelSignal::lsb(1);
    std::vector<int32_t> q(216 * 50);
    EXPECT_FALSE(channel({Type::Sine, 0.5, 1000.0, 7.5, 0.3, {-20.0, -40.0}}).counts(5, q.size(), q.data()));
    for (uint64_t i = 0; i < q.size(); ++i) {
        const double a = 6.283185307179586 * double((5 + i) * 1000 % 216000) / 216000 + 0.3;
        ASSERT_NEAR(q[i] * lsb, 0.5 + 7.5 * (std::sin(a) + 0.1 * std::sin(2 * a) + 0.01 * std::sin(3 * a)),
                    0.5 * lsb * (1 + 1e-9))
            << i;
    }
}

// Whatever the signal's other keys and the front end say.
TEST(ChannelSignalRamp, CountsAreTheScanModuloTwoToThe23AcrossTheWrap) {
    for (int gain : {1, 1000})
        for (uint64_t first : {(uint64_t{1} << 23) - 3000, (uint64_t{5} << 23) - 10}) {
            std::vector<int32_t> q(6000);
            EXPECT_FALSE(channel({Type::Ramp, 1.0, 1000.0, 4.0, 0.0, {}, 0.1}, {gain, true, 1e-3, 0.01})
                             .counts(first, 6000, q.data()));
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
