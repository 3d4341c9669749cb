// How long the waveform view takes to show a block: updatePlot() (which replots) and the
// paint of the plot that follows, for 8 channels x 131072 scans and 2 channels x 1024 scans of one
// card in demo mode, against the 50 ms polling interval in which the view must be done before
// the next block is due. A second baseline draws the same 8 x 131072 picture with plain
// QwtPlotCurves (Qwt's own point filtering and clipping) in a fresh QwtPlot with a canvas of the
// same size, so the effect of the view's reduction to pixel columns shows as a ratio, and
// compares the two pictures pixel by pixel. Two blocks: sines of about 10 samples a period (the
// default simulated 1 kHz at the default 10 kHz) and sines of a few periods per block (demo).
//
// Needs a real X server, because painting into a window is part of what is measured: without
// DISPLAY it starts itself again under xvfb-run. It reports; it never fails.
#include "BenchDisplay.h"
#include "kq7150_fc.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"
#include "kq7150fp_chCfg.h"

#include "ScriptedBoxes.h"

#include <qwt_painter.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_scale_div.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWindow>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr int kChannels = 8;
constexpr int kRuns = 20;  // median of, against the noise of a shared machine
constexpr int kWarmUp = 3; // first paints fill caches and fonts
constexpr double kPollMs = kq7150fp_Waveform::kPollMs;

// Counts the paints a widget receives, so a measurement can show the drawing happened in it.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Timing {
    double medianMs = 0.0;
    bool paintedInside = true; // every timed run painted the canvas, from a fresh backing store
};

// Median over kRuns of draw(); events that queue up between runs are handled outside the time.
Timing measure(QwtPlot *plot, const std::function<void()> &draw) {
    auto *canvas = qobject_cast<QwtPlotCanvas *>(plot->canvas());
    PaintCounter counter;
    canvas->installEventFilter(&counter);
    Timing t;
    std::vector<double> ms;
    for (int r = 0; r < kWarmUp + kRuns; ++r) {
        QApplication::processEvents();
        const int before = counter.paints;
        QElapsedTimer clock;
        clock.start();
        draw();
        const double elapsed = clock.nsecsElapsed() / 1e6;
        const QPixmap *store = canvas->backingStore();
        if (counter.paints == before ||
            (canvas->testPaintAttribute(QwtPlotCanvas::BackingStore) && (!store || store->isNull())))
            t.paintedInside = false;
        if (r >= kWarmUp)
            ms.push_back(elapsed);
    }
    canvas->removeEventFilter(&counter);
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    t.medianMs = ms[ms.size() / 2];
    return t;
}

// The canvas as it is on the screen.
QImage picture(QwtPlot *plot) {
    QApplication::processEvents();
    return plot->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How two canvas pictures differ. The curves' pens are slightly transparent, so a pixel that
// several segments cross is more saturated than one crossed once: shape counts pixels lit in
// one picture and background in the other, shade pixels lit in both in other colours.
struct PixelDifference {
    long shape = 0, shade = 0, lit = 0;
    int step = 0; // the largest difference of one colour component among the shade differences
    std::string text() const {
        if (lit < 0)
            return "pictures of different sizes";
        char s[160];
        std::snprintf(s, sizeof s, "%ld of %ld lit pixels differ in shape, %ld in shade (by up to %d of 255)",
                      shape, lit, shade, step);
        return s;
    }
};

PixelDifference difference(const QImage &a, const QImage &b, QRgb background) {
    PixelDifference d;
    if (a.size() != b.size()) {
        d.lit = -1;
        return d;
    }
    for (int y = 0; y < a.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const bool litA = p[x] != background, litB = q[x] != background;
            d.lit += litA || litB;
            if (litA != litB)
                ++d.shape;
            else if (p[x] != q[x]) {
                ++d.shade;
                d.step =
                    std::max({d.step, std::abs(qRed(p[x]) - qRed(q[x])),
                              std::abs(qGreen(p[x]) - qGreen(q[x])), std::abs(qBlue(p[x]) - qBlue(q[x]))});
            }
        }
    }
    return d;
}

