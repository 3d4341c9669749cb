// Forward discrete Fourier transform of real samples, of any length.
//
// Lengths whose factors KISS FFT handles well (2, 3, 5 and small primes) go to KISS FFT
// directly; a length with a large prime factor goes through Bluestein's chirp convolution
// over a 2/3/5-smooth length, so that its cost stays O(n log n). Even lengths use the
// real-input transform (half the length as a complex transform, then a split pass).
// The transform is not normalised: X[k] = sum over i of x[i] exp(-2 pi i k i / n).
#pragma once

#include <complex>
#include <cstddef>
#include <functional>
#include <memory>

class Fft {
public:
    using Complex = std::complex<double>;

    // A plan for n points (n >= 1). Throws std::bad_alloc when memory runs out.
    explicit Fft(std::size_t n);
    ~Fft();
    // Plans are copied rather than shared between threads: a transform uses the plan's
    // scratch buffers, so one object serves one thread at a time.
    Fft(const Fft &other);
    Fft &operator=(const Fft &other);

    std::size_t size() const { return m_n; }
    // Whether the complex transform at the core of this plan is Bluestein's rather than KISS
    // FFT's own mixed radix.
    bool usesBluestein() const;

    // Bins 0 .. n/2 - 1 of the transform of x[0 .. n-1], written to bins[0 .. n/2 - 1].
    void forwardReal(const double *x, Complex *bins);

    // The largest prime factor above which Bluestein's algorithm replaces KISS FFT's generic
    // butterfly (see Fft.cpp for the measurement behind it).
    static constexpr std::size_t kBluesteinPrimeThreshold = 100;

private:
    struct Impl;
    std::size_t m_n;
    std::unique_ptr<Impl> m_impl;
};

// Runs job(i, plan) for i = 0 .. count-1, the indices shared among the processor's cores:
// worker t takes t, t + workers, ... The first worker transforms with plan, each other one
// with its own copy (nullptr when plan is null or no copy could be made). Jobs must not
// throw; each writes only its own results, so they come out as if run one after the other.
void forEachWithPlan(Fft *plan, std::size_t count, const std::function<void(std::size_t, Fft *)> &job);
