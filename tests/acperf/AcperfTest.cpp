// The transform, the windows, the display spectrum, the analysis spectrum, the AC metrics and the
// sine fits against closed forms. The
// 7-term Blackman-Harris window is the sum of c_k exp(2 pi i k i / N) over k = -6 .. 6 with c_0 = a0 and
// c_{+-k} = (-1)^k a_k / 2, so the zero-padded spectrum of a coherent tone u bins away from it
// is the sum of c_k D(u - k), D being the Dirichlet kernel; at integer u only 13 bins remain.
#include "acperf.h"
#include "Fft.h"
#include "displaySpectrum.h"
#include "fftWindow.h"
#include "matrix.h"
#include "sineFit.h"

#include "Tolerance.h"

#include <complex>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846, kTwoPi = 2 * kPi;
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

std::vector<double> window(int type, int N) {
    std::vector<double> w(N);
    fftWindow(type, N, w.data());
    return w;
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
    const std::tuple<int, double, double> cases[] = {{4096, 100.0, 1.0},   {4096, 100.0, 2.5},
                                                     {2048, 50.0, 2.0},    {1001, 100.0, 1.0},
                                                     {4096, 100.37, 10.0}, {4095, 333.71, 2.5}};
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

// 2 * 1009 points: the threads share a Bluestein plan by copies.
TEST(Acperf, SeveralChannelsGiveTheAnalysesAndCurvesOfEachAlone) {
    const int N = 1009;
    const std::vector<double> w = window(4, N);
    std::vector<std::vector<double>> data(5);
    std::vector<const double *> blocks;
    for (int c = 0; c < 5; ++c)
        blocks.push_back((data[c] = tones(N, {{20.0 + 37 * c, 1.0 / (c + 1)}}, 0.01 * c)).data());
    const auto analyses = analyseChannels(N, blocks, 1000.0, 2.0);
    std::vector<SpectrumCurve> curves;
    displaySpectra(N, 2000.0, 2, w.data(), blocks, curves);
    ASSERT_EQ(curves.size(), blocks.size());
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(analyses[c]->magnitude(), acperf(N, blocks[c], 1000.0, 2.0).magnitude()) << c;
        SpectrumCurve alone;
        ASSERT_TRUE(displaySpectrum(N, 2000.0, 2, w.data(), blocks[c], alone));
        EXPECT_EQ(curves[c].level, alone.level) << c;
    }
}

// Above a quarter of the sample rate there is no harmonic to look for: THD is -inf dB and
// SINAD equals SNR, the ratio of the sine's RMS to the noise's. Tolerance 0.2 dB, five
// standard deviations: weighted by the window, the noise's measured power spreads by about
// sqrt(2 sum(w^4)) / sum(w^2), 1 % (0.04 dB) for N = 65536; the ~20 bins of the DC region
// and the tone's lobe that are left out change it by only 0.06 %.
TEST(AcperfMetrics, WhiteNoiseSetsSnrAboveQuarterRate) {
    const int N = 65536;
    const std::vector<double> x = tones(N, {{0.3 * N + 0.5, 1.0}}, 0.0, 1e-4),
                              noise = tones(N, {}, 0.0, 1e-4);
    const double noisePower = std::inner_product(noise.begin(), noise.end(), noise.begin(), 0.0) / N;
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

// The windows against their defining coefficients: a periodic cosine-sum window
// w = a0 - a1 cos(x) + a2 cos(2x) - ... has mean a0 and mean square a0^2 + sum(ak^2)/2 once N
// exceeds twice its highest order, and is sum((-1)^k ak) at i = 0 and sum(ak) at i = N/2.
TEST(FftWindow, MeanRmsAndEndValuesFollowFromCoefficients) {
    // Hann is sin^2(pi i / N) = 0.5 - 0.5 cos(x), the others the published coefficients; unknown
    // types are rectangular.
    for (const auto &[type, a] : std::vector<std::pair<int, std::vector<double>>>{
             {fftWindowRectangular, {1.0}},
             {fftWindowHann, {0.5, 0.5}},
             {fftWindowHamming, {25.0 / 46.0, 21.0 / 46.0}},
             {fftWindowBlackman, {0.42, 0.5, 0.08}},
             {fftWindowBlackmanHarris4, {0.35875, 0.48829, 0.14128, 0.01168}},
             {fftWindowBlackmanHarris7, {std::begin(kA), std::end(kA)}},
             {-1, {1.0}},
             {6, {1.0}}}) {
        double meanSquare = a[0] * a[0] / 2, atZero = 0.0,
               atMiddle = std::accumulate(a.begin(), a.end(), 0.0);
        for (std::size_t k = 0; k < a.size(); ++k) {
            meanSquare += a[k] * a[k] / 2;
            atZero += (k % 2 ? -1.0 : 1.0) * a[k];
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
                                        tones(N, {{cycles, 0.25}}, 0.125).data(), curve));
            ASSERT_EQ(curve.level.size(), static_cast<std::size_t>(N * zp / 2));
            EXPECT_NEAR_REL(std::pow(10.0, curve.level[cycles * zp] / 20), 0.25, 1e-11);
            EXPECT_NEAR_REL(std::pow(10.0, curve.level[0] / 20), 2.0 * 0.125, 1e-11);
        }

    // The curve then serves N = 11, zp = 2: 11 points, no stale ones, and the divisor
    // 11 / 2 = 5 in integers (not 5.5), so a constant v reads 11 v / 5 with no window.
    ASSERT_TRUE(
        displaySpectrum(11, 1000.0, 2, window(0, 11).data(), std::vector<double>(11, 0.5).data(), curve));
    ASSERT_TRUE(curve.frequency.size() == 11 && curve.level.size() == 11);
    EXPECT_NEAR_REL(std::pow(10.0, curve.level[0] / 20), 11 * 0.5 / 5, 1e-13);
}

