// The analysis spectrum and the AC metrics against closed forms. The 7-term Blackman-Harris
// window is the sum of c_k exp(2 pi i k i / N) over k = -6 .. 6 with c_0 = a0 and
// c_{+-k} = (-1)^k a_k / 2, so the zero-padded spectrum of a coherent tone u bins away from it
// is the sum of c_k D(u - k), D being the Dirichlet kernel; at integer u only 13 bins remain.
#include "acperf.h"

#include "Tolerance.h"

#include <complex>
#include <random>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kA[] = {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
                         0.01081174209837, 0.00077658482522, 1.388721735e-5};

// Energy of a unit coherent tone's spectrum over the padded bins -halfWidth .. halfWidth
// around it, relative to the tone's own bin.
double lobeEnergy(int N, int zp, int halfWidth) {
    const long double pi = std::acos(-1.0L);
    long double energy = 0.0L;
    for (int m = -halfWidth; m <= halfWidth; ++m) {
        std::complex<long double> sum = 0.0L;
        for (int k = -6; k <= 6; ++k) {
            const long double c = (k == 0) ? kA[0] : ((k % 2) ? -0.5L : 0.5L) * kA[std::abs(k)];
            const long double v = static_cast<long double>(m) / zp - k;
            if (std::fabs(v) < 1e-12L)
                sum += c * static_cast<long double>(N);
            else if (std::fabs(v - std::round(v)) > 1e-12L)
                sum += c * std::polar(std::sin(pi * v) / std::sin(pi * v / N), -pi * v * (N - 1) / N);
        }
        energy += std::norm(sum / (N * static_cast<long double>(kA[0])));
    }
    return static_cast<double>(energy);
}

// Sum of sines, each given as (cycles in the record, amplitude), plus an offset and white noise
// of the given RMS (the same noise for the same N).
std::vector<double> tones(int N, std::initializer_list<std::pair<double, double>> sines, double offset = 0.0,
                          double noiseRms = 0.0) {
    std::vector<double> x(N, offset);
    for (const auto &[cycles, amplitude] : sines)
        for (int i = 0; i < N; ++i)
            x[i] += amplitude * std::sin(kTwoPi * cycles * i / N + 0.7);
    std::mt19937_64 random(7150);
    std::normal_distribution<double> normal(0.0, noiseRms > 0 ? noiseRms : 1.0);
    for (double &value : x)
        value += noiseRms > 0 ? normal(random) : 0.0;
    return x;
}

struct Metrics {
    double thd = 0, sinad = 0, snr = 0, sfdr = 0, enob = 0;
};

Metrics metricsOf(const std::vector<double> &x, double zp, acperf::DcLevel dc = acperf::DcLevel::Remove) {
    Metrics m;
    EXPECT_TRUE(acperf(x.size(), x.data(), 1000.0, zp, nullptr, dc)
                    .computeMetrics(&m.thd, &m.sinad, &m.snr, &m.sfdr, &m.enob));
    return m;
}

// A grounded channel's block may be all zeros: every figure is then undefined. The panel offers
// only zero padding factors of 1 and more and measures only blocks of its minimum length, so the
// constructor's refusals are never met.
TEST(Acperf, FundamentalAndMagnitudesAndNothingOfZeros) {
    const Metrics zeros = metricsOf(std::vector<double>(1024, 0.0), 2.0);
    for (double value : {zeros.thd, zeros.sinad, zeros.snr, zeros.sfdr, zeros.enob})
        EXPECT_TRUE(std::isnan(value)) << "all-zero input";

    // (N, cycles, zero padding). The fundamental is the bin nearest the tone; a coherent tone
    // reads its amplitude times (N/2) / (Nhalf/zp), 1 for even N zp, 500.5 / 500 for N = 1001.
    const std::tuple<int, double, double> cases[] = {{4096, 100.0, 1.0},
                                                     {4096, 100.0, 2.5},
                                                     {1001, 100.0, 1.0},
                                                     {4096, 100.37, 10.0},
                                                     {4095, 333.71, 2.5}};
    for (const auto &[N, cycles, zp] : cases) {
        const std::vector<double> x = tones(N, {{cycles, 0.75}});
        const acperf analysis(N, x.data(), 96000.0, zp);
        const double nfft = std::trunc(N * zp), divisor = std::floor(nfft / 2) / zp;
        EXPECT_LE(std::fabs(analysis.fundamentalFrequency() - cycles * 96000.0 / N),
                  0.5 * 96000.0 / nfft * (1 + 1e-9));
        EXPECT_TRUE(
            cycles != std::round(cycles) ||
            nearRel(analysis.magnitude()[static_cast<int>(cycles * zp)], 0.75 * (N / 2.0) / divisor, 1e-12));
    }
}

TEST(Acperf, SeveralChannelsGiveTheAnalysesOfEachAlone) {
    std::vector<std::vector<double>> data(5);
    std::vector<const double *> blocks;
    for (int c = 0; c < 5; ++c)
        blocks.push_back((data[c] = tones(1009, {{50.0 + 31 * c, 1.0}})).data());
    const auto analyses = analyseChannels(1009, blocks, 1000.0, 2.0); // 2018 points: Bluestein
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(analyses[c]->magnitude(), acperf(1009, blocks[c], 1000.0, 2.0).magnitude()) << c;
}

