// The sine fits against the sines they are given, and the matrix inversion they rely on.
#include "sineFit.h"
#include "matrix.h"

#include "Tolerance.h"

#include <numeric>
#include <random>
#include <tuple>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The fit learns the times from the rate (the axis withheld: reading it would crash), or from an
// axis that is uniform (as the times of a block 3000 s into a recording, off the grid by their
// rounding), jittered by up to 0.003 samples or scattered by up to 0.3 (too far for a recurrence).
enum class Times { Rate, Axis, Jittered, Scattered };

// amplitude sin(2 pi f t + phase) + offset + third sin(3 (2 pi f t)) + white noise.
struct Record {
    Record(int n, double rate, Times times, double f, double amplitude, double phase, double offset,
           double third = 0.0, double noise = 0.0)
        : t(n), y(n),
          data(n, times == Times::Rate ? rate : 0.0, times == Times::Rate ? nullptr : t.data(), y.data()) {
        const double jitter = times == Times::Jittered ? 3e-3 : times == Times::Scattered ? 0.3 : 0.0;
        std::mt19937 generator(n);
        std::normal_distribution<double> gauss;
        for (int i = 0; i < n; ++i) {
            t[i] = (i + (i > 0 ? jitter * std::sin(1.7 * i) : 0.0)) / rate;
            t[i] = times == Times::Axis ? (t[i] + 3000.0) - 3000.0 : t[i];
            const double wt = 2.0 * kPi * f * t[i];
            y[i] = amplitude * std::sin(wt + phase) + offset + third * std::sin(3.0 * wt) +
                   (noise > 0 ? noise * gauss(generator) : 0.0);
        }
    }
    std::vector<double> t, y;
    sineFitData data;
};

// At the sine's own frequency the model x0 cos + x1 sin + x2 holds the samples exactly, whatever
// the length (odd, even, not whole periods) and the times: x0 = A sin(phase), x1 = A cos(phase),
// x2 the offset, and the model's RMS is the samples'. Phases 4 and 5.5 give x0 < 0 (phase in
// (pi, 2 pi)); pi / 2 is a cosine (x1 = 0).
TEST(SineFit3, AtTheSinesFrequencyGivesItsParameters) {
    const std::tuple<int, Times, double> cases[] = {
        {131071, Times::Rate, 1.0},   {65536, Times::Axis, 4.0},     {65536, Times::Rate, kPi / 2},
        {1001, Times::Jittered, 5.5}, {1000, Times::Scattered, 1.0}, {31, Times::Axis, 3.0}};
    for (const auto &[n, times, truePhase] : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "N " << n << ", times " << int(times) << ", phase " << truePhase);
        Record r(n, 216000.0, times, 1234.5, 2.0, truePhase, 0.5);
        double amplitude, offset, phase, rms;
        matrix p(4, 4);
        ASSERT_TRUE(sineFit3(r.data, 1234.5, amplitude, offset, &phase, &rms, &p));
        ASSERT_TRUE(p.columns() == 1 && p.rows() == 3 && r.data.frequency == 1234.5);
        const double samplesRms = std::sqrt(std::inner_product(r.y.begin(), r.y.end(), r.y.begin(), 0.0) / n);
        const double got[] = {amplitude, offset, phase, rms, p.at(0, 0), p.at(0, 1), p.at(0, 2)};
        const double expected[] = {
            2, 0.5, truePhase, samplesRms, 2 * std::sin(truePhase), 2 * std::cos(truePhase), 0.5};
        for (int i = 0; i < 7; ++i)
            EXPECT_TRUE(nearRel(got[i], expected[i], 1e-12, 1e-12)) << i;
    }
}

