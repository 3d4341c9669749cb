#include "plot_voltage.h"

#include "ColumnReducedCurve.h"

#include "axisConfigFft.h"
#include "chLabelFft.h"
#include "legendTraces.h"
#include "plotContextMenu.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>

#include <cmath>

QString fftTrackerText(double x, double y, const QString &unit) {
    return QString::asprintf("%.3lf Hz", x) + ", " +
           QString::asprintf("%.5lf %s", y, unit.toLocal8Bit().constData());
}

QString markerReadoutText(const MarkerReading &marker1, const MarkerReading &marker2) {
    const MarkerReading &first = marker1.x < marker2.x ? marker1 : marker2;
    const MarkerReading &second = marker1.x < marker2.x ? marker2 : marker1;
    const auto hz = [](double v) { return QString::number(v, 'f', 1) + " Hz"; };
    const auto db = [](double v) { return QString::number(v, 'f', 1) + " dB"; };
    const auto caption = [](const QString &c) { return c.isEmpty() ? QString() : "[" + c + "] "; };
    // The one-pass arg() keeps a '%' inside a curve title from being taken for a place marker.
    return QString("Markers: (%1, %2%3), (%4, %5%6)  |  ")
               .arg(hz(first.x), db(first.y), caption(first.caption), hz(second.x), db(second.y),
                    caption(second.caption)) +
           QString("df = %1, dMagnitude = %3")
               .arg(hz(std::fabs(marker1.x - marker2.x)), db(std::fabs(first.y - second.y)));
}

int xLabelPrecision(double minX, double maxX, int current) {
    if (minX == maxX)
        return current;
    const double width = std::fabs(maxX - minX);
    if (width < 0.1 && maxX < 86400)
        return 6;
    if (width < 1.0)
        return 3;
    return 1;
}

int yLabelPrecision(double minY, double maxY) {
    return std::fabs(maxY - minY) < 1.0 ? 5 : 3;
}

void myXQwtScaleDraw::setPrecision(int precision) {
    m_precision = precision;
    invalidateCache();
}

QwtText myXQwtScaleDraw::label(double value) const {
    return QwtText(QString::number(value, 'f', m_precision));
}

void myYQwtScaleDraw::setPrecision(int precision) {
    m_precision = precision;
    invalidateCache();
}

QwtText myYQwtScaleDraw::label(double value) const {
    return QwtText(QString::number(value, 'f', m_precision).rightJustified(12, ' '));
}

QwtText myQwtPlotPickerFft::trackerTextF(const QPointF &pos) const {
    return QwtText(fftTrackerText(pos.x(), pos.y(), m_unit));
}

namespace {
// What the mouse and keys do on the plot; the what's-this button, then a click on the plot, shows it.
const char kPlotHelp[] =
    "<html><b>Amplitude spectrum</b><ul>"
    "<li>Ctrl + left click places marker 1, Ctrl + right click marker 2; hold Ctrl and drag to move them. "
    "With <i>Snap to Sample</i> they stand on the nearest point of a shown spectrum.</li>"
    "<li>Drag a rectangle with the left mouse button to zoom in. The middle button goes back one zoom step, "
    "Shift + middle button forward again; right click for the menu: <i>Reset Zoom</i> shows the whole plot, "
    "<i>Save Plot As...</i>.</li>"
    "<li>Click the magnitude axis or the frequency axis for its range.</li>"
    "<li>Space starts and stops the repetitive acquisition.</li></ul></html>";

const QColor canvasColour() {
    return QColor(Qt::darkBlue).darker(200).darker(200);
}

QwtText axisTitle(const QString &text) {
    QwtText title(text);
    title.setFont(QFont("arial", 9, QFont::Bold));
    return title;
}
} // namespace

