// The display spectra of one block and the envelopes they are drawn with, made from a copy of
// its channels so that the block's owner can take the next block while they are computed on
// another thread.
#pragma once

#include "RunEnvelope.h"
#include "displaySpectrum.h"

#include <vector>

struct BlockSpectra {
    int N = 0;                   // scans per channel
    double fs = 1.0;             // Hz
    int zp = 1;                  // zero padding factor
    std::vector<double> window;  // N points
    std::vector<double> samples; // N volts per channel, channel after channel
    std::vector<int> curveOf;    // the plot curve of each channel
    std::vector<SpectrumCurve> curves;
    std::vector<RunEnvelope> envelopes; // of each curve's levels

    // Fills curves and envelopes, one per channel.
    void compute();
    // The frequency of the spectra's last point, Hz.
    double lastFrequency() const;
};
