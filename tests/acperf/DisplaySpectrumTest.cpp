// The display spectrum's scaling (dB relative to 1 V peak) and its frequency axis.
#include "displaySpectrum.h"

#include "fftWindow.h"

#include "Tolerance.h"

#include <cmath>
#include <tuple>
#include <vector>

namespace {

std::vector<double> window(int type, int N) {
    std::vector<double> w(N);
    fftWindow(type, N, w.data());
    return w;
}

// A constant level plus a sine of `cycles` whole periods in the record.
std::vector<double> levelAndSine(int N, double level, int cycles, double amplitude) {
    std::vector<double> x(N);
    for (int i = 0; i < N; ++i)
        x[i] = level + amplitude * std::sin(6.283185307179586 * cycles * i / N + 0.3);
    return x;
}

const auto volts = [](double dB) { return std::pow(10.0, dB / 20.0); };

class DisplayLevels : public ::testing::TestWithParam<std::tuple<int, int>> {};

// With the window gain and the divisor N/2, a coherent sine reads its amplitude at its bin and
// a constant v reads 2v at bin 0, whatever the window and the zero padding.
TEST_P(DisplayLevels, SineReadsItsAmplitudeAndConstantTwiceItsLevel) {
    const auto [type, zp] = GetParam();
    const int N = 1000, cycles = 50;
    SpectrumCurve curve;
    ASSERT_TRUE(displaySpectrum(N, 48000.0, zp, window(type, N).data(),
                                levelAndSine(N, 0.125, cycles, 0.25).data(), curve));
    ASSERT_EQ(curve.level.size(), static_cast<std::size_t>(N * zp / 2));
    EXPECT_NEAR_REL(volts(curve.level[cycles * zp]), 0.25, 1e-11);
    EXPECT_NEAR_REL(volts(curve.level[0]), 2.0 * 0.125, 1e-11);
}

INSTANTIATE_TEST_SUITE_P(WindowsAndPadding, DisplayLevels,
                         ::testing::Combine(::testing::Range(0, 6), ::testing::Values(1, 2, 10)));

TEST(DisplaySpectrum, PointsAxisAndDivisor) {
    // 1024 scans padded by 10 at 10 kHz: 5120 points 10000/10240 Hz apart.
    SpectrumCurve curve;
    const std::vector<double> x = levelAndSine(1024, 0.0, 7, 1.0);
    ASSERT_TRUE(displaySpectrum(1024, 10000.0, 10, window(3, 1024).data(), x.data(), curve));
    ASSERT_TRUE(curve.frequency.size() == 5120 && curve.level.size() == 5120);
    EXPECT_NEAR_REL(curve.frequency[5119], 5119 * 10000.0 / 10240, 1e-15);

    // The same curve then serves N = 11, zp = 2: 11 points, no stale ones, and the divisor
    // 11 / 2 = 5 in integers (not 5.5), so a constant v reads 11 v / 5 with no window.
    ASSERT_TRUE(
        displaySpectrum(11, 1000.0, 2, window(0, 11).data(), std::vector<double>(11, 0.5).data(), curve));
    ASSERT_TRUE(curve.frequency.size() == 11 && curve.level.size() == 11);
    EXPECT_NEAR_REL(volts(curve.level[0]), 11 * 0.5 / 5, 1e-13);
}

TEST(DisplaySpectrum, SeveralChannelsGiveTheCurvesOfEachAlone) {
    // 2 * 1009 points: the threads share a Bluestein plan by copies.
    const int N = 1009, zp = 2;
    const std::vector<double> w = window(4, N);
    std::vector<std::vector<double>> data(5);
    std::vector<const double *> blocks;
    for (int c = 0; c < 5; ++c)
        blocks.push_back((data[c] = levelAndSine(N, 0.01 * c, 20 + 37 * c, 1.0 / (c + 1))).data());
    std::vector<SpectrumCurve> together;
    displaySpectra(N, 2000.0, zp, w.data(), blocks, together);
    ASSERT_EQ(together.size(), blocks.size());
    for (std::size_t c = 0; c < blocks.size(); ++c) {
        SpectrumCurve alone;
        ASSERT_TRUE(displaySpectrum(N, 2000.0, zp, w.data(), blocks[c], alone));
        EXPECT_EQ(together[c].level, alone.level) << c;
    }
}

} // namespace