plot_voltage::plot_voltage(QWidget *owner, const QString &xTitle, const QString &yTitle, int cardCount)
    : QWidget(owner), m_owner(owner), m_cardCount(cardCount > 0 ? cardCount : 1) {
    m_scale = logicalDpiX() / 96.0;
    if (owner)
        m_autoscale = owner->findChild<QAbstractButton *>("autoscaleButton", Qt::FindDirectChildrenOnly);

    buildPlot(xTitle, yTitle);

    m_tracker = new myQwtPlotPickerFft(m_plot->canvas());
    m_tracker->setTrackerPen(QPen(Qt::white));

    buildMarkers();

    m_zoomer = new QwtPlotZoomer(QwtPlot::xBottom, QwtPlot::yLeft, m_plot->canvas());
    m_zoomer->setRubberBandPen(QPen(Qt::white));
    m_zoomer->setTrackerMode(QwtPicker::AlwaysOff);
    connect(m_zoomer, &QwtPlotZoomer::zoomed, this, &plot_voltage::zoomed);
    m_contextMenu = new plotContextMenu(m_plot, m_zoomer, "spectrum");

    m_grid = new QwtPlotGrid;
    m_grid->enableXMin(true);
    const QPen gridPen(QColor(Qt::darkGray).darker(200), 0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
    m_grid->setMajorPen(gridPen);
    m_grid->setMinorPen(gridPen);
    m_grid->attach(m_plot);

    QLayout *legend = buildLegend();

    if (m_autoscale)
        connect(m_autoscale.data(), &QAbstractButton::toggled, this, &plot_voltage::autoScaleClicked);

    buildAxisDialogs();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buildControls());
    layout->addWidget(m_plot);
    layout->addLayout(legend);

    setAxisPrecision(0, 1, m_yLower, m_yUpper);
    markerMoved(QPoint(0, 0));
}

plot_voltage::~plot_voltage() {
    // Curves the legend hid are detached and so not the plot's to delete.
    for (QwtPlotCurve *curve : m_curves)
        delete curve;
    delete m_yDialog;
    delete m_xDialog;
}

void plot_voltage::buildPlot(const QString &xTitle, const QString &yTitle) {
    m_plot = new QwtPlot(this);
    m_plot->setMinimumHeight(int(100 * m_scale));
    m_plot->setFrameStyle(QFrame::NoFrame);
    m_plot->setCanvasBackground(canvasColour());
    m_plot->setWhatsThis(kPlotHelp);

    const QFont axisFont("courier", 8);
    m_plot->setAxisFont(QwtPlot::yLeft, axisFont);
    m_plot->setAxisFont(QwtPlot::xBottom, axisFont);
    m_plot->setAxisTitle(QwtPlot::xBottom, axisTitle(xTitle));
    m_plot->setAxisTitle(QwtPlot::yLeft, axisTitle(yTitle));
    m_plot->setAxisMaxMajor(QwtPlot::xBottom, 5);
    m_plot->setAxisScale(QwtPlot::xBottom, 0, 1);
    m_plot->setAxisScale(QwtPlot::yLeft, -300, 30);

    m_yDraw = new myYQwtScaleDraw(1);
    m_xDraw = new myXQwtScaleDraw(3);
    m_xDraw->setLabelAlignment(Qt::AlignLeft | Qt::AlignBottom);
    const double tick = 8 * m_scale;
    m_xDraw->setTickLength(QwtScaleDiv::MajorTick, tick);
    m_yDraw->setTickLength(QwtScaleDiv::MajorTick, tick);
    m_plot->setAxisScaleDraw(QwtPlot::yLeft, m_yDraw);
    m_plot->setAxisScaleDraw(QwtPlot::xBottom, m_xDraw);

    // Floating: the frequency axis ends at the last bin, not at the next round number.
    auto *xEngine = new QwtLinearScaleEngine(10);
    xEngine->setAttribute(QwtScaleEngine::Floating, true);
    m_plot->setAxisScaleEngine(QwtPlot::xBottom, xEngine);
    auto *yEngine = new QwtLinearScaleEngine(10);
    yEngine->setMargins(0.1, 0.1);
    m_plot->setAxisScaleEngine(QwtPlot::yLeft, yEngine);
}

void plot_voltage::buildMarkers() {
    const int cross = int(9 * m_scale);
    for (int m = 0; m < 2; ++m) {
        auto *picker = new QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::NoRubberBand,
                                         QwtPicker::AlwaysOff, m_plot->canvas());
        picker->setMousePattern(QwtEventPattern::MouseSelect1, m == 0 ? Qt::LeftButton : Qt::RightButton,
                                Qt::ControlModifier);
        picker->setRubberBandPen(QPen(Qt::white));
        picker->setTrackerPen(QPen(Qt::white));
        picker->setStateMachine(new QwtPickerDragPointMachine);
        // The press places the marker too, so a plain Ctrl-click without dragging sets it.
        connect(picker, &QwtPicker::appended, this, &plot_voltage::markerMoved);
        connect(picker, &QwtPicker::moved, this, &plot_voltage::markerMoved);
        m_markerPickers[m] = picker;

        auto *marker = new QwtPlotMarker;
        marker->setLabelAlignment(Qt::AlignRight | Qt::AlignBottom);
        marker->setLineStyle(QwtPlotMarker::VLine);
        marker->setLinePen(QPen(Qt::white, 0, Qt::DashDotLine, Qt::SquareCap, Qt::BevelJoin));
        marker->setSymbol(new QwtSymbol(QwtSymbol::XCross, QBrush(), QPen(Qt::white), QSize(cross, cross)));
        marker->attach(m_plot);
        m_markers[m] = marker;
    }
}

