#include "Fft.h"

#include <kissfft/kissfft.hh>

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <thread>
#include <vector>

// Why Bluestein above kBluesteinPrimeThreshold: KISS FFT has butterflies for 2, 3, 4 and 5
// only; any other prime factor p goes through its generic butterfly, which costs n p complex
// multiply-adds for that stage. Bluestein costs three transforms of a 2/3/5-smooth length
// M >= 2n - 1 (one of them for the plan) and the chirp's sines and cosines. Timed here with
// the plan included, as every call makes its plan, for n = 2^k p: Bluestein wins from p of
// about 60 at n = 50 000, but only from about 170 at n = 800 000, where its larger working
// set no longer fits the caches. With 100 the slower of the two is chosen by at most about
// 1.4x at either end, while a length like 131071 (prime) drops from 38 s to 0.04 s.

namespace {

using Complex = std::complex<double>;
using Kiss = kissfft<double>;
constexpr double kPi = 3.14159265358979323846264338327950;

std::size_t largestPrimeFactor(std::size_t n) {
    std::size_t largest = 1;
    for (std::size_t p = 2; p * p <= n; ++p) {
        while (n % p == 0) {
            largest = p;
            n /= p;
        }
    }
    return n > 1 ? n : largest;
}

// The smallest m >= n whose only prime factors are 2, 3 and 5.
std::size_t nextSmooth235(std::size_t n) {
    for (std::size_t m = n;; ++m) {
        std::size_t r = m;
        for (std::size_t p : {2, 3, 5})
            while (r % p == 0)
                r /= p;
        if (r == 1)
            return m;
    }
}

// A complex forward transform of one length: KISS FFT itself, or Bluestein's algorithm.
//
// Bluestein: with c[k] = exp(-i pi k^2 / n), j k = (j^2 + k^2 - (k - j)^2) / 2 turns the DFT
// into X[k] = c[k] * sum_j (x[j] c[j]) conj(c[k - j]), a convolution that is done as a
// cyclic one of length M >= 2n - 1 with KISS FFT, where M has only fast factors.
class ComplexTransform {
public:
    explicit ComplexTransform(std::size_t n)
        : m_n(n), m_bluestein(largestPrimeFactor(n) > Fft::kBluesteinPrimeThreshold),
          m_kiss(m_bluestein ? nextSmooth235(2 * n - 1) : n, false) {
        if (!m_bluestein)
            return;
        const std::size_t M = nextSmooth235(2 * n - 1);
        m_chirp.resize(n);
        // k^2 mod 2n by increments, so the chirp's angle stays exact and below 2 pi for any n.
        std::size_t square = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const double angle = -kPi * static_cast<double>(square) / static_cast<double>(n);
            m_chirp[k] = Complex(std::cos(angle), std::sin(angle));
            square = (square + 2 * k + 1) % (2 * n);
        }
        std::vector<Complex> kernel(M, Complex(0.0, 0.0));
        kernel[0] = std::conj(m_chirp[0]);
        for (std::size_t k = 1; k < n; ++k)
            kernel[k] = kernel[M - k] = std::conj(m_chirp[k]);
        m_kernel.resize(M);
        m_kiss.transform(kernel.data(), m_kernel.data());
        // The 1/M of the inverse transform is folded into the kernel once.
        for (Complex &value : m_kernel)
            value /= static_cast<double>(M);
        m_a.resize(M);
        m_b.resize(M);
    }

    bool bluestein() const { return m_bluestein; }
    Kiss &kiss() { return m_kiss; }

    // out[0 .. n-1] = DFT of in[0 .. n-1]; in and out must not overlap.
    void forward(const Complex *in, Complex *out) {
        if (!m_bluestein) {
            m_kiss.transform(in, out);
            return;
        }
        const std::size_t M = m_a.size();
        for (std::size_t j = 0; j < m_n; ++j)
            m_a[j] = in[j] * m_chirp[j];
        std::fill(m_a.begin() + m_n, m_a.end(), Complex(0.0, 0.0));
        m_kiss.transform(m_a.data(), m_b.data());
        // The inverse transform as conj(forward(conj(.))), which needs only the forward plan.
        for (std::size_t m = 0; m < M; ++m)
            m_b[m] = std::conj(m_b[m] * m_kernel[m]);
        m_kiss.transform(m_b.data(), m_a.data());
        for (std::size_t k = 0; k < m_n; ++k)
            out[k] = m_chirp[k] * std::conj(m_a[k]);
    }

private:
    std::size_t m_n;
    bool m_bluestein;
    Kiss m_kiss;
    std::vector<Complex> m_chirp;
    std::vector<Complex> m_kernel;
    std::vector<Complex> m_a, m_b;
};

} // namespace

