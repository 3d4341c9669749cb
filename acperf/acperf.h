// The analysis spectrum of one channel and the AC performance figures drawn from it: THD,
// SINAD, SNR, SFDR and ENOB of a sine-wave input.
#pragma once

#include <memory>
#include <stdexcept>
#include <vector>

class Fft;

// Why an analysis could not be built; what() is the text shown to the user.
class acperfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class acperf {
public:
    // What happens to the DC level of the samples. A DC level is neither noise nor distortion,
    // but the window's DC lobe reaches beyond the bins the metrics set aside for it; so the
    // window-weighted mean is taken out before the transform. Keep is the raw computation,
    // where an offset lowers SNR and SFDR; it serves as a reference only.
    enum class DcLevel { Remove, Keep };

    // Builds the spectrum of samples[0 .. N-1] (volts) at once, with the 7-term
    // Blackman-Harris window and zero padding by zeroPadding (>= 1; the transform has
    // trunc(N * zeroPadding) points). The samples are read only here. plan, when given, must
    // be a plan of that many points; callers that analyse several channels of one block pass
    // one plan to them all. Throws acperfError.
    acperf(int N, const double *samples, double sampleRate, double zeroPadding, Fft *plan = nullptr,
           DcLevel dc = DcLevel::Remove);
    acperf(const acperf &) = delete;
    acperf &operator=(const acperf &) = delete;

    // The frequency of the largest bin above the DC region, Hz.
    double fundamentalFrequency() const { return m_f0; }

    // THD, SINAD, SNR, SFDR (dB) and ENOB (bits); any pointer may be null. It consumes the
    // working copy of the spectrum, so it is meant to run once per object. A figure that
    // cannot be formed (all-zero input) is NaN. Always returns true.
    bool computeMetrics(double *thd, double *sinad, double *snr, double *sfdr, double *enob);

    // The amplitude spectrum in volts peak, bins 0 .. Nhalf-1, and its frequency axis in Hz.
    const std::vector<double> &magnitude() const { return m_magnitude; }
    const std::vector<double> &frequencyAxis() const { return m_frequency; }

private:
    std::vector<double> windowedInput(const double *samples, DcLevel dc, double &windowGain) const;
    void computeSpectrum(const std::vector<double> &input, double windowGain, Fft &plan);
    void findFundamental();

    int m_N;
    double m_zp;
    double m_fs;
    int m_nfft = 0;
    int m_nhalf = 0;
    double m_df = 0.0;
    int m_W = 0;                   // half-width of the fundamental's lobe, bins
    std::vector<double> m_working; // computeMetrics zeroes what it has accounted for
    std::vector<double> m_magnitude;
    std::vector<double> m_frequency;
    int m_p = 0;       // peak bin above the DC region
    double m_P = 0.0;  // magnitude at m_p, volts peak
    double m_F = 0.0;  // fundamental level
    double m_f0 = 0.0; // fundamental frequency, Hz
};

// One analysis per block, as acperf(N, blocks[e], sampleRate, zeroPadding) would give, built
// by the workers of forEachWithPlan, which share one plan's tables. If any fails, the error of the first
// failing block (in block order) is thrown, as building them one by one would.
std::vector<std::unique_ptr<acperf>> analyseChannels(int N, const std::vector<const double *> &blocks,
                                                     double sampleRate, double zeroPadding);