QLayout *plot_voltage::buildLegend() {
    auto *traces = new legendTraces(this);
    connect(traces, &legendTraces::changed, this, &plot_voltage::toggleChannels);
    auto *grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(int(2 * m_scale));
    grid->setAlignment(Qt::AlignLeft);
    for (int c = 0; c < m_cardCount; ++c) {
        grid->addWidget(new QLabel(QString("Function Card #%1 ").arg(c + 1), this), c, 0);
        grid->addWidget(new QLabel(" Channels:", this), c, 1);
        auto *frame = new QFrame(this);
        auto *channels = new QGridLayout(frame);
        channels->setHorizontalSpacing(7);
        channels->setContentsMargins(2, 2, 2, 2);
        for (int k = 0; k < 8; ++k) {
            auto *label = new chLabelFft(c, k, frame);
            channels->addWidget(label, 0, k);
            connect(label, &chLabelFft::clicked, this, &plot_voltage::toggleChannels);
            traces->add(label);
            m_labels.append(label);

            auto *curve = new ColumnReducedCurve(QString("Ch %1").arg(k + 1));
            const QColor colour = label->colour();
            curve->setPen(QPen(colour, 1, Qt::SolidLine));
            curve->setSymbol(new QwtSymbol(QwtSymbol::Ellipse, QBrush(colour), QPen(colour), QSize(0, 0)));
            // Drawn once its label is selected: the labels start unselected, and a curve shown
            // beside a label that says it is off would be hidden by the first click elsewhere.
            m_curves.append(curve);
        }
        grid->addWidget(frame, c, 2);

        auto *all = new QPushButton("All", this);
        all->setToolTip("Show all channels");
        connect(all, &QPushButton::clicked, this, [this, c] { selectAll(c); });
        grid->addWidget(all, c, 3);
        auto *none = new QPushButton("None", this);
        none->setToolTip("Hide all channels");
        connect(none, &QPushButton::clicked, this, [this, c] { deselectAll(c); });
        grid->addWidget(none, c, 4);
    }
    return grid;
}

QLayout *plot_voltage::buildControls() {
    auto *row = new QHBoxLayout;
    row->addStretch();
    m_readout = new QLabel(this);
    m_readout->setToolTip("In order to set/move the markers hold Ctrl key and click the right and left mouse "
                          "buttons.");
    // Room for the widest read-out from the start: two markers snapped to curves (with their
    // titles) at six-digit frequencies and three-digit levels. The window takes its width when
    // it opens and would otherwise cut the line once markers are set.
    const MarkerReading first{100000.0, -250.0, "Ch 8"}, second{107999.9, -100.0, "Ch 8"};
    m_readout->setMinimumWidth(m_readout->fontMetrics().horizontalAdvance(markerReadoutText(first, second)));
    row->addWidget(m_readout);
    row->addSpacing(int(25 * m_scale));
    m_snap = new QCheckBox("Snap to Sample", this);
    m_snap->setChecked(true);
    m_snap->setToolTip("Snaps the marker to the nearest sample (any channel).");
    row->addWidget(m_snap);
    row->addWidget(new QLabel("Symbols:", this));
    m_symbols = new QComboBox(this);
    m_symbols->addItem("None", 0);
    m_symbols->addItem("Small", 2);
    m_symbols->addItem("Medium", 4);
    m_symbols->addItem("Large", 8);
    m_symbols->setToolTip("Sets size of the sample symbols on the plot.");
    connect(m_symbols, QOverload<int>::of(&QComboBox::activated), this, &plot_voltage::symbolSizeSlot);
    row->addWidget(m_symbols);
    row->addStretch();
    return row;
}