// Above a quarter of the sample rate there is no harmonic to look for: THD is -inf dB and
// SINAD equals SNR, the ratio of the sine's RMS to the noise's. Tolerance 0.2 dB, five
// standard deviations: weighted by the window, the noise's measured power spreads by about
// sqrt(2 sum(w^4)) / sum(w^2), 1 % (0.04 dB) for N = 65536; the ~20 bins of the DC region
// and the tone's lobe that are left out change it by only 0.06 %.
TEST(AcperfMetrics, WhiteNoiseSetsSnrAboveQuarterRate) {
    const int N = 65536;
    const std::vector<double> x = tones(N, {{0.3 * N + 0.5, 1.0}}, 0.0, 1e-4),
                              sine = tones(N, {{0.3 * N + 0.5, 1.0}});
    double noisePower = 0.0;
    for (int i = 0; i < N; ++i)
        noisePower += (x[i] - sine[i]) * (x[i] - sine[i]) / N;
    const double predicted = 20.0 * std::log10(1.0 / std::sqrt(2.0 * noisePower));
    for (double zp : {1.0, 2.0}) {
        const Metrics m = metricsOf(x, zp);
        EXPECT_EQ(m.thd, -HUGE_VAL);
        EXPECT_NEAR(m.snr, predicted, 0.2) << zp;
        EXPECT_NEAR_REL(m.sinad, m.snr, 1e-12);
        EXPECT_NEAR(m.enob, (predicted - 1.76) / 6.02, 0.2 / 6.02);
    }
}

TEST(AcperfMetrics, HarmonicLobesSetThdAndTheirRestIsNoise) {
    // A harmonic's lobe is +-2 bins before padding: THD reads the energy kept there, the rest
    // of the harmonic is noise; the fundamental's +-7 bins hold all of its energy.
    const int N = 4096;
    const std::vector<double> x = tones(N, {{200, 1.0}, {400, 1e-3}}); // -60 dBc
    for (int zp : {1, 10}) {
        const double whole = lobeEnergy(N, zp, 7 * zp), kept = lobeEnergy(N, zp, 2 * zp);
        const Metrics m = metricsOf(x, zp);
        EXPECT_NEAR_REL(m.thd, -60.0 + 10.0 * std::log10(kept / whole), 1e-9) << zp;
        EXPECT_NEAR_REL(m.snr, 60.0 - 10.0 * std::log10((whole - kept) / whole), 1e-9) << zp;
    }

    // A tone at bin 20 has 102 orders below fs/2, but only orders 2 .. 30 are distortion.
    const double whole = lobeEnergy(N, 1, 7), kept = lobeEnergy(N, 1, 2);
    const Metrics m =
        metricsOf(tones(N, {{20, 1.0}, {30 * 20, 10e-3}, {31 * 20, 0.1e-3}}), 1.0); // -40, -80 dBc
    EXPECT_NEAR_REL(m.thd, -40.0 + 10.0 * std::log10(kept / whole), 1e-9);
    EXPECT_NEAR_REL(m.snr, -10.0 * std::log10((1e-4 * (whole - kept) + 1e-8 * whole) / whole), 1e-9);

    // At exactly fs/4 the second order is searched up to the last bin, where the search stops
    // (a sanitizer build sees any read past it); a pure tone leaves only round-off.
    const Metrics top = metricsOf(tones(N, {{N / 4.0, 1.0}}), 1.0);
    EXPECT_TRUE(top.thd < -200.0 && top.snr > 200.0) << top.thd << " dB, " << top.snr << " dB";
}

TEST(AcperfMetrics, SfdrAgainstLargestSpur) {
    // A coherent spur reads its amplitude; 9 bins away it is just outside the tone's +-7.
    EXPECT_NEAR_REL(metricsOf(tones(4096, {{200, 1.0}, {209, 1e-4}}), 1.0).sfdr, 80.0, 1e-9);
    // A tone at bin 8 reaches bin 5, the first above the DC region, with a3 / (2 a0): the
    // spur, although it lies in the tone's lobe.
    EXPECT_NEAR_REL(metricsOf(tones(4096, {{8, 1.0}}), 1.0).sfdr, 20.0 * std::log10(2.0 * kA[0] / kA[3]),
                    1e-9);
}

// An offset is neither noise nor spur. Taking out the mean under the analysis window leaves
// the windowed input without any DC: its bin 0 is zero, whatever the tone's mean. The records
// differ only by their offset: 1 V of sine plus the same 1 uV of white noise.
TEST(DcOffset, RemovingTheLevelLeavesTheFiguresOfTheSineAlone) {
    const int N = 32768;
    for (double cycles : {1001.0, 1001.37}) // coherent and not
        for (double zp : {1.0, 10.0}) {
            SCOPED_TRACE(::testing::Message() << cycles << " cycles, zp " << zp);
            const Metrics clean = metricsOf(tones(N, {{cycles, 1.0}}, 0.0, 1e-6), zp);
            for (double offset : {1e-3, 1e-2, 0.5}) {
                const std::vector<double> x = tones(N, {{cycles, 1.0}}, offset, 1e-6);
                EXPECT_NEAR(acperf(N, x.data(), 1.0, zp).magnitude()[0], 0.0, 1e-12);
                const Metrics m = metricsOf(x, zp);
                EXPECT_NEAR(m.sfdr, clean.sfdr, 0.3) << offset;
                EXPECT_NEAR(m.snr, clean.snr, 0.3) << offset;
                EXPECT_NEAR(m.enob, clean.enob, 0.05) << offset;
            }
            // Without taking the mean out, half a volt of offset costs more than 40 dB of SNR.
            EXPECT_LT(metricsOf(tones(N, {{cycles, 1.0}}, 0.5, 1e-6), zp, acperf::DcLevel::Keep).snr,
                      clean.snr - 40.0);
        }
}

} // namespace
