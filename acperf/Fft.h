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
    // A copy shares the plan's tables, which are read only once built, and gets scratch buffers
    // of its own on its first transform: copies may transform on different threads at once,
    // one object serves one thread at a time. A plan of a long prime-factor length is mostly
    // tables, so workers holding copies cost little more memory than one.
    Fft(const Fft &other);
    Fft &operator=(const Fft &other);

    std::size_t size() const { return m_n; }
    // Whether the complex transform at the core of this plan is Bluestein's rather than KISS
    // FFT's own mixed radix.
    bool usesBluestein() const;

    // Bins 0 .. n/2 - 1 of the transform of x[0 .. n-1], written to bins[0 .. n/2 - 1].
    // Throws std::bad_alloc when this copy's scratch cannot be had.
    void forwardReal(const double *x, Complex *bins);

    // Bytes of the tables all copies share, and the scratch bytes each copy adds.
    std::size_t sharedBytes() const;
    std::size_t scratchBytes() const;

    // The largest prime factor above which Bluestein's algorithm replaces KISS FFT's generic
    // butterfly (see Fft.cpp for the measurement behind it).
    static constexpr std::size_t kBluesteinPrimeThreshold = 100;

private:
    struct Plan;
    struct Scratch;
    std::size_t m_n;
    std::shared_ptr<const Plan> m_plan;
    std::unique_ptr<Scratch> m_scratch;
};

// How many of `wanted` workers (at least one) to run when they share `sharedBytes` and each
// needs `ownBytes` more. Small needs get every worker; large ones only as many as fit in half
// of what a single worker needs, so that more cores raise the peak memory by half at most.
unsigned workersWithinMemory(std::size_t sharedBytes, std::size_t ownBytes, unsigned wanted);

// The number of threads forEachWithPlan spreads jobs over: the processor's cores, or
// `workers` when it is not 0 (for measurements of how memory grows with the workers).
void setTransformWorkers(unsigned workers);
unsigned transformWorkers();

// Runs job(i, plan) for i = 0 .. count-1, the indices shared among transformWorkers() threads,
// fewer when the copies' scratch would take too much memory: worker t takes t, t + workers, ...
// The first worker transforms with plan, each other one with a copy sharing its tables
// (nullptr when plan is null). Jobs must not throw; each writes only its own results, so they
// come out as if run one after the other.
void forEachWithPlan(Fft *plan, std::size_t count, const std::function<void(std::size_t, Fft *)> &job);