// Even n: the samples are read as n/2 complex values z[j] = x[2j] + i x[2j+1] and transformed
// by the core; the split pass separates the even and odd samples' spectra. Odd n: the core
// transforms the samples as complex values with zero imaginary parts.
struct Fft::Impl {
    explicit Impl(std::size_t n) : core(n % 2 == 0 ? n / 2 : n) {
        if (n % 2 == 1) {
            input.resize(n);
            output.resize(n);
        } else if (core.bluestein()) {
            // KISS FFT's transform_real would run its own plan of n/2 points, which is the
            // slow direct length here, so the split pass is ours for this case.
            const std::size_t half = n / 2;
            output.resize(half);
            splitTwiddle.resize(half);
            for (std::size_t k = 0; k < half; ++k) {
                const double angle = -2.0 * kPi * static_cast<double>(k) / static_cast<double>(n);
                splitTwiddle[k] = Complex(std::cos(angle), std::sin(angle));
            }
        }
    }

    ComplexTransform core;
    std::vector<Complex> input, output;
    std::vector<Complex> splitTwiddle;
};

Fft::Fft(std::size_t n) : m_n(n), m_impl(std::make_unique<Impl>(n)) {}
Fft::~Fft() = default;
Fft::Fft(const Fft &other) : m_n(other.m_n), m_impl(std::make_unique<Impl>(*other.m_impl)) {}
Fft &Fft::operator=(const Fft &other) {
    if (this != &other) {
        m_impl = std::make_unique<Impl>(*other.m_impl);
        m_n = other.m_n;
    }
    return *this;
}

bool Fft::usesBluestein() const {
    return m_impl->core.bluestein();
}

void Fft::forwardReal(const double *x, Complex *bins) {
    const std::size_t n = m_n;
    Impl &impl = *m_impl;
    if (n == 0)
        return;
    if (n % 2 == 1) {
        for (std::size_t i = 0; i < n; ++i)
            impl.input[i] = Complex(x[i], 0.0);
        impl.core.forward(impl.input.data(), impl.output.data());
        std::copy(impl.output.begin(), impl.output.begin() + n / 2, bins);
        return;
    }
    if (!impl.core.bluestein()) {
        impl.core.kiss().transform_real(x, bins);
        // transform_real packs the real bin n/2 into the imaginary part of bin 0.
        bins[0] = Complex(bins[0].real(), 0.0);
        return;
    }
    // z is read in place: std::complex<double> is laid out as two doubles.
    const std::size_t half = n / 2;
    impl.core.forward(reinterpret_cast<const Complex *>(x), impl.output.data());
    const Complex *Z = impl.output.data();
    bins[0] = Complex(Z[0].real() + Z[0].imag(), 0.0);
    for (std::size_t k = 1; k < half; ++k) {
        const Complex a = Z[k];
        const Complex b = std::conj(Z[half - k]);
        const Complex even = 0.5 * (a + b);
        const Complex odd = Complex(0.0, -0.5) * (a - b);
        bins[k] = even + impl.splitTwiddle[k] * odd;
    }
}

void forEachWithPlan(Fft *plan, std::size_t count, const std::function<void(std::size_t, Fft *)> &job) {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers = std::min(cores, count);
    // The copies are made here, before any worker transforms with (and so writes to) the
    // original's scratch buffers.
    std::vector<std::optional<Fft>> copies(workers);
    for (std::size_t t = 1; t < workers && plan; ++t) {
        try {
            copies[t].emplace(*plan);
        } catch (const std::bad_alloc &) {
        }
    }
    auto work = [&](std::size_t first) {
        Fft *own = (first == 0) ? plan : (copies[first] ? &*copies[first] : nullptr);
        for (std::size_t i = first; i < count; i += workers)
            job(i, own);
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < workers; ++t) {
        try {
            threads.emplace_back(work, t);
        } catch (const std::exception &) {
            work(t); // no thread to be had: that share is done here
        }
    }
    work(0);
    for (std::thread &thread : threads)
        thread.join();
}
