#include "acperf.h"

#include "Fft.h"
#include "fftWindow.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <exception>
#include <limits>
#include <new>
#include <optional>

namespace {

constexpr int kMaxHarmonicOrder = 30;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Sum of v[j]^2 for j = from .. to, clipped to the vector.
double sumOfSquares(const std::vector<double> &v, int from, int to) {
    double sum = 0.0;
    for (int j = std::max(from, 0); j <= std::min(to, static_cast<int>(v.size()) - 1); ++j)
        sum += v[j] * v[j];
    return sum;
}

} // namespace

acperf::acperf(int N, const double *samples, double sampleRate, double zeroPadding, Fft *plan, DcLevel dc)
    : m_N(N), m_zp(zeroPadding), m_fs(sampleRate) {
    // Written so that a NaN factor is refused too.
    if (!(m_zp >= 1.0))
        throw acperfError("Zero padding factor must be >= 1");
    // Checked before any buffer is sized from N: a count below 1 has no spectrum at all.
    if (N < 1)
        throw acperfError("Bad number of scans");
    const double nfft = std::trunc(static_cast<double>(N) * m_zp);
    // A transform this long could never be held in memory anyway.
    if (!(nfft <= static_cast<double>(INT_MAX)))
        throw acperfError("Failed to allocate memory for FFT");
    m_nfft = static_cast<int>(nfft);
    m_nhalf = m_nfft / 2;
    m_df = m_fs / m_nfft;
    m_W = static_cast<int>(std::trunc(m_zp * 7.0));

    try {
        m_working.assign(m_nhalf, 0.0);
        m_magnitude.assign(m_nhalf, 0.0);
        m_frequency.assign(m_nhalf, 0.0);
        // By accumulation: the harmonic search compares multiples of f0 with these values,
        // and f0 is itself one of them.
        for (int k = 1; k < m_nhalf; ++k)
            m_frequency[k] = m_frequency[k - 1] + m_df;

        std::optional<Fft> ownPlan;
        if (!plan || plan->size() != static_cast<std::size_t>(m_nfft))
            plan = &ownPlan.emplace(m_nfft);
        double windowGain = 0.0;
        const std::vector<double> input = windowedInput(samples, dc, windowGain);
        computeSpectrum(input, windowGain, *plan);
    } catch (const std::bad_alloc &) {
        throw acperfError("Failed to allocate memory for FFT");
    }
    findFundamental();
}

// The samples in the zero-padded buffer, weighted by the window; the caller's block is never
// modified. Subtracting the window-weighted mean c = sum(x w) / sum(w) leaves the windowed
// input without any DC component, so no DC lobe spills past the region the metrics skip.
std::vector<double> acperf::windowedInput(const double *samples, DcLevel dc, double &windowGain) const {
    // Seven cosines a sample make the window cost more than the transform; every channel of
    // every block of a run has the same length, so each thread keeps the last one it made.
    struct CachedWindow {
        int N = 0;
        std::vector<double> values;
        double gain = 0.0;
    };
    thread_local CachedWindow cached;
    if (cached.N != m_N) {
        cached.N = 0; // a failed allocation must not leave a stale window behind
        cached.values.assign(m_N, 0.0);
        fftWindow(fftWindowBlackmanHarris7, m_N, cached.values.data(), &cached.gain);
        cached.N = m_N;
    }
    const std::vector<double> &window = cached.values;
    windowGain = cached.gain;
    double offset = 0.0;
    if (dc == DcLevel::Remove) {
        double weighted = 0.0, weights = 0.0;
        for (int i = 0; i < m_N; ++i) {
            weighted += samples[i] * window[i];
            weights += window[i];
        }
        offset = weighted / weights;
    }
    std::vector<double> input(m_nfft, 0.0);
    for (int i = 0; i < m_N; ++i)
        input[i] = (samples[i] - offset) * window[i];
    return input;
}

// Magnitudes in volts peak: |X[k]| / (Nhalf / zp) / g, so a coherent sine of amplitude A
// reads A at its bin. Nhalf / zp is N/2 up to the truncation of N * zp. Also finds the peak
// above the DC region (bins k <= 5 zp, where the window's leakage from DC lives).
void acperf::computeSpectrum(const std::vector<double> &input, double windowGain, Fft &plan) {
    std::vector<Fft::Complex> bins(m_nhalf);
    plan.forwardReal(input.data(), bins.data());
    const double divisor = m_nhalf / m_zp;
    for (int k = 0; k < m_nhalf; ++k) {
        const double m = std::sqrt(std::norm(bins[k])) / divisor / windowGain;
        m_working[k] = m;
        m_magnitude[k] = m;
        // Strictly greater: the first of equal maxima stays the peak.
        if (k > 5.0 * m_zp && m > m_P) {
            m_P = m;
            m_p = k;
        }
    }
}

void acperf::findFundamental() {
    // The fundamental's level: W bins below the peak, the peak and W-1 bins above. Energy is
    // summed rather than taking the peak so that a tone between bins still reads its full
    // level; the division by zp undoes the zero padding's denser bins.
    m_F = std::sqrt(sumOfSquares(m_magnitude, m_p - m_W, m_p + m_W - 1) / m_zp);

    const int first = static_cast<int>(std::trunc(5.0 * m_zp));
    if (first >= m_nhalf) {
        m_f0 = 0.0;
        return;
    }
    int q = first;
    for (int k = first + 1; k < m_nhalf; ++k)
        if (m_magnitude[k] > m_magnitude[q])
            q = k;
    m_f0 = m_frequency[q];
}

