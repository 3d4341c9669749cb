#include "Fft.h"

#include <kissfft/kissfft.hh>

#include <algorithm>
#include <atomic>
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

} // namespace

// The tables of one length, read only once built, so that copies of an Fft share them.
//
// Bluestein: with c[k] = exp(-i pi k^2 / n), j k = (j^2 + k^2 - (k - j)^2) / 2 turns the DFT
// into X[k] = c[k] * sum_j (x[j] c[j]) conj(c[k - j]), a convolution that is done as a
// cyclic one of length M >= 2n - 1 with KISS FFT, where M has only fast factors.
//
// Even n: the samples are read as n/2 complex values z[j] = x[2j] + i x[2j+1] and transformed
// by the core; the split pass separates the even and odd samples' spectra. Odd n: the core
// transforms the samples as complex values with zero imaginary parts.
struct Fft::Plan {
    explicit Plan(std::size_t n);
    // out[0 .. core-1] = DFT of in[0 .. core-1]; in and out must not overlap.
    void forwardComplex(Scratch &scratch, const Complex *in, Complex *out) const;
    const Kiss &kissOf(const Scratch &scratch) const;

    std::size_t n;
    std::size_t core; // points of the complex transform
    bool bluestein;
    // KISS FFT's generic butterfly (prime factors above 5) works in a buffer inside the kissfft
    // object, so such a plan's KISS FFT cannot be shared: each copy transforms with its own.
    bool genericButterfly;
    Kiss kiss;                         // of M points with Bluestein, of core points otherwise
    std::vector<Complex> chirp;        // Bluestein: c[0 .. core-1]
    std::vector<Complex> kernel;       // Bluestein: transform of conj(c), folded cyclically, / M
    std::vector<Complex> splitTwiddle; // even n with Bluestein
};

// What one copy writes while it transforms.
struct Fft::Scratch {
    explicit Scratch(const Plan &plan)
        : a(plan.bluestein ? plan.kernel.size() : 0), b(a.size()), input(plan.n % 2 == 1 ? plan.core : 0),
          output(plan.n % 2 == 1 || plan.bluestein ? plan.core : 0) {
        if (plan.genericButterfly)
            kiss.emplace(plan.kiss);
    }
    // Elements of Complex that the constructor allocates, kept beside it so that the two agree.
    static std::size_t elements(const Plan &plan) {
        const std::size_t a = plan.bluestein ? plan.kernel.size() : 0;
        return 2 * a +
               (plan.n % 2 == 1  ? 2 * plan.core
                : plan.bluestein ? plan.core
                                 : 0) +
               (plan.genericButterfly ? plan.core : 0);
    }

    std::vector<Complex> a, b; // Bluestein's convolution
    std::vector<Complex> input, output;
    std::optional<Kiss> kiss;
};

Fft::Plan::Plan(std::size_t points)
    : n(points), core(points % 2 == 0 ? points / 2 : points),
      bluestein(largestPrimeFactor(core) > Fft::kBluesteinPrimeThreshold),
      genericButterfly(!bluestein && largestPrimeFactor(core) > 5),
      kiss(bluestein ? nextSmooth235(2 * core - 1) : core, false) {
    if (!bluestein)
        return;
    const std::size_t M = nextSmooth235(2 * core - 1);
    chirp.resize(core);
    // k^2 mod 2n by increments, so the chirp's angle stays exact and below 2 pi for any n.
    std::size_t square = 0;
    for (std::size_t k = 0; k < core; ++k) {
        const double angle = -kPi * static_cast<double>(square) / static_cast<double>(core);
        chirp[k] = Complex(std::cos(angle), std::sin(angle));
        square = (square + 2 * k + 1) % (2 * core);
    }
    {
        std::vector<Complex> folded(M, Complex(0.0, 0.0));
        folded[0] = std::conj(chirp[0]);
        for (std::size_t k = 1; k < core; ++k)
            folded[k] = folded[M - k] = std::conj(chirp[k]);
        kernel.resize(M);
        kiss.transform(folded.data(), kernel.data());
    }
    // The 1/M of the inverse transform is folded into the kernel once.
    for (Complex &value : kernel)
        value /= static_cast<double>(M);
    if (n % 2 == 0) {
        // KISS FFT's transform_real would run its own plan of n/2 points, which is the slow
        // direct length here, so the split pass is ours for this case.
        splitTwiddle.resize(core);
        for (std::size_t k = 0; k < core; ++k) {
            const double angle = -2.0 * kPi * static_cast<double>(k) / static_cast<double>(n);
            splitTwiddle[k] = Complex(std::cos(angle), std::sin(angle));
        }
    }
}

const Kiss &Fft::Plan::kissOf(const Scratch &scratch) const {
    return scratch.kiss ? *scratch.kiss : kiss;
}

