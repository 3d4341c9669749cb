// Hands each block in the waveform view to the spectrum plot: its display spectra are computed
// away from the window and drawn when done, with the plot's scales following them.
#pragma once

#include "BackgroundAnalysis.h"
#include "ChannelSelection.h"
#include "CurveTable.h"

#include <string>
#include <vector>

class QAbstractButton;
class plot_voltage;
struct BlockSpectra;
struct SpectrumCurve;

class SpectrumFeed {
public:
    SpectrumFeed(QObject *window, plot_voltage *spectrum, QAbstractButton *autoscale);
    ~SpectrumFeed();

    // The window function of the blocks an acquisition brings.
    void setWindow(int windowCode, int scans);
    // Starts the spectra of a block (scans per channel, the acquired channels in order).
    // settings: the window and zero padding, as the exported table names them.
    void start(const double *block, int scans, double rate, const ChannelSelection &channels, int zeroPadding,
               const std::string &settings);
    // The scales after an autoscale change; the spectra stay.
    void refreshScales();
    // Draws the curves whose legend entries are selected, in their pens.
    void toggleChannels();
    // True while spectra are computed and not yet shown.
    bool pending() const { return m_analysis.pending(); }
    CurveTable table(bool withSamples, double rate, int scans) const;

private:
    void show(BlockSpectra &done);
    // fEnd: the last frequency of the spectra.
    void showScales(double fEnd);

    plot_voltage *m_spectrum;
    QAbstractButton *m_autoscale;
    std::vector<double> m_window;
    std::vector<SpectrumCurve> m_spectra; // the spectra drawn
    double m_end = 0.0;                   // their last frequency
    std::string m_settings;               // their window and zero padding
    // Last: ending it waits for spectra still computed, before the curves they go to.
    BackgroundAnalysis m_analysis;
};