// Channel k of the card; dense: about 10 samples a period at the default 10 kHz (the default
// simulated signal of 1 kHz), so each pixel column holds a full swing; slow: a few periods per
// block, like the demo's sines.
void fillSines(double *data, int channels, int scans, bool dense) {
    for (int k = 0; k < channels; ++k) {
        const double amplitude = 1.0 + 0.5 * k;
        const double cycles = dense ? (1000.0 + 137.31 * k) / 10000.0 : 1.2 * (k + 1) / scans;
        double *block = data + static_cast<long>(k) * scans;
        for (int s = 0; s < scans; ++s)
            block[s] = 0.1 * k + amplitude * std::sin(kTwoPi * cycles * s + 0.3 * k);
    }
}

// A front panel in demo mode with one card, as a person gets it by choosing "Run In Demo Mode".
struct Panel {
    ScriptedBoxes boxes{{"Run In Demo Mode"}};
    kq7150_fc descriptor;
    std::unique_ptr<kq7150fp_App> app;

    Panel() {
        app = std::make_unique<kq7150fp_App>(descriptor, 1, false);
        waitUntilExposed(app.get());
    }

    // Enables channels 1..channels, selects the length and starts once, so the view has its
    // scan count, masks and time axis; its polling timer is stopped, the block is ours.
    void prepare(int channels, int scans) {
        for (int k = 0; k < kChannels; ++k)
            app->channel(0, k)->enableBox()->setChecked(k < channels);
        QComboBox *length = app->daq->lengthChoice;
        int index = length->findData(scans);
        if (index < 0) {
            length->addItem(QString::number(scans), scans);
            index = length->count() - 1;
        }
        length->setCurrentIndex(index);
        kq7150fp_Waveform *view = app->waveform;
        view->startDAQ();
        view->refreshTimer()->stop();
        // The x axis follows the block, as after a polled block.
        view->plot()->setAxisScale(QwtPlot::xBottom, view->timeAxis()[0], view->timeAxis()[scans - 1]);
        QApplication::processEvents();
    }
};

// A plot like the view's (background, grid, axis fonts and titles) with a canvas of the same
// size, one curve per channel drawing from the view's buffers.
struct PlainPlot {
    std::unique_ptr<QwtPlot> plot;
    std::vector<QwtPlotCurve *> curves;
    kq7150fp_Waveform *view;

    PlainPlot(kq7150fp_Waveform *v, int channels) : view(v) {
        QwtPlot *model = view->plot();
        plot = std::make_unique<QwtPlot>();
        plot->setFrameStyle(model->frameStyle());
        plot->setCanvasBackground(model->canvasBackground());
        for (int axis : {QwtPlot::yLeft, QwtPlot::xBottom}) {
            plot->setAxisFont(axis, model->axisFont(axis));
            plot->setAxisTitle(axis, model->axisTitle(axis));
            plot->setAxisMaxMajor(axis, model->axisMaxMajor(axis));
        }
        auto *grid = new QwtPlotGrid;
        grid->enableXMin(true);
        grid->setMajorPen(QPen(Qt::darkGray, 0, Qt::DotLine));
        grid->setMinorPen(QPen(QColor(Qt::darkGray).darker(150), 0, Qt::DotLine));
        grid->attach(plot.get());
        for (int k = 0; k < channels; ++k) {
            QwtPlotCurve *curve = new QwtPlotCurve;
            curve->setPen(view->curve(0, k)->pen());
            curve->setRawSamples(view->timeAxis(), view->data() + static_cast<long>(k) * view->scans(),
                                 view->scans());
            curve->attach(plot.get());
            curves.push_back(curve);
        }
        followView();
        waitUntilExposed(plot.get());
        followView();
    }

    // The view's scales and canvas size, after the view drew its block.
    void followView() {
        QwtPlot *model = view->plot();
        for (int axis : {QwtPlot::yLeft, QwtPlot::xBottom})
            plot->setAxisScaleDiv(axis, model->axisScaleDiv(axis));
        plot->resize(model->size());
        plot->replot();
        QApplication::processEvents();
        const QSize gap = model->canvas()->size() - plot->canvas()->size();
        plot->resize(plot->size() + gap);
        QApplication::processEvents();
    }

    void setAttributes(bool clip, bool filter, bool antialiased) {
        for (QwtPlotCurve *c : curves) {
            c->setPaintAttribute(QwtPlotCurve::ClipPolygons, clip);
            c->setPaintAttribute(QwtPlotCurve::FilterPoints, filter);
            c->setRenderHint(QwtPlotItem::RenderAntialiased, antialiased);
        }
    }

