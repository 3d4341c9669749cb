#include "WaveformPlot.h"

#include "ColumnReducedCurve.h"
#include "CursorReadout.h"
#include "WaveformAxes.h"
#include "WaveformControls.h"
#include "chLabel.h"
#include "cursorReadoutView.h"
#include "myQwtPlotPicker.h"
#include "plotContextMenu.h"
#include "waveformCursors.h"

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>
#include <qwt_symbol.h>

#include <QMenu>

#include <algorithm>

namespace {

constexpr int kChannels = 8;
// The plot's height on a screen that has room; a short screen (768 pixels, or 720 scaled) may
// take it down to the smaller one so that the legend rows and the controls stay in the window.
constexpr int kPlotHeight = 400;
constexpr int kSmallestPlotHeight = 150;
constexpr double kFullScale = 10.24;

// What the mouse and keys do on the plot; the what's-this button, then a click on the plot, shows it.
const char kPlotHelp[] =
    "<html><b>Waveforms</b><ul>"
    "<li>Drag a rectangle with the left mouse button to zoom in. The middle button goes back one zoom step, "
    "Shift + middle button forward again; right click for the menu: <i>Reset Zoom</i> shows the whole plot, "
    "<i>Save Plot As...</i>, <i>Cursors</i>.</li>"
    "<li>Click the voltage axis for its range and a custom unit, the time axis for its range.</li>"
    "<li>Cursors (View &gt; Cursors, Ctrl+K): drag a cursor line, or Ctrl + left click places cursor 1 and "
    "Ctrl + right click cursor 2.</li>"
    "<li>Space starts and stops the repetitive acquisition.</li></ul></html>";

} // namespace

WaveformPlot::WaveformPlot(QWidget *view) : QObject(view) {
    buildPlot(view);
    buildItems();
    m_cursorView = new cursorReadoutView(view);
    m_cursorView->hide();
}

void WaveformPlot::buildPlot(QWidget *view) {
    m_plot = new QwtPlot(view);
    m_plot->setMinimumHeight(kPlotHeight);
    m_plot->setFrameStyle(QFrame::NoFrame);
    const QFont axisFont("courier", 8);
    m_plot->setAxisFont(QwtPlot::yLeft, axisFont);
    m_plot->setAxisFont(QwtPlot::xBottom, axisFont);
    for (auto [axis, text] : {std::pair{QwtPlot::yLeft, "Volts"}, std::pair{QwtPlot::xBottom, "Seconds"}}) {
        QwtText title(text);
        title.setFont(WaveformAxes::titleFont());
        m_plot->setAxisTitle(axis, title);
    }
    m_plot->setAxisMaxMajor(QwtPlot::xBottom, 5);
    m_plot->setAxisScale(QwtPlot::xBottom, 0.0, 1.0);
    m_plot->setAxisScale(QwtPlot::yLeft, -kFullScale, kFullScale);
    m_plot->setCanvasBackground(QColor(Qt::darkBlue).darker(200).darker(200));
    m_plot->setWhatsThis(kPlotHelp);

    auto *grid = new QwtPlotGrid;
    grid->enableXMin(true);
    grid->setMajorPen(QPen(Qt::darkGray, 0, Qt::DotLine));
    grid->setMinorPen(QPen(QColor(Qt::darkGray).darker(150), 0, Qt::DotLine));
    grid->attach(m_plot);
}