void plot_voltage::buildAxisDialogs() {
    QwtScaleWidget *yAxis = m_plot->axisWidget(QwtPlot::yLeft);
    QwtScaleWidget *xAxis = m_plot->axisWidget(QwtPlot::xBottom);
    yAxis->setCursor(Qt::PointingHandCursor);
    xAxis->setCursor(Qt::PointingHandCursor);
    yAxis->setToolTip("Click to edit the range and displayed units.");
    xAxis->setToolTip("Click to edit the range.");
    yAxis->installEventFilter(this);
    xAxis->installEventFilter(this);

    m_yDialog = new axisConfigFft(m_owner, this);
    m_yDialog->rangeGroup()->setCheckable(true);
    for (QDoubleSpinBox *box : {m_yDialog->lowerLimit(), m_yDialog->upperLimit()}) {
        box->setDecimals(0);
        box->setRange(-300, 30);
        box->setSuffix(" dB ");
        box->setSingleStep(1);
    }
    m_xDialog = new axisConfigFft(m_owner, this);
    for (QDoubleSpinBox *box : {m_xDialog->lowerLimit(), m_xDialog->upperLimit()}) {
        box->setDecimals(0);
        box->setRange(0, 1);
        box->setSuffix(" Hz ");
        box->setSingleStep(1);
    }
    // The limits start where the scales start; the dialogs show them.
    m_yDialog->lowerLimit()->setValue(m_yLower);
    m_yDialog->upperLimit()->setValue(m_yUpper);
    m_xDialog->lowerLimit()->setValue(m_xLower);
    m_xDialog->upperLimit()->setValue(m_xUpper);
    m_yLower = m_yDialog->lowerLimit()->value();
    m_yUpper = m_yDialog->upperLimit()->value();
    m_xLower = m_xDialog->lowerLimit()->value();
    m_xUpper = m_xDialog->upperLimit()->value();
}

bool plot_voltage::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == m_plot->axisWidget(QwtPlot::yLeft))
            editYAxis();
        else if (watched == m_plot->axisWidget(QwtPlot::xBottom))
            editXAxis();
    }
    return QWidget::eventFilter(watched, event);
}

void plot_voltage::editYAxis() {
    const QwtScaleDiv &div = m_plot->axisScaleDiv(QwtPlot::yLeft);
    m_yDialog->lowerLimit()->setValue(div.lowerBound());
    m_yDialog->upperLimit()->setValue(div.upperBound());
    m_yDialog->rangeGroup()->setChecked(!autoscaleOn());
    if (m_yDialog->exec() == QDialog::Accepted) {
        const bool custom = m_yDialog->rangeGroup()->isChecked();
        setAutoscale(!custom);
        if (custom) {
            m_yLower = m_yDialog->lowerLimit()->value();
            m_yUpper = m_yDialog->upperLimit()->value();
        }
        m_plot->setAxisScale(QwtPlot::yLeft, m_yLower, m_yUpper);
        m_tracker->setYRange(m_yLower, m_yUpper);
        setAxisPrecision(0, 0, m_yLower, m_yUpper);
    }
    m_plot->replot();
}

void plot_voltage::editXAxis() {
    const QwtScaleDiv &div = m_plot->axisScaleDiv(QwtPlot::xBottom);
    m_xDialog->lowerLimit()->setValue(div.lowerBound());
    m_xDialog->upperLimit()->setValue(div.upperBound());
    if (m_xDialog->exec() == QDialog::Accepted) {
        setAutoscale(false);
        m_xLower = m_xDialog->lowerLimit()->value();
        m_xUpper = m_xDialog->upperLimit()->value();
        m_plot->setAxisScale(QwtPlot::xBottom, m_xLower, m_xUpper);
        m_tracker->setXRange(m_xLower, m_xUpper);
    }
    m_plot->replot();
}

bool plot_voltage::autoscaleOn() const {
    return m_autoscale && m_autoscale->isChecked();
}

void plot_voltage::setAutoscale(bool on) {
    if (m_autoscale)
        m_autoscale->setChecked(on);
}

void plot_voltage::copyBoundsToTracker() {
    const QwtScaleDiv &x = m_plot->axisScaleDiv(QwtPlot::xBottom);
    const QwtScaleDiv &y = m_plot->axisScaleDiv(QwtPlot::yLeft);
    m_tracker->setXRange(x.lowerBound(), x.upperBound());
    m_tracker->setYRange(y.lowerBound(), y.upperBound());
}

void plot_voltage::scaleUpdate() {
    const QwtScaleDiv &x = m_plot->axisScaleDiv(QwtPlot::xBottom);
    const QwtScaleDiv &y = m_plot->axisScaleDiv(QwtPlot::yLeft);
    m_xLower = x.lowerBound();
    m_xUpper = x.upperBound();
    m_yLower = y.lowerBound();
    m_yUpper = y.upperBound();
    m_tracker->setXRange(m_xLower, m_xUpper);
    m_tracker->setYRange(m_yLower, m_yUpper);
    setAxisPrecision(m_xLower, m_xUpper, m_yLower, m_yUpper);
}

