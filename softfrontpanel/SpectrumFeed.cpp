#include "SpectrumFeed.h"

#include "BlockSpectra.h"
#include "EnvelopedData.h"
#include "ShownCurves.h"
#include "axisConfigFft.h"
#include "chLabelFft.h"
#include "fftWindow.h"
#include "plot_voltage.h"

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_symbol.h>

#include <QAbstractButton>
#include <QDoubleSpinBox>

#include <memory>

namespace {

constexpr int kChannels = 8;

} // namespace

SpectrumFeed::SpectrumFeed(QObject *window, plot_voltage *spectrum, QAbstractButton *autoscale)
    : m_spectrum(spectrum), m_autoscale(autoscale), m_analysis(window) {}

SpectrumFeed::~SpectrumFeed() = default;

void SpectrumFeed::setWindow(int windowCode, int scans) {
    m_window.assign(static_cast<size_t>(scans), 0.0);
    fftWindow(windowCode, scans, m_window.data());
}

void SpectrumFeed::start(const double *block, int scans, double rate, const ChannelSelection &channels,
                         int zeroPadding, const std::string &settings) {
    auto job = std::make_shared<BlockSpectra>();
    job->N = scans;
    job->fs = rate;
    job->zp = zeroPadding;
    job->window = m_window;
    // The settings stay locked while blocks come, so those of the last job are the ones shown.
    m_settings = settings;
    for (int c = 0; c < channels.cards(); ++c)
        for (int k = 0; k < kChannels; ++k)
            if (channels.isEnabled(c, k))
                job->curveOf.push_back(c * kChannels + k);
    job->samples.assign(block, block + job->curveOf.size() * static_cast<size_t>(scans));
    m_analysis.start(job, [this](BlockSpectra &done) { show(done); });
}

void SpectrumFeed::show(BlockSpectra &done) {
    // The curves of channels outside this block may point into spectra that are about to go.
    for (QwtPlotCurve *curve : m_spectrum->curveList())
        curve->setSamples(QVector<QPointF>());
    m_spectra = std::move(done.curves);
    for (size_t e = 0; e < m_spectra.size(); ++e) {
        const SpectrumCurve &points = m_spectra[e];
        if (points.frequency.empty())
            continue;
        const int c = done.curveOf[e];
        QwtPlotCurve *curve = m_spectrum->curveList()[c];
        curve->setData(new EnvelopedData(points.frequency.data(), points.level.data(), points.level.size(),
                                         std::move(done.envelopes[e])));
        curve->setPen(QPen(m_spectrum->labelList()[c]->colour(), 1, Qt::SolidLine));
    }
    m_end = done.lastFrequency();
    showScales(m_end);
}

void SpectrumFeed::refreshScales() {
    if (!m_spectra.empty())
        showScales(m_end);
}

void SpectrumFeed::showScales(double fEnd) {
    QwtPlot *plot = m_spectrum->plot();
    if (m_autoscale && m_autoscale->isChecked()) {
        plot->setAxisScale(QwtPlot::xBottom, 0.0, fEnd);
        plot->setAxisAutoScale(QwtPlot::yLeft, true);
    } else {
        plot->setAxisAutoScale(QwtPlot::yLeft, false);
    }
    m_spectrum->xAxisDialog()->lowerLimit()->setRange(0.0, fEnd);
    m_spectrum->xAxisDialog()->upperLimit()->setRange(0.0, fEnd);
    plot->replot();
    m_spectrum->scaleUpdate();
    m_spectrum->updateZoomBase();
    plot->replot();
    m_spectrum->markerMoved(QPoint(-1, -1));
}

void SpectrumFeed::toggleChannels() {
    for (int i = 0; i < m_spectrum->curveList().size(); ++i) {
        chLabelFft *label = m_spectrum->labelList()[i];
        QwtPlotCurve *curve = m_spectrum->curveList()[i];
        if (label->isChannelEnabled() && label->isSelected())
            curve->attach(m_spectrum->plot());
        else
            curve->detach();
        if (const QwtSymbol *symbol = curve->symbol())
            curve->setSymbol(new QwtSymbol(symbol->style(), symbol->brush(), label->pen(), symbol->size()));
    }
    m_spectrum->plot()->replot();
}

CurveTable SpectrumFeed::table(bool withSamples, double rate, int scans) const {
    CurveTable table = ShownCurves::table(m_spectrum->curveList(), "Frequency (Hz)", "dB", withSamples);
    table.settings =
        "Sampling rate: " + CurveTable::number(rate) + " Hz, N: " + std::to_string(scans) + m_settings;
    return table;
}
