#include "blockMeasurement.h"

#include "acperf.h"
#include "sineFit.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <new>

namespace {

// All analyses are built before any fit, with or without a plan, so that a failure leaves the
// same rows behind either way.
std::vector<std::unique_ptr<acperf>> analyses(const blockMeasurement::input &in, Fft *plan) {
    if (!plan)
        return analyseChannels(in.N, in.blocks, in.rate, in.zeroPadding);
    std::vector<std::unique_ptr<acperf>> result;
    try {
        for (const double *samples : in.blocks)
            result.push_back(std::make_unique<acperf>(in.N, samples, in.rate, in.zeroPadding, plan));
    } catch (const std::bad_alloc &) {
        throw acperfError("Failed to allocate memory for FFT"); // as analyseChannels reports it
    }
    return result;
}

} // namespace

blockMeasurement::blockMeasurement(const input &in, Fft *plan) : m_rows(in.blocks.size(), figures{}) {
    m_measured = in.N >= minimumScans && !in.blocks.empty() && in.timeAxis;
    if (m_measured) {
        try {
            measure(in, plan);
        } catch (const std::exception &e) {
            m_error = e.what();
        }
    }
}

void blockMeasurement::measure(const input &in, Fft *plan) {
    const int N = in.N;
    // The fits work on times from the block's first scan: absolute times of a long recording
    // would cost the phase its precision.
    std::vector<double> t(N);
    for (int i = 0; i < N; ++i)
        t[i] = in.timeAxis[i] - in.timeAxis[0];
    const double relaxation = std::min(0.1, 100.0 / N);
    const auto spectra = analyses(in, plan);
    for (std::size_t e = 0; e < in.blocks.size(); ++e) {
        figures &v = m_rows[e];
        sineFitData fit(N, 0.0, t.data(), in.blocks[e]);
        double f = spectra[e]->fundamentalFrequency();
        double a = 0, offset = 0, phi = 0, rms = 0;
        if (!sineFit4(fit, unsigned(in.fitIterations), relaxation, f, a, offset, &phi, &rms)) {
            m_failed = true;
            continue;
        }
        v[amplitude] = a;
        v[mean] = offset;
        v[vrms] = rms;
        v[frequency] = f;
        v[phase] = phi;
        if (!spectra[e]->computeMetrics(&v[thd], &v[sinad], &v[snr], &v[sfdr], &v[enob])) {
            std::fill(v.begin() + thd, v.end(), 0.0);
            m_failed = true;
        }
    }
}

void blockMeasurement::phaseToMicroseconds(bool relativeToFirst) {
    const double reference = relativeToFirst && !m_rows.empty() ? m_rows.front()[phase] : 0.0;
    for (figures &v : m_rows)
        v[phase] = v[frequency] > 0 ? (v[phase] - reference) / (2 * M_PI) / v[frequency] * 1e6 : 0.0;
}