// A third harmonic of 0.3 V is orthogonal to the 50 Hz model over whole periods: the model's RMS
// is sqrt(0.5^2 + 2^2/2) = 1.5, the samples' sqrt(1.5^2 + 0.3^2/2).
TEST(SineFit4, WithoutIterationsGivesTheThreeParameterFitElseTheSamplesRms) {
    Record r(1000, 1000.0, Times::Rate, 50.0, 2.0, 1.0, 0.5, 0.3);
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

// A 0.7 V sine between two bins, the fit starting at the lower bin as it does from the analysis
// spectrum's peak without zero padding. 10 uV of noise (with jittered times) moves the
// least-squares answer by far less than the tolerances. A frequency off by d bins turns the phase
// at t = 0 by about pi d. A start 0.8 bins off is still on the main lobe of the residual, but
// there the full linearised step overshoots to other lobes. Budgets: iterations, then
// tolerances relative for the amplitude and in bins.
TEST(SineFit4, FindsASineBetweenBins) {
    const double rate = 1e5, amplitudeTrue = 0.7, phaseTrue = 1.0, offsetTrue = 0.05;
    for (int n : {256, 1024, 16384, 131072})
        for (double binOffset : {0.1, 0.3, 0.49, 0.8})
            for (double noise : {0.0, 10e-6}) {
                const double bin = rate / n, start = n * 5 / 64 * bin, truth = start + binOffset * bin;
                Record r(n, rate, noise > 0 ? Times::Jittered : Times::Axis, truth, amplitudeTrue, phaseTrue,
                         offsetTrue, 0.0, noise);
                for (const auto &[iterations, amplitudeTol, bins] :
                     {std::tuple{3u, 1e-3, 1e-2}, {7u, 1e-4, 1e-3}}) {
                    SCOPED_TRACE(::testing::Message() << "N " << n << ", " << binOffset << " bins, noise "
                                                      << noise << ", " << iterations << " iterations");
                    double frequency = start, amplitude, offset, phase;
                    ASSERT_TRUE(sineFit4(r.data, iterations, std::min(0.1, 100.0 / n), frequency, amplitude,
                                         offset, &phase));
                    EXPECT_NEAR_REL(amplitude, amplitudeTrue, amplitudeTol);
                    EXPECT_NEAR((frequency - truth) / bin, 0.0, bins);
                    EXPECT_EQ(r.data.frequency, frequency);
                    EXPECT_NEAR(offset, offsetTrue, amplitudeTol * amplitudeTrue);
                    EXPECT_NEAR(phase, phaseTrue, kPi * bins);
                }
            }
}

// That an inverse is the inverse, the fits' closed forms show; their misuse of a matrix (a size
// or index out of range, a non-square inverse) never arises, as the fits size their matrices.
// Rows are never exchanged; every pivot of magnitude up to 0.001, whatever its sign, is taken
// as +0.001. [[0, 1], [1, 0]] is its own inverse, as an elimination that exchanges rows finds.
// Without the exchange the zero pivot becomes 0.001: row 1 turns into (1, -1000 | -1000, 1),
// back substitution leaves row 0 as (0, 0 | 0, 0.001), and scaling gives [[0, 1], [1, -0.001]].
TEST(Matrix, SmallPivotsAreReplacedByPlusOneThousandthNotExchanged) {
    for (const auto &[rowByRow, inverse] : std::vector<std::pair<std::vector<double>, std::vector<double>>>{
             {{0, 0, 0, 4}, {1000, 0, 0, 0.25}},
             {{-0.001, 0, 0, 4}, {1000, 0, 0, 0.25}},
             {{-0.002, 0, 0, 4}, {-500, 0, 0, 0.25}},
             {{0, 1, 1, 0}, {0, 1, 1, -0.001}}}) {
        matrix m(2, 2);
        for (int i = 0; i < 4; ++i)
            m.at(i % 2, i / 2) = rowByRow[i];
        m.invert();
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(m.at(i % 2, i / 2), inverse[i], 1e-15 * std::abs(inverse[i]))
                << rowByRow[0] << " " << i;
    }
}

} // namespace
