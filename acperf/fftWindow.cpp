#include "fftWindow.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kPi = 3.14159265358979323846264338327950;

// Coefficients of w = c0 - c1 cos(x) + c2 cos(2x) - ..., the alternating signs applied in
// evaluate(). Hamming's pair is 25/46 and 21/46 as the nearest doubles.
constexpr double kHamming[] = {0.5434782608695652, 0.4565217391304348};
constexpr double kBlackman[] = {0.42, 0.5, 0.08};
constexpr double kBlackmanHarris4[] = {0.35875, 0.48829, 0.14128, 0.01168};
constexpr double kBlackmanHarris7[] = {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
                                       0.01081174209837, 0.00077658482522, 1.388721735e-5};

template <int Terms> double cosineSum(const double (&c)[Terms], int i, int N) {
    double value = c[0];
    for (int k = 1; k < Terms; ++k) {
        // k*i reduced modulo N keeps the argument below 2*pi, so every term is as accurate as
        // one cosine of a small angle, even for long windows.
        const long long phase = static_cast<long long>(k) * i % N;
        const double term = c[k] * std::cos(kTwoPi * static_cast<double>(phase) / N);
        value += (k % 2 == 1) ? -term : term;
    }
    return value;
}

double evaluate(int type, int i, int N) {
    switch (type) {
    case fftWindowHann: {
        const double s = std::sin(kPi * i / N);
        return s * s;
    }
    case fftWindowHamming:
        return cosineSum(kHamming, i, N);
    case fftWindowBlackman:
        return cosineSum(kBlackman, i, N);
    case fftWindowBlackmanHarris4:
        return cosineSum(kBlackmanHarris4, i, N);
    case fftWindowBlackmanHarris7:
        return cosineSum(kBlackmanHarris7, i, N);
    default:
        return 1.0;
    }
}

} // namespace

void fftWindow(int type, int N, double *w, double *mean, double *rms) {
    if (N < 1) {
        if (mean)
            *mean = std::numeric_limits<double>::quiet_NaN();
        if (rms)
            *rms = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    double sum = 0.0;
    double sumSquares = 0.0;
    for (int i = N - 1; i >= 0; --i) {
        const double value = evaluate(type, i, N);
        w[i] = value;
        sum += value;
        sumSquares += value * value;
    }
    if (mean)
        *mean = sum / N;
    if (rms)
        *rms = std::sqrt(sumSquares / N);
}
