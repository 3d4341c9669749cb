// The display spectrum of one channel: the windowed, zero-padded amplitude spectrum in dB
// relative to 1 V peak, as drawn on the spectrum plot.
#pragma once

#include <vector>

class Fft;

// The points of one spectrum curve. The vectors keep their capacity from call to call, so a
// caller that holds one curve per channel allocates only when the length grows.
struct SpectrumCurve {
    std::vector<double> frequency; // Hz
    std::vector<double> level;     // dB relative to 1 V peak
};

// Fewer scans give no level: the divisor of the levels, N / 2 rounded down, would be 0.
constexpr int displaySpectrumMinimumScans = 2;

// Spectrum of block[0 .. N-1] (volts) sampled at fs, with the window w[0 .. N-1] and the zero
// padding factor zp (1, 2, 5, ...): N*zp/2 points, point k at k*fs/(N*zp). plan, when given,
// must be a plan for N*zp points; it is reused instead of making one. Returns false when
// memory runs out or zp < 1; the curve then keeps its previous points.
bool displaySpectrum(int N, double fs, int zp, const double *w, const double *block, SpectrumCurve &curve,
                     Fft *plan = nullptr);

// The same for several channels at once, blocks[e] giving curves[e]; curves grows to the
// number of blocks. The channels are shared among the workers of forEachWithPlan, whose copies
// share one plan's tables; every curve is exactly what displaySpectrum gives for its block alone.
void displaySpectra(int N, double fs, int zp, const double *w, const std::vector<const double *> &blocks,
                    std::vector<SpectrumCurve> &curves);
