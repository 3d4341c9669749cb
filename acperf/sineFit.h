// Least-squares sine fits in the manner of IEEE Std 1057: a three-parameter fit at a known
// frequency and an iterative four-parameter fit that also refines the frequency. They give the
// measurement window each channel's amplitude, mean, RMS value, frequency and phase.
#pragma once

#include "matrix.h"

// The input of both fits. It does not own the arrays it points at: they hold N values each and
// must outlive the fit.
struct sineFitData {
    sineFitData(int N, double sampleRate, const double *timeAxis, const double *samples)
        : N(N), sampleRate(sampleRate), timeAxis(timeAxis), samples(samples) {}

    int N;
    // Hz. When it is not 0, sample i lies at i * (1 / sampleRate) and timeAxis is not read.
    double sampleRate;
    // Seconds, one per sample; the times used when sampleRate is 0.
    const double *timeAxis;
    // Volts.
    const double *samples;
    // Hz; each fit stores here the frequency it used or found.
    double frequency = 0.0;
};

// Fits y = x0 cos(wt) + x1 sin(wt) + x2 = A sin(wt + phase) + x2 at w = 2 pi frequency (Hz).
// The phase lies in [0, 2 pi); rms is that of the fitted model, offset included; parameters
// receives (x0, x1, x2) as 1 column by 3 rows. Null optional outputs are skipped. Always returns
// true; failures are std::runtime_error ("Bad number of columns or rows" when N < 1, "Memory
// allocation failed").
bool sineFit3(sineFitData &data, double frequency, double &amplitude, double &offset, double *phase = nullptr,
              double *rms = nullptr, matrix *parameters = nullptr);

// Starts with sineFit3 at the frequency given and refines the frequency by up to `iterations`
// Gauss-Newton steps, each halved while it would leave a larger residual; it stops early when no
// step helps. Amplitude, offset and phase are sineFit3's at the frequency found. With 0
// iterations the result is sineFit3's and `frequency` is left alone. Otherwise rms is that of the
// samples themselves, not of the model. `relaxation` no longer scales the step (a scaled step
// converged too slowly for 7 iterations to reach the sine); it is still checked, so that callers
// keep one contract. Returns false, writing nothing, when iterations > 20 or relaxation is
// outside [0, 1] (or NaN).
bool sineFit4(sineFitData &data, unsigned int iterations, double relaxation, double &frequency,
              double &amplitude, double &offset, double *phase = nullptr, double *rms = nullptr);
