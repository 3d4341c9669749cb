// Hiding and showing traces from the legend entries' context menus, on a stored recording of
// channels 1 and 3: "Hide Trace", "Show Trace", "Show Only This Trace" and "Show All Traces" on
// the waveform legend (the plot then no longer draws what is hidden), the same menu on the
// spectrum legend choosing which spectra are shown, and the left click that still emphasises.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kScans = 100;
constexpr double kRate = 100.0;
const QString kWaveforms = "Waveforms";
const QString kSpectrum = "FFT Amplitude Spectrum";

std::string path() {
    return e2eWorkDir() + "/traces.bin7150";
}

// Channel 1 rises by 1 V per second; channel 3 is a sine of 2 V and 1 Hz.
double sample(int channel, double t) {
    return channel == 1 ? t : 2.0 * std::sin(2 * M_PI * t);
}

void writeRecording() {
    writeOneBlockRecording(path(), kRate, kScans, 0x05,
                           [](int k, double t) { return sample(k == 0 ? 1 : 3, t); });
}

QLabel *entry(const QString &tab, int channel) {
    auto *label = Gui::child<QLabel>(Gui::tabPage(Gui::window(kMainWindow), tab),
                                     QString("legendFC1Ch%1").arg(channel));
    E2E_CHECK(label, "no legend entry for channel ", channel, " on ", tab.toStdString());
    return label;
}

// The curve titled "Ch <channel>" that the plot holds (the spectrum's hidden ones it lets go).
QwtPlotCurve *curve(const QString &tab, int channel) {
    for (QwtPlotItem *item : plotOn(tab)->itemList(QwtPlotItem::Rtti_PlotCurve))
        if (item->title().text() == QString("Ch %1").arg(channel) &&
            static_cast<QwtPlotCurve *>(item)->dataSize() > 0)
            return static_cast<QwtPlotCurve *>(item);
    return nullptr;
}

// Whether the canvas shows the waveform's pen near three of its samples, as a person would see.
bool drawn(int channel) {
    QwtPlot *plot = plotOn(kWaveforms);
    const QImage image = plot->canvas()->grab().toImage();
    QColor pen = curve(kWaveforms, channel)->pen().color();
    const QColor back = plot->canvasBackground().color();
    const double a = pen.alphaF();
    const QColor seen =
        QColor::fromRgbF(pen.redF() * a + back.redF() * (1 - a), pen.greenF() * a + back.greenF() * (1 - a),
                         pen.blueF() * a + back.blueF() * (1 - a));
    int places = 0;
    for (double t : {0.37, 0.53, 0.81}) {
        const int x = qRound(plot->transform(QwtPlot::xBottom, t));
        const int y = qRound(plot->transform(QwtPlot::yLeft, sample(channel, t)));
        bool found = false;
        for (int dx = -2; dx <= 2 && !found; ++dx)
            for (int dy = -2; dy <= 2 && !found; ++dy) {
                const QColor c = image.pixelColor(x + dx, y + dy);
                found = std::abs(c.red() - seen.red()) + std::abs(c.green() - seen.green()) +
                            std::abs(c.blue() - seen.blue()) <
                        60;
            }
        places += found;
    }
    return places == 3;
}

// The channel's legend entry's context menu, then the item with this text, clicked.
// shot: a screenshot with the menu up, when named.
void choose(Gui &gui, const QString &tab, int channel, const QString &item, const std::string &shot = "") {
    gui.run([=] {
        QLabel *label = entry(tab, channel);
        const QPoint at = label->rect().center();
        // What the window system sends for a right click on the entry.
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, label->mapToGlobal(at));
        QApplication::sendEvent(label, &request);
    });
    gui.waitUntil("the legend entry's menu",
                  [] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); });
    if (!shot.empty())
        gui.shot(shot);
    gui.run([=] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QStringList texts;
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                texts << action->text();
        const QString toggle = texts.value(1);
        E2E_CHECK(texts.size() == 4 && texts[0] == "Change Color..." &&
                      (toggle == "Hide Trace" || toggle == "Show Trace") &&
                      texts[2] == "Show Only This Trace" && texts[3] == "Show All Traces",
                  "menu: ", texts.join(" | ").toStdString());
        for (QAction *action : menu->actions())
            if (action->text() == item) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        E2E_CHECK(false, "no ", item.toStdString(), " in: ", texts.join(" | ").toStdString());
    });
    gui.waitUntil("the menu closed", [] { return !QApplication::activePopupWidget(); });
}

// Which of channels 1 and 3 the waveform plot shows, checked by its curves and its pixels.
void expectWaveforms(Gui &gui, bool first, bool third, const std::string &when) {
    gui.run([=] {
        for (auto [channel, shown] : {std::pair{1, first}, std::pair{3, third}}) {
            E2E_CHECK(curve(kWaveforms, channel)->isVisible() == shown, when, ": channel ", channel,
                      " visible ", !shown);
            E2E_CHECK(drawn(channel) == shown, when, ": channel ", channel,
                      shown ? " not drawn" : " still drawn");
        }
        E2E_CHECK(entry(kWaveforms, 1)->font().strikeOut() == !first, when,
                  ": channel 1's entry does not say so");
    });
}

void run(Gui &gui) {
    waitMainWindow(gui);
    gui.waitUntil("the recording drawn", [] { return curve(kWaveforms, 1) && curve(kWaveforms, 3); });
    expectWaveforms(gui, true, true, "at the start");

    choose(gui, kWaveforms, 1, "Hide Trace");
    expectWaveforms(gui, false, true, "channel 1 hidden");
    gui.shot("hidden");
    choose(gui, kWaveforms, 1, "Show Trace");
    expectWaveforms(gui, true, true, "channel 1 shown again");
    choose(gui, kWaveforms, 3, "Show Only This Trace", "menu");
    expectWaveforms(gui, false, true, "channel 3 alone");
    choose(gui, kWaveforms, 3, "Show All Traces");
    expectWaveforms(gui, true, true, "all shown");
    // The left click still emphasises the curve.
    gui.run([] { QTest::mouseClick(entry(kWaveforms, 3), Qt::LeftButton); });
    gui.run([] { E2E_CHECK(curve(kWaveforms, 3)->pen().width() == 3, "channel 3 not emphasised"); });

    // The spectrum legend starts with nothing selected; its menu chooses the spectra shown.
    gui.showTab(kMainWindow, kSpectrum);
    gui.run([] {
        E2E_CHECK(!curve(kSpectrum, 1) && !curve(kSpectrum, 3), "spectra shown before any was chosen");
    });
    choose(gui, kSpectrum, 1, "Show All Traces");
    gui.waitUntil("both spectra shown", [] { return curve(kSpectrum, 1) && curve(kSpectrum, 3); });
    choose(gui, kSpectrum, 3, "Show Only This Trace");
    gui.waitUntil("channel 3's spectrum alone", [] { return !curve(kSpectrum, 1) && curve(kSpectrum, 3); });
    gui.shot("spectrum-alone");
    closeProgram(gui);
}

Registration traces{{"legend_traces", "", writeRecording, run, nullptr}};

} // namespace