// The transform against a direct DFT summed in long double, for lengths taking every path: KISS
// FFT's fast and generic butterflies, Bluestein, the real-input split and odd lengths' complex one.
std::vector<Fft::Complex> transform(Fft &plan, const std::vector<double> &x) {
    std::vector<Fft::Complex> bins(x.size() / 2);
    plan.forwardReal(x.data(), bins.data());
    return bins;
}

// Bins 0 .. n/2-1 as plain sums, with twiddles exp(-2 pi i m / n) from a table; the offset makes
// bin 0 carry something too; the samples are white noise. Lengths: smallest and a power of two; 2, 3, 5
// mixed, even and odd; 7 * 11 * 13 and 2 * 7 * 59 (generic butterflies); a prime and twice a prime
// (Bluestein).
TEST(Fft, EqualsDirectDftToRoundOff) {
    for (std::size_t n : {1, 2, 3, 1024, 360, 225, 1001, 826, 1009, 2018}) {
        const std::vector<double> x = tones(n, {}, 0.25, 0.5);
        Fft plan(n);
        const std::vector<Fft::Complex> bins = transform(plan, x);
        std::vector<std::complex<long double>> twiddle(n);
        for (std::size_t m = 0; m < n; ++m)
            twiddle[m] = std::polar(1.0L, -2.0L * std::acos(-1.0L) * m / n);
        long double largest = 0.0L, worst = 0.0L;
        for (std::size_t k = 0; k < n / 2; ++k) {
            std::complex<long double> reference = 0.0L;
            for (std::size_t j = 0; j < n; ++j)
                reference += static_cast<long double>(x[j]) * twiddle[j * k % n];
            largest = std::max(largest, std::abs(reference));
            worst = std::max(worst,
                             std::abs(std::complex<long double>(bins[k].real(), bins[k].imag()) - reference));
        }
        EXPECT_LE(worst, 1e-12L * largest) << "n = " << n;
    }
}

// Copies of one plan transforming on several threads at once give, bit for bit, what a plan of
// their own gives on one thread. Each thread has another tone, so scratch or a KISS FFT object
// shared by mistake mixes them up. The lengths take every path: 256 and 512 KISS's real input,
// 1000 .. 100000 mixed 2/3/5, 131071 odd Bluestein and 262142 even Bluestein, KISS FFT's
// generic butterfly (which writes to a buffer of its own): 3^4 7 11 13 and 2^6 7 11 13.
TEST(Fft, CopiesOnSeveralThreadsEqualOnePlanAlone) {
    constexpr int kThreads = 4;
    for (const std::size_t n : {256, 512, 25600, 1000, 2000, 100000, 131071, 262142, 81081, 64064}) {
        const Fft shared(n);
        std::vector<std::vector<Fft::Complex>> together(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                Fft copy(shared);
                for (int round = 0; round < 3; ++round)
                    together[t] = transform(copy, tones(n, {{t + 1.0, 1.0}}, 0.0, 0.5));
            });
        for (std::thread &thread : threads)
            thread.join();
        Fft alone(n);
        for (int t = 0; t < kThreads; ++t)
            EXPECT_TRUE(together[t] == transform(alone, tones(n, {{t + 1.0, 1.0}}, 0.0, 0.5)))
                << "n = " << n << ", thread " << t;
    }
}

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
            const double wt = kTwoPi * f * t[i];
            y[i] = amplitude * std::sin(wt + phase) + offset + third * std::sin(3.0 * wt) +
                   noise * gauss(generator);
        }
    }
    std::vector<double> t, y;
    sineFitData data;
};

// At the sine's own frequency the model x0 cos + x1 sin + x2 holds the samples exactly, whatever
// the length (odd, even, not whole periods) and the times: x0 = A sin(phase), x1 = A cos(phase),
// x2 the offset, and the model's RMS is the samples'. Phases 4 and 5.5 give x0 < 0 (phase in
// (pi, 2 pi)); pi / 2 is a cosine (x1 = 0). (No program code asks for the parameter matrix.)
TEST(SineFit3, AtTheSinesFrequencyGivesItsParameters) {
    const std::tuple<int, Times, double> cases[] = {
        {131071, Times::Rate, 1.0},   {65536, Times::Axis, 4.0},     {65536, Times::Rate, kPi / 2},
        {1001, Times::Jittered, 5.5}, {1000, Times::Scattered, 1.0}, {31, Times::Axis, 3.0}};
    for (const auto &[n, times, truePhase] : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "N " << n << ", times " << int(times) << ", phase " << truePhase);
        Record r(n, 216000.0, times, 1234.5, 2.0, truePhase, 0.5);
        double amplitude, offset, phase, rms;
        ASSERT_TRUE(sineFit3(r.data, 1234.5, amplitude, offset, &phase, &rms));
        const double samplesRms = std::sqrt(std::inner_product(r.y.begin(), r.y.end(), r.y.begin(), 0.0) / n);
        const double got[] = {amplitude, offset, phase, rms}, expected[] = {2, 0.5, truePhase, samplesRms};
        for (int i = 0; i < 4; ++i)
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
    EXPECT_TRUE(frequency == 50.2 && amplitude == a3 && offset == o3 && phase == p3 && rms == r3);
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
