#include "sineFit.h"

#include "Tolerance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The fit learns the times from the rate (the axis withheld: reading it would crash), or from an
// axis starting at 0 that is uniform, jittered by up to 0.003 samples or scattered by up to 0.3.
enum class Times { Rate, Axis, Jittered, Scattered };

// amplitude sin(2 pi f t + phase) + offset + third sin(3 (2 pi f t)).
struct Record {
    Record(int n, double rate, Times times, double f, double amplitude, double phase, double offset,
           double third = 0.0)
        : t(n), y(n),
          data(n, times == Times::Rate ? rate : 0.0, times == Times::Rate ? nullptr : t.data(), y.data()) {
        const double jitter = times == Times::Jittered ? 3e-3 : times == Times::Scattered ? 0.3 : 0.0;
        for (int i = 0; i < n; ++i) {
            t[i] = (i + (i > 0 ? jitter * std::sin(1.7 * i) : 0.0)) / rate;
            const double wt = 2.0 * kPi * f * t[i];
            y[i] = amplitude * std::sin(wt + phase) + offset + third * std::sin(3.0 * wt);
        }
    }
    double rms() const {
        return std::sqrt(std::inner_product(y.begin(), y.end(), y.begin(), 0.0) / y.size());
    }

    std::vector<double> t, y;
    sineFitData data;
};

// 2 sin(2 pi 50 t + phase) + 0.5 over 50 whole periods, noise-free: the fit is exact to rounding
// whatever the sample times, and x0 < 0 (phase 4, 5.5) puts the phase in (pi, 2 pi).
TEST(SineFit3, RecoversAPureSine) {
    const std::pair<Times, double> cases[] = {
        {Times::Rate, 1.0},     {Times::Axis, 1.0}, {Times::Jittered, 1.0}, {Times::Scattered, 1.0},
        {Times::Rate, kPi / 2}, {Times::Axis, 4.0}, {Times::Rate, 5.5}};
    for (const auto &[times, truePhase] : cases) {
        SCOPED_TRACE(::testing::Message() << "times " << static_cast<int>(times) << ", phase " << truePhase);
        Record r(1000, 1000.0, times, 50.0, 2.0, truePhase, 0.5);
        double amplitude, offset, phase, rms;
        matrix x(4, 4);
        ASSERT_TRUE(sineFit3(r.data, 50.0, amplitude, offset, &phase, &rms, &x));
        EXPECT_NEAR_REL(amplitude, 2.0, 1e-13);
        EXPECT_NEAR_REL(offset, 0.5, 1e-13);
        EXPECT_NEAR_REL(phase, truePhase, 1e-13);
        EXPECT_NEAR_REL(rms, r.rms(), 1e-13);
        EXPECT_EQ(r.data.frequency, 50.0);
        ASSERT_TRUE(x.columns() == 1 && x.rows() == 3);
        for (int i = 0; i < 3; ++i) // 2 sin(phase), 2 cos(phase), 0.5
            EXPECT_TRUE(
                nearRel(x.at(0, i), i == 2 ? 0.5 : 2.0 * std::sin(truePhase + i * kPi / 2), 1e-13, 1e-13));
    }
}

// A third harmonic of 0.3 V is orthogonal to the 50 Hz model over whole periods: the model's RMS
// is sqrt(0.5^2 + 2^2/2) = 1.5, the samples' sqrt(1.5^2 + 0.3^2/2).
TEST(SineFit4, WithoutIterationsGivesTheThreeParameterFitElseTheSamplesRms) {
    Record r(1000, 1000.0, Times::Axis, 50.0, 2.0, 1.0, 0.5, 0.3);
    double a3, o3, p3, r3, frequency = 50.0, amplitude, offset, phase, rms;
    sineFit3(r.data, 50.0, a3, o3, nullptr, &r3);
    EXPECT_NEAR_REL(r3, 1.5, 1e-13);
    ASSERT_TRUE(sineFit4(r.data, 1, 0.1, frequency, amplitude, offset, nullptr, &rms));
    EXPECT_NEAR_REL(rms, std::sqrt(1.5 * 1.5 + 0.3 * 0.3 / 2), 1e-13);

    sineFit3(r.data, 50.2, a3, o3, &p3, &r3);
    frequency = 50.2;
    ASSERT_TRUE(sineFit4(r.data, 0, 0.1, frequency, amplitude, offset, &phase, &rms));
    EXPECT_TRUE(frequency == 50.2 && r.data.frequency == 50.2);
    EXPECT_TRUE(amplitude == a3 && offset == o3 && phase == p3 && rms == r3);
}

