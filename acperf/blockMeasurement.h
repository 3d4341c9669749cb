// The figures of the measurement table for the channels of one block: a sine fit of each
// channel (amplitude, mean, RMS value, frequency, phase) started at the fundamental of its
// analysis spectrum, and the spectrum's AC metrics (THD, SINAD, SNR, SFDR, ENOB).
#pragma once

#include <array>
#include <string>
#include <vector>

class Fft;

class blockMeasurement {
public:
    // Column order of the figures, as the table shows them.
    enum column { amplitude, mean, vrms, frequency, phase, thd, sinad, snr, sfdr, enob, columns };
    using figures = std::array<double, columns>;
    // Fewer scans than this are not analysed: their figures stay 0.
    static constexpr int minimumScans = 10;

    struct input {
        int N = 0;                          // scans per channel
        std::vector<const double *> blocks; // N volts per channel
        const double *timeAxis = nullptr;   // seconds, one per scan; only differences count
        double rate = 0.0;                  // Hz
        double zeroPadding = 1.0;
        int fitIterations = 0; // 0: three-parameter fit; k: four-parameter fit with k iterations
    };

    // Measures every block. plan null: the spectra are built on the processor's cores, as the
    // measurement window does. plan given (of trunc(N x zeroPadding) points): one channel after
    // the other on the calling thread with that plan, for callers that spread whole blocks over
    // the cores themselves. The figures are the same either way.
    explicit blockMeasurement(const input &in, Fft *plan = nullptr);

    // Whether the blocks were analysed at all: not with fewer than minimumScans scans, no block or
    // no time axis.
    bool measured() const { return m_measured; }
    // One row per block, in block order. The phase column holds the fitted phase in radians
    // until phaseToMicroseconds.
    const std::vector<figures> &rows() const { return m_rows; }
    // A fit refused its parameters (that channel's row stays 0) or a metric could not be formed
    // (its metrics are 0).
    bool failed() const { return m_failed; }
    // Why the spectra or fits could not be made at all (rows then 0 from the failing channel
    // on); empty when they could.
    const std::string &error() const { return m_error; }

    // Turns the phase column into the delay in microseconds of each channel's fitted phase
    // relative to the first channel's (relativeToFirst) or to phase 0. A row without a positive
    // frequency gets 0.
    void phaseToMicroseconds(bool relativeToFirst);

private:
    void measure(const input &in, Fft *plan);

    std::vector<figures> m_rows;
    bool m_measured = false;
    bool m_failed = false;
    std::string m_error;
};
