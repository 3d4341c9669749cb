// Demo mode: no cards, the demo signals of two function cards in the waveform view.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

// The driver links no Qwt of its own: the program has loaded it, and the plot is read through it.
#include <qwt/qwt_plot.h>
#include <qwt/qwt_plot_curve.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Curve {
    std::vector<double> x, y;
};

// Every curve of the waveform view in the order they were attached: card by card, channel by channel.
std::vector<Curve> waveformCurves()
{
    QTabWidget *tabs = Gui::child<QTabWidget>(Gui::window(kMainTitle), "mainTabs");
    E2E_CHECK(tabs && tabs->tabText(0).remove('&') == "Waveforms", "no waveform tab");
    auto *plot = tabs->widget(0)->findChild<QwtPlot *>();
    E2E_CHECK(plot, "no waveform plot");
    std::vector<Curve> curves;
    for (QwtPlotItem *item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        auto *curve = static_cast<QwtPlotCurve *>(item);
        Curve c;
        for (size_t i = 0; i < curve->dataSize(); ++i) {
            c.x.push_back(curve->sample(i).x());
            c.y.push_back(curve->sample(i).y());
        }
        curves.push_back(std::move(c));
    }
    return curves;
}

int signChanges(const std::vector<double> &y)
{
    int changes = 0;
    for (size_t i = 1; i < y.size(); ++i)
        changes += (y[i - 1] < 0) != (y[i] < 0);
    return changes;
}

bool released(QWidget *window, const char *name)
{
    auto *b = Gui::child<QAbstractButton>(window, name);
    return b && b->isEnabled() && !b->isChecked();
}

} // namespace

static Registration demoMode{{"demo_mode", "", nullptr, [](Gui &gui) {
    answerConnection(gui, "Run In Demo Mode");
    waitMainWindow(gui);
    gui.shot("window");
    kqsim_clearCallLog();

    // Nothing is drawn before the first start: 2 cards x 8 channels of empty curves.
    const std::vector<Curve> before = gui.run(waveformCurves);
    E2E_CHECK(before.size() == 16, "curves: ", before.size());
    for (const Curve &c : before)
        E2E_CHECK(c.y.empty(), "a curve holds data before any acquisition");

    gui.click(kMainTitle, "singleShotButton");
    // Channel 1 of each card is enabled by default; the block replaces both curves at once.
    gui.waitUntil("the demo block", [] {
        const std::vector<Curve> curves = waveformCurves();
        return !curves[0].y.empty() && !curves[8].y.empty();
    });
    gui.waitUntil("both start buttons released", [] {
        QWidget *w = Gui::window(kMainTitle);
        return released(w, "singleShotButton") && released(w, "repetitiveButton");
    });

    const std::vector<Curve> curves = gui.run(waveformCurves);
    for (int i = 0; i < 16; ++i)
        if (i != 0 && i != 8)
            E2E_CHECK(curves[i].y.empty(), "disabled channel ", i % 8 + 1, " of card ", i / 8 + 1,
                      " is drawn");
    // The demo block is 256 scans at the default 10 kHz; the k-th enabled channel holds
    // 1.2 * k periods of a unit sine, so card 2's curve crosses zero twice as often as card 1's.
    for (int i : {0, 8}) {
        const Curve &c = curves[i];
        E2E_CHECK(c.y.size() == 256, "card ", i / 8 + 1, ": ", c.y.size(), " scans drawn");
        E2E_CHECK(std::abs(c.x[0]) < 1e-12 && std::abs(c.x[255] - 255e-4) < 1e-9, "time axis ", c.x[0],
                  " .. ", c.x[255]);
        const auto [low, high] = std::minmax_element(c.y.begin(), c.y.end());
        // With 107 or more scans per period a sine comes within 0.1 % of both of its peaks.
        E2E_CHECK(*high <= 1.0 && *high > 0.999 && *low >= -1.0 && *low < -0.999, "card ", i / 8 + 1,
                  " spans ", *low, " .. ", *high);
    }
    const int first = signChanges(curves[0].y), second = signChanges(curves[8].y);
    E2E_CHECK(first >= 2 && first <= 3 && second >= 4 && second <= 5, "zero crossings ", first, " and ",
              second);
    const QString status = gui.run([] {
        for (QLabel *label : Gui::window(kMainTitle)->findChildren<QLabel *>())
            if (label->toolTip().contains("current stage of the Data Acquisition"))
                return label->text();
        return QString();
    });
    E2E_CHECK(status.startsWith("Idle"), "status line: ", status.toStdString());
    // Demo mode never reaches for cards.
    for (const char *call :
         {"kq7150_multConfig", "kq7150_startMultAcquisition", "kq7150_readMultAcquisition"})
        E2E_CHECK(kqsim_callCount(call) == 0, call, " called ", kqsim_callCount(call), " times");
    gui.shot("waveforms");
    closeProgram(gui);
}, nullptr}};