TEST(SineFit4, RefusesTooManyIterationsARelaxationOutsideZeroToOneOrAnEmptyRecord) {
    const std::pair<unsigned int, double> refused[] = {{21, 0.1}, {3, -0.01}, {3, 1.01}, {3, std::nan("")}};
    Record r(200, 1000.0, Times::Rate, 50.0, 2.0, 1.0, 0.5);
    for (const auto &[iterations, relaxation] : refused) {
        double frequency = 49.0, amplitude = -1, offset = -1, phase = -1, rms = -1;
        EXPECT_FALSE(sineFit4(r.data, iterations, relaxation, frequency, amplitude, offset, &phase, &rms));
        EXPECT_TRUE(frequency == 49.0 && amplitude == -1 && offset == -1 && phase == -1 && rms == -1 &&
                    r.data.frequency == 0.0)
            << "wrote with " << iterations << " iterations, relaxation " << relaxation;
    }
    double frequency = 49.0, amplitude, offset;
    EXPECT_TRUE(sineFit4(r.data, 20, 0.0, frequency, amplitude, offset));
    EXPECT_TRUE(sineFit4(r.data, 1, 1.0, frequency, amplitude, offset));

    sineFitData empty(0, 1000.0, nullptr, nullptr);
    try {
        sineFit4(empty, 3, 0.1, frequency, amplitude, offset);
        ADD_FAILURE() << "an empty record did not fail";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Bad number of columns or rows");
    }
}

// A 0.7 V sine between two bins, the fit starting at the lower bin as it does from the analysis
// spectrum's peak without zero padding: 100 kS/s near 7.8 kHz, on a time axis as the measurement
// window passes it, with the window's relaxation. 10 uV of noise (about 94 dB SNR, with jittered
// time stamps) moves the least-squares answer by far less than the tolerances. A frequency off by d
// bins turns the phase at t = 0 by about pi d; offset and phase must come from the frequency
// returned. A start 0.8 bins off (a peak pulled aside by noise or a neighbour) is still on the main
// lobe of the residual, but there the full linearised step overshoots to other lobes.
TEST(SineFit4, FindsASineBetweenBins) {
    struct Budget {
        unsigned int iterations;
        double amplitude; // relative
        double bins;
    };
    const Budget budgets[] = {{3, 1e-3, 1e-2}, {7, 1e-4, 1e-3}};
    const double rate = 1e5, trueAmplitude = 0.7, truePhase = 1.0, trueOffset = 0.05;
    for (int n : {256, 1024, 16384, 131072})
        for (double binOffset : {0.1, 0.3, 0.49, 0.8})
            for (double noise : {0.0, 10e-6}) {
                const double bin = rate / n, start = n * 5 / 64 * bin, truth = start + binOffset * bin;
                Record r(n, rate, noise > 0 ? Times::Jittered : Times::Axis, truth, trueAmplitude, truePhase,
                         trueOffset);
                std::mt19937 generator(n);
                std::normal_distribution<double> gauss;
                for (double &y : r.y)
                    y += noise * gauss(generator);
                for (const Budget &budget : budgets) {
                    SCOPED_TRACE(::testing::Message() << "N " << n << ", " << binOffset << " bins, noise "
                                                      << noise << ", " << budget.iterations << " iterations");
                    double frequency = start, amplitude, offset, phase;
                    ASSERT_TRUE(sineFit4(r.data, budget.iterations, std::min(0.1, 100.0 / n), frequency,
                                         amplitude, offset, &phase));
                    EXPECT_NEAR_REL(amplitude, trueAmplitude, budget.amplitude);
                    EXPECT_NEAR((frequency - truth) / bin, 0.0, budget.bins);
                    EXPECT_EQ(r.data.frequency, frequency);
                    EXPECT_NEAR(offset, trueOffset, budget.amplitude * trueAmplitude);
                    EXPECT_NEAR(phase, truePhase, kPi * budget.bins);
                }
            }
}

} // namespace
