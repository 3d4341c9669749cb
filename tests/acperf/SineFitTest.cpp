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

// The three-parameter fit at f against two truths. At the sine's own frequency the model holds
// the samples exactly, whatever the length (odd, even, not whole periods) and the sample times:
// amplitude, phase and offset are the sine's, the model's RMS is the samples'. Off it, with a
// harmonic, noise and an offset, the answer is the least-squares solution of the normal equations
// summed straight from std::cos and std::sin in long double (solved by Cramer's rule). Phases 4 and
// 5.5 give x0 < 0 (phase in (pi, 2 pi)); pi / 2 is a cosine (x1 = 0). Axis times are those of a
// block 3000 s into a recording, from its first scan, so they are off the grid by their rounding;
// Scattered ones are too far off for any recurrence.
TEST(SineFit3, MatchesTheNormalEquations) {
    struct Case {
        int n;
        Times times;
        double truePhase, fitOffset; // fit at f (1 + fitOffset)
        double third, noise;
    };
    const Case cases[] = {
        {131071, Times::Rate, 1.0, 0, 0, 0},           {65536, Times::Axis, 4.0, 0, 0, 0},
        {65536, Times::Rate, kPi / 2, 0, 0, 0},        {1001, Times::Jittered, 5.5, 0, 0, 0},
        {1000, Times::Scattered, 1.0, 0, 0, 0},        {131071, Times::Axis, 2.0, 3e-5, 0.3, 1e-3},
        {65536, Times::Rate, 5.5, -2e-5, 0.1, 0},      {4097, Times::Jittered, 1.0, 1e-3, 0.3, 1e-2},
        {999, Times::Scattered, 4.0, 2e-3, 0.2, 1e-2}, {31, Times::Axis, 3.0, 0, 0, 0}};
    const double rate = 216000.0, f = 1234.5, start = 3000.0;
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "N " << c.n << ", times " << int(c.times) << ", phase "
                                          << c.truePhase << ", fit at f (1 + " << c.fitOffset << ")");
        Record r(c.n, rate, c.times, f, 2.0, c.truePhase, 0.5, c.third);
        if (c.times == Times::Axis)
            for (int i = 0; i < c.n; ++i)
                r.t[i] = (i / rate + start) - start;
        std::mt19937 generator(c.n);
        std::normal_distribution<double> gauss;
        for (int i = 0; i < c.n; ++i) // the samples as the times say, plus noise
            r.y[i] = 2.0 * std::sin(2 * kPi * f * r.t[i] + c.truePhase) + 0.5 +
                     c.third * std::sin(3 * 2 * kPi * f * r.t[i]) + c.noise * gauss(generator);

        const double fit = f * (1 + c.fitOffset), w = 2 * kPi * fit;
        long double m[3][3] = {}, v[3] = {};
        for (int i = 0; i < c.n; ++i) {
            const long double row[3] = {std::cos(w * r.t[i]), std::sin(w * r.t[i]), 1.0L};
            for (int j = 0; j < 3; ++j) {
                v[j] += row[j] * r.y[i];
                for (int k = 0; k < 3; ++k)
                    m[j][k] += row[j] * row[k];
            }
        }
        const auto det = [](const long double(&a)[3][3]) {
            return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                   a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                   a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
        };
        double x[3];
        for (int k = 0; k < 3; ++k) {
            long double mk[3][3];
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    mk[i][j] = j == k ? v[i] : m[i][j];
            x[k] = double(det(mk) / det(m));
        }
        long double model = 0;
        for (int i = 0; i < c.n; ++i)
            model += std::pow(x[0] * std::cos(w * r.t[i]) + x[1] * std::sin(w * r.t[i]) + x[2], 2);
        const bool exact = c.fitOffset == 0;
        const double expectedAmplitude = exact ? 2.0 : std::hypot(x[0], x[1]);
        const double expectedPhase = exact ? c.truePhase : std::atan2(x[0], x[1]) + (x[0] < 0 ? 2 * kPi : 0);
        const double expectedRms = exact ? r.rms() : double(std::sqrt(model / c.n));

        double amplitude, offset, phase, rms;
        matrix p(4, 4);
        ASSERT_TRUE(sineFit3(r.data, fit, amplitude, offset, &phase, &rms, &p));
        EXPECT_NEAR_REL(amplitude, expectedAmplitude, 1e-12);
        EXPECT_NEAR_REL(offset, exact ? 0.5 : x[2], 1e-12);
        EXPECT_NEAR_REL(phase, expectedPhase, 1e-12);
        EXPECT_NEAR_REL(rms, expectedRms, 1e-12);
        EXPECT_EQ(r.data.frequency, fit);
        ASSERT_TRUE(p.columns() == 1 && p.rows() == 3);
        for (int i = 0; i < 3; ++i) // x0, x1, x2 as 1 column by 3 rows
            EXPECT_TRUE(nearRel(p.at(0, i), x[i], 1e-12, 1e-12));
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