void WaveformPlot::buildItems() {
    m_picker = new myQwtPlotPicker(m_plot->canvas());
    m_trigger = new QwtPlotMarker;
    m_trigger->setLineStyle(QwtPlotMarker::VLine);
    m_trigger->setLinePen(QPen(Qt::red, 0, Qt::DashDotLine));
    m_trigger->setSymbol(new QwtSymbol(QwtSymbol::XCross, QBrush(), QPen(Qt::red), QSize(9, 9)));
    // Attached from the start, so that the plot owns it even when no channel trigger shows it.
    m_trigger->hide();
    m_trigger->attach(m_plot);
    m_zoomer = new QwtPlotZoomer(m_plot->canvas());
    m_zoomer->setRubberBandPen(QPen(Qt::white));
    m_zoomer->setTrackerMode(QwtPicker::AlwaysOff);
    connect(m_zoomer, &QwtPlotZoomer::zoomed, this, [this] {
        const QwtScaleDiv &x = m_plot->axisScaleDiv(QwtPlot::xBottom);
        const QwtScaleDiv &y = m_plot->axisScaleDiv(QwtPlot::yLeft);
        m_picker->setXRange(x.lowerBound(), x.upperBound());
        m_picker->setYRange(y.lowerBound(), y.upperBound());
        emit readoutChanged();
    });
    m_contextMenu = new plotContextMenu(m_plot, m_zoomer, "waveforms");
    m_cursors = new waveformCursors(m_plot);
    m_contextMenu->menu()->addSeparator();
    m_contextMenu->menu()->addAction(m_cursors->action());
    connect(m_cursors, &waveformCursors::changed, this, &WaveformPlot::readoutChanged);
}

void WaveformPlot::addCurves(const WaveformControls &legend) {
    for (int i = 0; i < legend.legendCount(); ++i) {
        const QColor colour = legend.legend(i)->colour();
        auto *curve = new ColumnReducedCurve(QString("Ch %1").arg(i % kChannels + 1));
        curve->setPen(QPen(colour, 1));
        curve->setSymbol(new QwtSymbol(QwtSymbol::NoSymbol, QBrush(colour), QPen(colour), QSize(0, 0)));
        curve->setPaintAttribute(QwtPlotCurve::ClipPolygons, true);
        curve->setPaintAttribute(QwtPlotCurve::FilterPoints, true); // symbols on one pixel are drawn once
        curve->setRenderHint(QwtPlotItem::RenderAntialiased, false);
        curve->attach(m_plot);
        m_curves.push_back(curve);
    }
}

int WaveformPlot::yieldHeight(int pixels) {
    const int height = std::max(kSmallestPlotHeight, kPlotHeight - std::max(pixels, 0));
    m_plot->setMinimumHeight(height);
    return kPlotHeight - height;
}

void WaveformPlot::setTimeRange(double t0, double t1) {
    m_plot->setAxisAutoScale(QwtPlot::xBottom, false);
    m_plot->setAxisScale(QwtPlot::xBottom, t0, t1);
    m_plot->updateAxes();
    const QwtScaleDiv &y = m_plot->axisScaleDiv(QwtPlot::yLeft);
    m_picker->setXRange(t0, t1);
    m_picker->setYRange(y.lowerBound(), y.upperBound());
}

void WaveformPlot::setSymbolSize(int size) {
    for (QwtPlotCurve *curve : m_curves) {
        const QColor colour = curve->pen().color();
        // A symbol of no size draws nothing; leaving it out spares mapping every sample.
        auto *symbol = new QwtSymbol(size > 0 ? QwtSymbol::Ellipse : QwtSymbol::NoSymbol, QBrush(colour),
                                     QPen(colour), QSize(size, size));
        curve->setSymbol(symbol);
    }
    m_plot->replot();
}

void WaveformPlot::updateCursorReadout(int scans) {
    m_cursorView->setVisible(m_cursors->isOn());
    if (!m_cursors->isOn())
        return;
    CursorReadout readout;
    readout.t1 = m_cursors->time(0);
    readout.t2 = m_cursors->time(1);
    readout.timeSpan = m_plot->axisScaleDiv(QwtPlot::xBottom).range();
    readout.valueSpan = m_plot->axisScaleDiv(QwtPlot::yLeft).range();
    readout.unit = m_picker->unitName().toStdString();
    const int first = m_cursors->index(0), second = m_cursors->index(1);
    for (int i = 0; i < m_curves.size(); ++i) {
        const QwtPlotCurve *curve = m_curves[i];
        if (!curve->isVisible() || first < 0 || second < 0 || curve->dataSize() != size_t(scans))
            continue;
        const std::string name =
            "FC #" + std::to_string(i / kChannels + 1) + " Ch " + std::to_string(i % kChannels + 1);
        readout.channels.push_back({name, curve->sample(first).y(), curve->sample(second).y()});
    }
    m_cursorView->show(readout);
}