    void draw() {
        plot->replot();
        plot->repaint();
    }
};

void printRatio(const std::string &what, const Timing &t, double baselineMs, const char *baseline) {
    std::printf("%s: %.1f ms = %.2f of the %s%s\n", what.c_str(), t.medianMs, t.medianMs / baselineMs,
                baseline, t.paintedInside ? "" : "  [WARNING: a run did not paint inside the measured time]");
}

const char kPoll[] = "50 ms polling interval";
const char kPlain[] = "plain QwtPlotCurve drawing (Qwt's own FilterPoints and ClipPolygons)";

// Draws the block in the view's buffers with plain curves and compares the picture with the
// view's: the reduction to pixel columns must light the same pixels.
void compareWithPlainCurves(kq7150fp_Waveform *view, const QImage &viewPicture, const char *data) {
    const double viewMs = measure(view->plot(), [view] {
                              view->updatePlot();
                              view->plot()->repaint();
                          }).medianMs;
    const QRgb background = view->plot()->canvasBackground().color().rgb();
    PlainPlot plain(view, 8);
    plain.setAttributes(true, true, false);
    const Timing t = measure(plain.plot.get(), [&] { plain.draw(); });
    std::printf("baseline %s, 8 x 131072 (%s): %.1f ms = %.2f of the %s; against the view's picture %s%s\n",
                kPlain, data, t.medianMs, t.medianMs / kPollMs, kPoll,
                difference(picture(plain.plot.get()), viewPicture, background).text().c_str(),
                t.paintedInside ? "" : "  [WARNING: a run did not paint inside the measured time]");
    std::printf("  the view = %.2f of the %s\n", viewMs / t.medianMs, kPlain);
}

} // namespace

int main(int argc, char **argv) {
    ensureDisplay(argv);
    // A real X server: an offscreen platform named in the environment would skip the window.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured

    Panel panel;
    kq7150fp_Waveform *view = panel.app->waveform;
    auto *canvas = qobject_cast<QwtPlotCanvas *>(view->plot()->canvas());
    const bool immediate = canvas->testPaintAttribute(QwtPlotCanvas::ImmediatePaint);
    std::printf("QwtPlotCanvas::ImmediatePaint %s, BackingStore %s: replot() %s, so each run is updatePlot() "
                "then plot()->repaint(), which paints canvas and axes before the clock stops\n",
                immediate ? "on" : "off",
                canvas->testPaintAttribute(QwtPlotCanvas::BackingStore) ? "on" : "off",
                immediate ? "paints at once" : "only schedules the paint");
    {
        QwtPlotCurve fresh;
        std::printf(
            "a fresh QwtPlotCurve (Qwt %s) has ClipPolygons %s, FilterPoints %s, RenderAntialiased %s\n",
            QWT_VERSION_STR, fresh.testPaintAttribute(QwtPlotCurve::ClipPolygons) ? "on" : "off",
            fresh.testPaintAttribute(QwtPlotCurve::FilterPoints) ? "on" : "off",
            fresh.testRenderHint(QwtPlotItem::RenderAntialiased) ? "on" : "off");
    }
    const auto viewDraw = [&] {
        view->updatePlot();
        view->plot()->repaint();
    };

    // (b) first: the small case does not disturb the large one's buffers.
    panel.prepare(2, 1024);
    fillSines(view->data(), 2, 1024, true);
    const Timing small = measure(view->plot(), viewDraw);
    printRatio("updatePlot+replot 2 x 1024 (dense sines)", small, kPollMs, kPoll);

    panel.prepare(8, 131072);
    Timing large{};
    for (bool dense : {true, false}) {
        const char *data = dense ? "dense sines" : "slow sines";
        fillSines(view->data(), 8, 131072, dense);
        const Timing t = measure(view->plot(), viewDraw);
        printRatio(std::string("updatePlot+replot 8 x 131072 (") + data + ")", t, kPollMs, kPoll);
        std::printf("  view canvas %dx%d px\n", canvas->width(), canvas->height());
        if (dense)
            large = t;
        compareWithPlainCurves(view, picture(view->plot()), data);
    }
    std::printf("8 x 131072 (dense sines) %s in one polling interval\n",
                large.medianMs <= kPollMs ? "fits" : "does NOT fit");
    return 0;
}
