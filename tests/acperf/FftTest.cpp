// The transform against a direct DFT summed in long double, for lengths taking every path: KISS
// FFT's fast and generic butterflies, Bluestein, the real-input split and odd lengths' complex one.
#include "Fft.h"

#include "Tolerance.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <thread>
#include <vector>

namespace {

using LongComplex = std::complex<long double>;

// Bins 0 .. n/2-1 as plain sums, with twiddles exp(-2 pi i m / n) from a table.
std::vector<LongComplex> directDft(const std::vector<double> &x) {
    const std::size_t n = x.size();
    std::vector<LongComplex> twiddle(n), X(n / 2);
    for (std::size_t m = 0; m < n; ++m)
        twiddle[m] = std::polar(1.0L, -2.0L * std::acos(-1.0L) * m / n);
    for (std::size_t k = 0; k < n / 2; ++k)
        for (std::size_t j = 0; j < n; ++j)
            X[k] += static_cast<long double>(x[j]) * twiddle[j * k % n];
    return X;
}

class FftLength : public ::testing::TestWithParam<std::size_t> {};

TEST_P(FftLength, EqualsDirectDftToRoundOff) {
    const std::size_t n = GetParam();
    // Random samples with an offset, so that bin 0 and every other bin carry something.
    std::mt19937_64 random(n);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> x(n);
    for (double &value : x)
        value = 0.25 + uniform(random);
    std::vector<Fft::Complex> bins(n / 2);
    Fft fft(n);
    fft.forwardReal(x.data(), bins.data());

    const std::vector<LongComplex> reference = directDft(x);
    long double largest = 0.0L, worst = 0.0L;
    for (std::size_t k = 0; k < n / 2; ++k) {
        largest = std::max(largest, std::abs(reference[k]));
        worst = std::max(worst, std::abs(LongComplex(bins[k].real(), bins[k].imag()) - reference[k]));
    }
    EXPECT_LE(worst, 1e-12L * largest) << "n = " << n;
}

INSTANTIATE_TEST_SUITE_P(EveryPath, FftLength,
                         // Smallest and a power of two; 2, 3, 5 mixed, even and odd; 7 * 11 * 13 and
                         // 2 * 7 * 59 (generic butterflies); a prime and twice a prime (Bluestein).
                         ::testing::Values(1, 2, 3, 1024, 360, 225, 1001, 826, 1009, 2018));

// Copies of one plan transforming on several threads at once give, bit for bit, what a plan of
// their own gives on one thread. Each thread has other samples, so scratch or a KISS FFT object
// shared by mistake mixes them up. The lengths take every path: 256 and 512 KISS's real input,
// 1000 .. 100000 mixed 2/3/5, 131071 odd Bluestein and 262142 even Bluestein, KISS FFT's
// generic butterfly (which writes to a buffer of its own): 3^4 7 11 13 and 2^6 7 11 13.
TEST(Fft, CopiesOnSeveralThreadsEqualOnePlanAlone) {
    constexpr int kThreads = 4, kRounds = 3;
    for (const std::size_t n : {256, 512, 25600, 1000, 2000, 100000, 131071, 262142, 81081, 64064}) {
        std::vector<std::vector<double>> x(kThreads, std::vector<double>(n));
        std::vector<std::vector<Fft::Complex>> alone(kThreads), together(kThreads);
        std::mt19937_64 random(n);
        std::uniform_real_distribution<double> uniform(-1.0, 1.0);
        for (int t = 0; t < kThreads; ++t) {
            for (double &value : x[t])
                value = uniform(random);
            alone[t].resize(n / 2);
            Fft(n).forwardReal(x[t].data(), alone[t].data());
        }
        const Fft shared(n);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                Fft copy(shared);
                together[t].resize(n / 2);
                for (int round = 0; round < kRounds; ++round)
                    copy.forwardReal(x[t].data(), together[t].data());
            });
        for (std::thread &thread : threads)
            thread.join();
        for (int t = 0; t < kThreads; ++t)
            EXPECT_TRUE(together[t] == alone[t]) << "n = " << n << ", thread " << t;
    }
}

} // namespace