void plot_voltage::updateZoomBase() {
    m_zoomer->setZoomBase(QRectF(QPointF(m_xLower, m_yLower), QPointF(m_xUpper, m_yUpper)));
    setAxisPrecision(m_xLower, m_xUpper, m_yLower, m_yUpper);
}

void plot_voltage::zoomed(QRectF) {
    setAutoscale(false);
    copyBoundsToTracker();
    setAxisPrecision(m_tracker->xMin(), m_tracker->xMax(), m_tracker->yMin(), m_tracker->yMax());
    m_plot->replot();
}

void plot_voltage::setAxisPrecision(double minX, double maxX, double minY, double maxY) {
    m_xDraw->setPrecision(xLabelPrecision(minX, maxX, m_xDraw->precision()));
    m_yDraw->setPrecision(yLabelPrecision(minY, maxY));
    // The label widths change with the decimals: the axes have to be laid out again.
    m_plot->axisWidget(QwtPlot::xBottom)->update();
    m_plot->axisWidget(QwtPlot::yLeft)->update();
    m_plot->updateLayout();
}

void plot_voltage::setSelection(int fc, bool selected) {
    if (fc < 0 || fc >= m_cardCount)
        return;
    for (int i = fc * 8; i < fc * 8 + 8; ++i) {
        chLabelFft *label = m_labels[i];
        label->setSelected(selected);
        emit label->clicked();
    }
}

void plot_voltage::selectAll(int fc) {
    setSelection(fc, true);
}

void plot_voltage::deselectAll(int fc) {
    setSelection(fc, false);
}

void plot_voltage::symbolSizeSlot() {
    const int size = int(m_symbols->currentData().toInt() * m_scale);
    for (QwtPlotCurve *curve : m_curves) {
        // The symbol is const through the curve's interface; a copy keeps its colours.
        const QwtSymbol *old = curve->symbol();
        auto *symbol = old ? new QwtSymbol(old->style(), old->brush(), old->pen(), QSize(size, size))
                           : new QwtSymbol(QwtSymbol::Ellipse, QBrush(), curve->pen(), QSize(size, size));
        curve->setSymbol(symbol);
    }
    m_plot->replot();
}

void plot_voltage::markerMoved(QPoint actualMousePosition) {
    const int m = sender() == m_markerPickers[0] ? 0 : 1;

    if (actualMousePosition.x() < 0) {
        // New spectra: snapped markers stay on their samples, which now have new magnitudes.
        if (m_snap->isChecked()) {
            for (int i = 0; i < 2; ++i) {
                const int c = m_markerCurve[i];
                if (c < 0 || c >= m_curves.size())
                    continue;
                const QwtPlotCurve *curve = m_curves[c];
                if (m_markerSample[i] < 0 || size_t(m_markerSample[i]) >= curve->dataSize())
                    continue;
                m_markers[i]->setValue(curve->sample(m_markerSample[i]));
            }
            // The caller has drawn the new spectra already; the markers follow them on screen.
            m_plot->replot();
        }
    } else if (!m_snap->isChecked()) {
        m_markers[m]->setValue(m_plot->invTransform(QwtPlot::xBottom, actualMousePosition.x()),
                               m_plot->invTransform(QwtPlot::yLeft, actualMousePosition.y()));
        m_markerCaption[m].clear();
        m_plot->replot();
    } else {
        int bestCurve = -1;
        int bestSample = -1;
        double bestDistance = 0.0;
        for (int c = 0; c < m_curves.size(); ++c) {
            double distance = 0.0;
            // Curves the legend hides are detached and answer -1.
            const int sample = m_curves[c]->closestPoint(actualMousePosition, &distance);
            if (sample >= 0 && (bestCurve < 0 || distance < bestDistance)) {
                bestCurve = c;
                bestSample = sample;
                bestDistance = distance;
            }
        }
        if (bestCurve >= 0) {
            m_markers[m]->setValue(m_curves[bestCurve]->sample(bestSample));
            m_markerCaption[m] = m_curves[bestCurve]->title().text();
            m_markerCurve[m] = bestCurve;
            m_markerSample[m] = bestSample;
            m_plot->replot();
        }
    }
    updateReadout();
}

void plot_voltage::updateReadout() {
    MarkerReading r[2];
    for (int i = 0; i < 2; ++i) {
        r[i].x = m_markers[i]->xValue();
        r[i].y = m_markers[i]->yValue();
        r[i].caption = m_markerCaption[i];
    }
    m_readout->setText(markerReadoutText(r[0], r[1]));
}
