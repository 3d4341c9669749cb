#include "DemoSignal.h"

#include <cmath>

double DemoSignal::s_phase = 0.0;

void DemoSignal::fill(double *data, int channels, int scans) {
    const double twoPi = 2.0 * M_PI;
    for (int k = 0; k < channels; ++k) {
        double *block = data + static_cast<long>(k) * scans;
        for (int s = 0; s < scans; ++s)
            block[s] = std::sin(s * (k + 1) * 1.2 * twoPi / scans + s_phase);
    }
    s_phase += kPhaseStep;
}
