// The spectrum plot as the waveform view drives it: curves filled with spectra, the legend
// choosing which are attached, markers set with Ctrl and the mouse; saving the plot in the
// three formats, the names and folders refused, and the context menu that leads there.
#include "PlotExporter.h"
#include "axisConfigFft.h"
#include "chLabelFft.h"
#include "channelColour.h"
#include "kq7000fp_msgBox.h"
#include "plotContextMenu.h"
#include "plot_voltage.h"

#include "../support/ScriptedBoxes.h"
#include "../support/WidgetTest.h"

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_widget.h>

namespace {

// The plot in the front panel window as far as it sees it: a widget with the autoscale button.
class SpectrumPlotTest : public ::testing::Test {
protected:
    SpectrumPlotTest() {
        autoscale->setObjectName("autoscaleButton");
        autoscale->setCheckable(true);
        autoscale->setChecked(true);
        w = new plot_voltage(&window, "Hz", "Magnitude [dB]", 2);
        (new QVBoxLayout(&window))->addWidget(w);
        window.resize(1100, 650);
        window.show();
        QApplication::processEvents();
    }

    QwtPlot *plot() const { return w->plot(); }
    QPoint canvasPoint(double x, double y) const {
        return QPoint(qRound(plot()->transform(QwtPlot::xBottom, x)),
                      qRound(plot()->transform(QwtPlot::yLeft, y)));
    }
    // A click as the window system delivers it on X11: press, a menu request for the right
    // button, release.
    void click(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
        QWidget *canvas = plot()->canvas();
        QTest::mousePress(canvas, button, modifiers, pos);
        QContextMenuEvent request(QContextMenuEvent::Mouse, pos, canvas->mapToGlobal(pos), modifiers);
        if (button == Qt::RightButton)
            QApplication::sendEvent(canvas, &request);
        QTest::mouseRelease(canvas, button, modifiers, pos);
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QByteArray contents(const QString &name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QWidget window;
    QPushButton *autoscale = new QPushButton("ON", &window);
    plot_voltage *w = nullptr;
    QTemporaryDir dir;
};

// Clicks an axis; once its dialog runs, fills it and presses OK. A refused range would leave
// the dialog open: it is then closed and the test fails instead of hanging.
void clickAxisAndAnswer(QwtScaleWidget *axis, axisConfigFft *dialog, const std::function<void()> &fill) {
    kq7000fp_msgBox::setAnswerer([](QMessageBox &) { return nullptr; });
    QTimer::singleShot(0, dialog, [&] {
        fill();
        dialog->okButton()->click();
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog refused the range";
            dialog->reject();
        }
    });
    QTest::mouseRelease(axis, Qt::LeftButton, {}, QPoint(5, 5));
    kq7000fp_msgBox::setAnswerer({});
}

// The marker read-out lists the lower frequency first and follows new data. A zoom narrower
// than 1 Hz switches the x labels to three decimals and the autoscale off. The right click then
// belongs to the menu, whose reset zooms out; with Ctrl it still sets marker 2, unsnapped where
// clicked. The y dialog opens with the autoscale's state; a custom range turns the autoscale
// off, no range asks for it again. The waveform view gives the x dialog the spectrum's
// frequency span. A curve is drawn in the colour its legend entry shows, the colour chosen for
// its channel; the curves' titles are the legend_traces workflow's.
TEST_F(SpectrumPlotTest, MarkersZoomMenuAndAxisDialogsRuleTheRangeAndTheAutoscale) {
    EXPECT_TRUE(markerReadoutText({300, -10, ""}, {100, -40, "Ch 5"}).startsWith("Markers: (100.0 Hz"));
    // Two spectra with bins at the same frequencies; everything else hidden.
    for (QwtPlotCurve *curve : w->curveList())
        curve->detach();
    for (int c : {0, 1}) {
        w->curveList()[c]->setSamples(QVector<double>{100, 200, 300},
                                      QVector<double>{-20.0 - 40 * c, -80, -80});
        w->curveList()[c]->attach(plot());
    }
    plot()->setAxisScale(QwtPlot::xBottom, 0, 400);
    plot()->setAxisScale(QwtPlot::yLeft, -100, 0);
    plot()->replot();
    // Marker 1 on channel 1's bin, marker 2 on channel 2's bin at the same frequency.
    click(Qt::LeftButton, Qt::ControlModifier, canvasPoint(104, -21));
    click(Qt::RightButton, Qt::ControlModifier, canvasPoint(97, -59));
    EXPECT_EQ(w->readout()->text(), "Markers: (100.0 Hz, -60.0 dB[Ch 2] ), (100.0 Hz, -20.0 dB[Ch 1] )  |  "
                                    "df = 0.0 Hz, dMagnitude = 40.0 dB");
    // New spectra: the snapped markers stay on their bins and take the new magnitudes.
    w->curveList()[0]->setSamples(QVector<double>{100, 200, 300}, QVector<double>{-30, -80, -80});
    w->markerMoved(QPoint(-1, 0));
    EXPECT_DOUBLE_EQ(w->marker(1)->yValue(), -30.0);
    EXPECT_TRUE(w->readout()->text().endsWith("dMagnitude = 30.0 dB"));
    for (int g = 0; g < 16; ++g)
        EXPECT_EQ(std::pair(w->curveList()[g]->pen().color(), w->labelList().value(g)->colour()),
                  std::pair(channelColour(g / 8, g % 8), channelColour(g / 8, g % 8)))
            << "channel " << g;
    // One spectrum over 0 .. 10 kHz, shown whole: the zoom's base.
    QVector<double> f(2048), magnitude(2048, -60.0);
    for (int i = 0; i < f.size(); ++i)
        f[i] = 10000.0 * i / (f.size() - 1);
    w->curveList()[0]->setSamples(f, magnitude);
    w->curveList()[0]->attach(plot());
    plot()->setAxisScale(QwtPlot::xBottom, 0, 10000);
    plot()->setAxisScale(QwtPlot::yLeft, -160, 0);
    plot()->replot();
    w->updateZoomBase();
    w->zoomer()->zoom(QRectF(QPointF(1000.0, -100.0), QPointF(1000.5, -20.0)));
    EXPECT_EQ(plot()->axisScaleDraw(QwtPlot::xBottom)->label(1000.25).text(), "1000.250");
    EXPECT_FALSE(autoscale->isChecked());
    EXPECT_EQ(std::pair(w->tracker()->xMin(), w->tracker()->xMax()), std::pair(1000.0, 1000.5));
    plotContextMenu *menu = w->contextMenu();
    w->snapToSample()->setChecked(false);
    const QPoint middle = plot()->canvas()->rect().center();
    const uint zoomed = w->zoomer()->zoomRectIndex();
    click(Qt::RightButton, Qt::NoModifier, middle);
    EXPECT_TRUE(menu->menu()->isVisible());
    EXPECT_EQ(w->zoomer()->zoomRectIndex(), zoomed) << "the release must not zoom out";
    menu->resetZoomAction()->trigger();
    menu->menu()->hide();
    EXPECT_EQ(w->zoomer()->zoomRectIndex(), 0u);
    click(Qt::RightButton, Qt::ControlModifier, middle);
    EXPECT_FALSE(menu->menu()->isVisible());
    const double at = plot()->invTransform(QwtPlot::xBottom, middle.x());
    EXPECT_NEAR(w->marker(2)->xValue(), at,
                std::abs(plot()->invTransform(QwtPlot::xBottom, middle.x() + 1) - at));

    autoscale->setChecked(true);
    axisConfigFft *y = w->yAxisDialog();
    bool wasChecked = true;
    clickAxisAndAnswer(plot()->axisWidget(QwtPlot::yLeft), y, [&] {
        wasChecked = y->rangeGroup()->isChecked();
        y->rangeGroup()->setChecked(true);
        y->lowerLimit()->setValue(-50);
        y->upperLimit()->setValue(0);
    });
    EXPECT_FALSE(wasChecked);
    EXPECT_FALSE(autoscale->isChecked());
    EXPECT_EQ(std::pair(plot()->axisScaleDiv(QwtPlot::yLeft).lowerBound(), w->tracker()->yMax()),
              std::pair(-50.0, 0.0));
    clickAxisAndAnswer(plot()->axisWidget(QwtPlot::yLeft), y, [&] { y->rangeGroup()->setChecked(false); });
    EXPECT_TRUE(autoscale->isChecked());
    axisConfigFft *x = w->xAxisDialog();
    x->lowerLimit()->setRange(0, 10000);
    x->upperLimit()->setRange(0, 10000);
    clickAxisAndAnswer(plot()->axisWidget(QwtPlot::xBottom), x, [&] {
        x->lowerLimit()->setValue(2000);
        x->upperLimit()->setValue(3000);
    });
    EXPECT_FALSE(autoscale->isChecked());
    EXPECT_EQ(std::pair(plot()->axisScaleDiv(QwtPlot::xBottom).upperBound(), w->tracker()->xMin()),
              std::pair(3000.0, 2000.0));
}

// The way from the menu to a PNG file at the plot's size is the export_data workflow's. The
// name is offered first at the home folder, a name without a suffix takes the chosen filter's,
// a drawing has the size chosen, and the name is offered again next time with its format; "No"
// to overwriting asks no size and writes nothing. Names that cannot be written are refused and
// write nothing.
TEST_F(SpectrumPlotTest, SavingOffersTheLastNameKeepsTheChosenSizeAndRefusesOtherNames) {
    ScriptedBoxes boxes;
    plotContextMenu *menu = w->contextMenu();
    QString offeredPath, offeredFilter;
    menu->setSaveNameAsker(
        [&](QWidget *, const QString &, const QString &start, const QString &filters, QString *selected) {
            offeredPath = start;
            offeredFilter = *selected;
            *selected = "SVG drawing (*.svg)";
            return path("plot");
        });
    int sizeQuestions = 0;
    menu->setSizeAsker([&](QWidget *, QSize &size) {
        ++sizeQuestions;
        size = QSize(300, 120);
        return true;
    });
    menu->saveAction()->trigger();
    EXPECT_EQ(offeredPath, QDir::toNativeSeparators(QDir::homePath() + "/spectrum.png"));
    const QByteArray svg = contents("plot.svg");
    EXPECT_TRUE(svg.startsWith("<?xml") && svg.contains("<svg") && svg.contains("viewBox=\"0 0 300 120\""));
    boxes.press("No");
    menu->saveAction()->trigger();
    EXPECT_EQ(std::pair(offeredPath, offeredFilter),
              std::pair(QDir::toNativeSeparators(path("plot.svg")), QString("SVG drawing (*.svg)")));
    EXPECT_TRUE(boxes.texts.value(0).endsWith("plot.svg\" already exists, overwrite?"));
    EXPECT_EQ(std::pair(sizeQuestions, contents("plot.svg")), std::pair(1, svg));
    QFile::remove(path("plot.svg"));

    EXPECT_EQ(PlotExporter::write(plot(), path("a.jpg"), QSize(640, 360)),
              "Cannot save the plot as \"" + QDir::toNativeSeparators(path("a.jpg")) +
                  "\": the file name must end in .png, .svg or .pdf.");
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.svg"));
    EXPECT_TRUE(PlotExporter::write(plot(), path("taken.svg"), QSize(640, 360))
                    .startsWith("Cannot write the file: \""));
    EXPECT_EQ(PlotExporter::write(plot(), path("none/a.png"), QSize(640, 360)),
              "Directory: \"" + QDir::toNativeSeparators(path("none")) + "\" does not exist.");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

} // namespace
