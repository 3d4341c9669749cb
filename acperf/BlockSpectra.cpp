#include "BlockSpectra.h"

#include <cstddef>

void BlockSpectra::compute() {
    std::vector<const double *> blocks;
    for (std::size_t e = 0; e < curveOf.size(); ++e)
        blocks.push_back(samples.data() + e * std::size_t(N));
    displaySpectra(N, fs, zp, window.data(), blocks, curves);
    for (const SpectrumCurve &curve : curves)
        envelopes.emplace_back(curve.level.data(), curve.level.size());
}

double BlockSpectra::lastFrequency() const {
    return fs * (N * zp / 2 - 1) / (N * zp);
}
