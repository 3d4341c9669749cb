#include "displaySpectrum.h"

#include "Fft.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <optional>

bool displaySpectrum(int N, double fs, int zp, const double *w, const double *block, SpectrumCurve &curve,
                     Fft *plan) {
    if (zp < 1)
        return false;
    if (N < 1) {
        curve.frequency.clear();
        curve.level.clear();
        return true;
    }
    const std::size_t nfft = static_cast<std::size_t>(N) * static_cast<std::size_t>(zp);
    const std::size_t half = nfft / 2;
    // The level divisor is an integer quotient, (N zp / 2) / zp = N / 2 rounded down: a sine
    // centred on a bin reads its amplitude for even N, and a little more for odd N.
    const double divisor = static_cast<double>(half / static_cast<std::size_t>(zp));
    try {
        std::optional<Fft> ownPlan;
        if (!plan || plan->size() != nfft)
            plan = &ownPlan.emplace(nfft);
        std::vector<double> input(nfft, 0.0);
        std::vector<Fft::Complex> bins(half);
        double windowSum = 0.0;
        for (int i = 0; i < N; ++i) {
            input[i] = block[i] * w[i];
            windowSum += w[i];
        }
        const double gain = windowSum / N;
        plan->forwardReal(input.data(), bins.data());

        curve.frequency.resize(half);
        curve.level.resize(half);
        // 20 log10(|X| / D / g) written as 10 log10(|X|^2) - 20 log10(D g): one logarithm and
        // no square root per point.
        const double offset = 20.0 * std::log10(divisor * gain);
        for (std::size_t k = 0; k < half; ++k) {
            curve.frequency[k] = static_cast<double>(k) * fs / static_cast<double>(nfft);
            curve.level[k] = 10.0 * std::log10(std::norm(bins[k])) - offset;
        }
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

void displaySpectra(int N, double fs, int zp, const double *w, const std::vector<const double *> &blocks,
                    std::vector<SpectrumCurve> &curves) {
    if (curves.size() < blocks.size())
        curves.resize(blocks.size());
    if (blocks.empty() || N < 1 || zp < 1)
        return;
    std::unique_ptr<Fft> plan;
    try {
        plan = std::make_unique<Fft>(static_cast<std::size_t>(N) * static_cast<std::size_t>(zp));
    } catch (const std::bad_alloc &) {
        // Each channel then tries a plan of its own and fails or not on its own.
    }
    forEachWithPlan(plan.get(), blocks.size(), [&](std::size_t e, Fft *workerPlan) {
        displaySpectrum(N, fs, zp, w, blocks[e], curves[e], workerPlan);
    });
}
