// The windows against their defining coefficients, and the display spectrum's scaling (dB
// relative to 1 V peak) and frequency axis. A periodic cosine-sum window
// w = a0 - a1 cos(x) + a2 cos(2x) - ... has mean a0 and mean square a0^2 + sum(ak^2)/2 once N
// exceeds twice its highest order, and is sum((-1)^k ak) at i = 0 and sum(ak) at i = N/2.
#include "displaySpectrum.h"
#include "fftWindow.h"

#include "Tolerance.h"

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

double volts(double dB) {
    return std::pow(10.0, dB / 20.0);
}

TEST(FftWindow, MeanRmsAndEndValuesFollowFromCoefficients) {
    // Hann is sin^2(pi i / N) = 0.5 - 0.5 cos(x), the others the published coefficients; unknown
    // types are rectangular.
    for (const auto &[type, a] : std::vector<std::pair<int, std::vector<double>>>{
             {fftWindowRectangular, {1.0}},
             {fftWindowHann, {0.5, 0.5}},
             {fftWindowHamming, {25.0 / 46.0, 21.0 / 46.0}},
             {fftWindowBlackman, {0.42, 0.5, 0.08}},
             {fftWindowBlackmanHarris4, {0.35875, 0.48829, 0.14128, 0.01168}},
             {fftWindowBlackmanHarris7,
              {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803, 0.01081174209837,
               0.00077658482522, 1.388721735e-5}},
             {-1, {1.0}},
             {6, {1.0}}}) {
        double meanSquare = a[0] * a[0], atZero = 0.0, atMiddle = 0.0;
        for (std::size_t k = 0; k < a.size(); ++k) {
            meanSquare += (k > 0) ? a[k] * a[k] / 2.0 : 0.0;
            atZero += (k % 2 ? -1.0 : 1.0) * a[k];
            atMiddle += a[k];
        }
        for (int N : {1000, 999}) {
            SCOPED_TRACE(::testing::Message() << "type " << type << ", N " << N);
            std::vector<double> w(N, -5.0);
            double mean = 0.0, rms = 0.0;
            fftWindow(type, N, w.data(), &mean, &rms);
            EXPECT_NEAR_REL(mean, a[0], 1e-13);
            EXPECT_NEAR_REL(rms, std::sqrt(meanSquare), 1e-13);
            EXPECT_TRUE(nearRel(w[0], atZero, 1e-13, 1e-15));
            EXPECT_TRUE(N % 2 == 1 || nearRel(w[N / 2], atMiddle, 1e-13));
        }
    }
}

// With the window gain and the divisor N/2, a coherent sine reads its amplitude at its bin and
// a constant v reads 2v at bin 0, whatever the window and the zero padding.
TEST(DisplaySpectrum, SineReadsItsAmplitudeAndConstantTwiceItsLevel) {
    const int N = 1000, cycles = 50;
    SpectrumCurve curve;
    for (int type = 0; type < 6; ++type)
        for (int zp : {1, 2, 10}) {
            SCOPED_TRACE(::testing::Message() << "window " << type << ", zp " << zp);
            ASSERT_TRUE(displaySpectrum(N, 48000.0, zp, window(type, N).data(),
                                        levelAndSine(N, 0.125, cycles, 0.25).data(), curve));
            ASSERT_EQ(curve.level.size(), static_cast<std::size_t>(N * zp / 2));
            EXPECT_NEAR_REL(volts(curve.level[cycles * zp]), 0.25, 1e-11);
            EXPECT_NEAR_REL(volts(curve.level[0]), 2.0 * 0.125, 1e-11);
        }

    // 1024 scans padded by 10 at 10 kHz: 5120 points 10000/10240 Hz apart.
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
    const int N = 1009;
    const std::vector<double> w = window(4, N);
    std::vector<std::vector<double>> data(5);
    std::vector<const double *> blocks;
    for (int c = 0; c < 5; ++c)
        blocks.push_back((data[c] = levelAndSine(N, 0.01 * c, 20 + 37 * c, 1.0 / (c + 1))).data());
    std::vector<SpectrumCurve> together;
    displaySpectra(N, 2000.0, 2, w.data(), blocks, together);
    ASSERT_EQ(together.size(), blocks.size());
    for (std::size_t c = 0; c < blocks.size(); ++c) {
        SpectrumCurve alone;
        ASSERT_TRUE(displaySpectrum(N, 2000.0, 2, w.data(), blocks[c], alone));
        EXPECT_EQ(together[c].level, alone.level) << c;
    }
}

} // namespace