bool acperf::computeMetrics(double *thd, double *sinad, double *snr, double *sfdr, double *enob) {
    std::vector<double> &M = m_working;
    const std::vector<double> &f = m_frequency;
    const int s = static_cast<int>(std::trunc(5.0 * m_zp)); // first bin above the DC region

    // Spurious-free dynamic range, before anything is zeroed: the largest bin outside the
    // fundamental's lobe. Bin s is the starting value whatever it holds, so a lobe that
    // reaches down to the DC region is measured against its own edge.
    double spurFree = kNaN;
    if (s < m_nhalf) {
        double spur = M[s];
        const double lobe = m_W * m_df;
        for (int k = s + 1; k < m_nhalf; ++k)
            if (std::fabs(f[k] - m_f0) > lobe && M[k] > spur)
                spur = M[k];
        if (spur != 0.0)
            spurFree = 20.0 * std::log10(m_P / spur);
    }

    // Harmonic orders up to about half the sample rate (no folding back), at most 30.
    const double orders = m_nhalf * m_df / m_f0;
    const int n = (std::isfinite(orders) && orders >= 0.0)
                      ? static_cast<int>(std::min(orders, static_cast<double>(kMaxHarmonicOrder)))
                      : 0;
    std::fill(M.begin(), M.begin() + std::min(s, m_nhalf), 0.0);

    double harmonicSum = 0.0;
    if (n >= 1) {
        // The cursor and the peak carry over from order to order: each search starts past the
        // lobe just removed, and an order whose target lies beyond the last bin finds nothing
        // and leaves q at the previous peak (whose bins are already zero).
        int cursor = 0;
        int q = 0;
        for (int h = 1; h <= n; ++h) {
            const int w = (h == 1) ? m_W : static_cast<int>(std::trunc(2.0 * m_zp));
            const double target = h * m_f0;
            const double tolerance = w * m_df;
            ++cursor;
            while (cursor < m_nhalf && !(std::fabs(target - f[cursor]) < tolerance))
                ++cursor;
            double best = 0.0;
            while (cursor < m_nhalf) {
                // Greater or equal: of equal maxima the last, i.e. the upper bin, wins.
                if (M[cursor] >= best) {
                    best = M[cursor];
                    q = cursor;
                }
                ++cursor;
                if (cursor >= m_nhalf || std::fabs(target - f[cursor]) > tolerance)
                    break;
            }
            for (int j = std::max(q - w, 0); j <= std::min(q + w, m_nhalf - 1); ++j) {
                if (h >= 2)
                    harmonicSum += M[j] * M[j];
                M[j] = 0.0;
            }
            cursor = q + w + 1;
        }
    }
    const double H = std::sqrt(harmonicSum / m_zp);

    const double thdPercent = (m_F != 0.0) ? H * 100.0 / m_F : kNaN;
    // What is left is noise: the DC region and every lobe accounted for are zero now.
    const double E = std::sqrt(sumOfSquares(M, 0, m_nhalf - 1) / m_zp);
    const double snrDb = (E != 0.0) ? 20.0 * std::log10(m_F / E) : kNaN;
    const double thdDb = 20.0 * std::log10(thdPercent / 100.0);
    const double sinadDb =
        10.0 * std::log10(1.0 / (std::pow(10.0, thdDb / 10.0) + std::pow(10.0, snrDb / -10.0)));
    const double enobBits = (sinadDb - 1.76) / 6.02;

    if (thd)
        *thd = thdDb;
    if (sinad)
        *sinad = sinadDb;
    if (snr)
        *snr = snrDb;
    if (sfdr)
        *sfdr = spurFree;
    if (enob)
        *enob = enobBits;
    return true;
}

std::vector<std::unique_ptr<acperf>> analyseChannels(int N, const std::vector<const double *> &blocks,
                                                     double sampleRate, double zeroPadding) {
    std::unique_ptr<Fft> plan;
    const double nfft = std::trunc(static_cast<double>(N) * zeroPadding);
    try {
        // Only for arguments the constructor accepts; it reports the others itself.
        if (zeroPadding >= 1.0 && N >= 1 && nfft <= static_cast<double>(INT_MAX))
            plan = std::make_unique<Fft>(static_cast<std::size_t>(nfft));
    } catch (const std::bad_alloc &) {
    }
    std::vector<std::unique_ptr<acperf>> analyses(blocks.size());
    std::vector<std::exception_ptr> errors(blocks.size());
    forEachWithPlan(plan.get(), blocks.size(), [&](std::size_t e, Fft *workerPlan) {
        try {
            analyses[e] = std::make_unique<acperf>(N, blocks[e], sampleRate, zeroPadding, workerPlan);
        } catch (const std::bad_alloc &) {
            errors[e] = std::make_exception_ptr(acperfError("Failed to allocate memory for FFT"));
        } catch (...) {
            errors[e] = std::current_exception();
        }
    });
    for (const std::exception_ptr &error : errors)
        if (error)
            std::rethrow_exception(error);
    return analyses;
}