void Fft::Plan::forwardComplex(Scratch &scratch, const Complex *in, Complex *out) const {
    if (!bluestein) {
        kissOf(scratch).transform(in, out);
        return;
    }
    std::vector<Complex> &a = scratch.a, &b = scratch.b;
    const std::size_t M = a.size();
    for (std::size_t j = 0; j < core; ++j)
        a[j] = in[j] * chirp[j];
    std::fill(a.begin() + core, a.end(), Complex(0.0, 0.0));
    kiss.transform(a.data(), b.data());
    // The inverse transform as conj(forward(conj(.))), which needs only the forward plan.
    for (std::size_t m = 0; m < M; ++m)
        b[m] = std::conj(b[m] * kernel[m]);
    kiss.transform(b.data(), a.data());
    for (std::size_t k = 0; k < core; ++k)
        out[k] = chirp[k] * std::conj(a[k]);
}

Fft::Fft(std::size_t n) : m_n(n), m_plan(std::make_shared<const Plan>(n)) {}
Fft::~Fft() = default;
Fft::Fft(const Fft &other) : m_n(other.m_n), m_plan(other.m_plan) {}
Fft &Fft::operator=(const Fft &other) {
    if (this != &other) {
        m_plan = other.m_plan;
        m_scratch.reset();
        m_n = other.m_n;
    }
    return *this;
}

bool Fft::usesBluestein() const {
    return m_plan->bluestein;
}

std::size_t Fft::sharedBytes() const {
    const Plan &plan = *m_plan;
    const std::size_t kissPoints = plan.bluestein ? plan.kernel.size() : plan.core;
    return sizeof(Complex) * (kissPoints + plan.chirp.size() + plan.kernel.size() + plan.splitTwiddle.size());
}

std::size_t Fft::scratchBytes() const {
    return sizeof(Complex) * Scratch::elements(*m_plan);
}

void Fft::forwardReal(const double *x, Complex *bins) {
    const std::size_t n = m_n;
    if (n == 0)
        return;
    const Plan &plan = *m_plan;
    // Made on the first transform, so that a copy handed to a worker allocates on that worker.
    if (!m_scratch)
        m_scratch = std::make_unique<Scratch>(plan);
    Scratch &scratch = *m_scratch;
    if (n % 2 == 1) {
        for (std::size_t i = 0; i < n; ++i)
            scratch.input[i] = Complex(x[i], 0.0);
        plan.forwardComplex(scratch, scratch.input.data(), scratch.output.data());
        std::copy(scratch.output.begin(), scratch.output.begin() + n / 2, bins);
        return;
    }
    if (!plan.bluestein) {
        plan.kissOf(scratch).transform_real(x, bins);
        // transform_real packs the real bin n/2 into the imaginary part of bin 0.
        bins[0] = Complex(bins[0].real(), 0.0);
        return;
    }
    // z is read in place: std::complex<double> is laid out as two doubles.
    const std::size_t half = n / 2;
    plan.forwardComplex(scratch, reinterpret_cast<const Complex *>(x), scratch.output.data());
    const Complex *Z = scratch.output.data();
    bins[0] = Complex(Z[0].real() + Z[0].imag(), 0.0);
    for (std::size_t k = 1; k < half; ++k) {
        const Complex a = Z[k];
        const Complex b = std::conj(Z[half - k]);
        const Complex even = 0.5 * (a + b);
        const Complex odd = Complex(0.0, -0.5) * (a - b);
        bins[k] = even + plan.splitTwiddle[k] * odd;
    }
}

unsigned workersWithinMemory(std::size_t sharedBytes, std::size_t ownBytes, unsigned wanted) {
    // Up to this much for the extra workers together is small on any desktop, and it lets the
    // usual lengths (131072 scans at 10x: about 21 MB a worker) use every core.
    constexpr double kAlwaysAffordable = 256.0 * 1024 * 1024;
    if (wanted <= 1 || ownBytes == 0)
        return std::max(1u, wanted);
    const double budget = std::max(kAlwaysAffordable, 0.5 * (double(sharedBytes) + double(ownBytes)));
    return unsigned(std::min(double(wanted), 1.0 + std::floor(budget / double(ownBytes))));
}

namespace {
std::atomic<unsigned> g_transformWorkers{0};
}

void setTransformWorkers(unsigned workers) {
    g_transformWorkers = workers;
}

unsigned transformWorkers() {
    const unsigned chosen = g_transformWorkers;
    return chosen ? chosen : std::max(1u, std::thread::hardware_concurrency());
}

void forEachWithPlan(Fft *plan, std::size_t count, const std::function<void(std::size_t, Fft *)> &job) {
    // Without a plan (its memory could not be had) each job makes its own: one at a time then.
    // Each worker transforms into a real input and bins of its own besides the plan's scratch.
    const unsigned wanted = unsigned(std::min<std::size_t>(transformWorkers(), count));
    const std::size_t workers =
        plan ? workersWithinMemory(plan->sharedBytes(), plan->scratchBytes() + 16 * plan->size(), wanted) : 1;
    std::vector<Fft> copies;
    if (plan)
        copies.assign(workers - 1, *plan);
    auto work = [&](std::size_t first) {
        Fft *own = (first == 0 || !plan) ? plan : &copies[first - 1];
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
