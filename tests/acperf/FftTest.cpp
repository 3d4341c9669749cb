// The transform against a direct DFT summed in long double, for lengths taking every path: KISS
// FFT's fast and generic butterflies, Bluestein, the real-input split and odd lengths' complex one.
#include "Fft.h"

#include <gtest/gtest.h>

#include <complex>
#include <random>
#include <thread>
#include <vector>

namespace {

// n random samples in offset +- 1, seeded by n and the seed.
std::vector<double> samples(std::size_t n, double offset, int seed = 0) {
    std::mt19937_64 random(n + seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> x(n);
    for (double &value : x)
        value = offset + uniform(random);
    return x;
}

std::vector<Fft::Complex> transform(Fft &plan, const std::vector<double> &x) {
    std::vector<Fft::Complex> bins(x.size() / 2);
    plan.forwardReal(x.data(), bins.data());
    return bins;
}

// Bins 0 .. n/2-1 as plain sums, with twiddles exp(-2 pi i m / n) from a table; the offset makes
// bin 0 carry something too. Lengths: smallest and a power of two; 2, 3, 5 mixed, even and odd;
// 7 * 11 * 13 and 2 * 7 * 59 (generic butterflies); a prime and twice a prime (Bluestein).
TEST(Fft, EqualsDirectDftToRoundOff) {
    for (std::size_t n : {1, 2, 3, 1024, 360, 225, 1001, 826, 1009, 2018}) {
        const std::vector<double> x = samples(n, 0.25);
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
// their own gives on one thread. Each thread has other samples, so scratch or a KISS FFT object
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
                    together[t] = transform(copy, samples(n, 0.0, t));
            });
        for (std::thread &thread : threads)
            thread.join();
        Fft alone(n);
        for (int t = 0; t < kThreads; ++t)
            EXPECT_TRUE(together[t] == transform(alone, samples(n, 0.0, t)))
                << "n = " << n << ", thread " << t;
    }
}

} // namespace
