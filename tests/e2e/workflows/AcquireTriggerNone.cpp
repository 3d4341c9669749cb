// Acquisitions without a trigger source: one block with the single-shot button, then block
// after block with the repetitive button until it is pressed again.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

// The driver links no Qwt of its own: the program has loaded it, and the plots are read through it.
#include <qwt/qwt_plot.h>
#include <qwt/qwt_plot_curve.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

// 625 Hz is bin 16 of the default block (256 scans at 10 kHz): whole periods, so the block's
// RMS gives the amplitude whatever phase the block starts at. The DC part is for the coupling.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::7::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":7,"model":7005,"slots":4,"cards":[{"slot":1,"code":"0x7150","variant":"BB",
  "serial":"0x71500011","signal":{"type":"sine","frequency":625,"amplitude":2.0,"offset":0.25,
  "noiseRms":50e-6}}]}]})";

struct Curve {
    std::vector<double> x, y;
};

QTabWidget *mainTabs() { return Gui::child<QTabWidget>(Gui::window(kMainTitle), "mainTabs"); }

int tabIndex(const QString &text)
{
    QTabWidget *tabs = mainTabs();
    for (int i = 0; tabs && i < tabs->count(); ++i)
        if (tabs->tabText(i).remove('&') == text)
            return i;
    throw E2eFailure("no tab " + text.toStdString());
}

// The curves of the plot on a main tab that hold data (attached ones only).
std::vector<Curve> drawnCurves(const QString &tab)
{
    auto *plot = mainTabs()->widget(tabIndex(tab))->findChild<QwtPlot *>();
    E2E_CHECK(plot, "no plot on ", tab.toStdString());
    std::vector<Curve> curves;
    for (QwtPlotItem *item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        auto *curve = static_cast<QwtPlotCurve *>(item);
        if (curve->dataSize() == 0 || !curve->isVisible())
            continue;
        Curve c;
        for (size_t i = 0; i < curve->dataSize(); ++i) {
            c.x.push_back(curve->sample(i).x());
            c.y.push_back(curve->sample(i).y());
        }
        curves.push_back(std::move(c));
    }
    return curves;
}

bool released()
{
    QWidget *w = Gui::window(kMainTitle);
    for (const char *name : {"singleShotButton", "repetitiveButton"}) {
        auto *b = Gui::child<QAbstractButton>(w, name);
        if (!b || !b->isEnabled() || b->isChecked())
            return false;
    }
    return true;
}

std::string lastCall(const char *call)
{
    char text[512];
    kqsim_lastCall(call, text, sizeof text);
    return text;
}

bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

} // namespace

static Registration acquireTriggerNone{{"acquire_trigger_none", kWorld, nullptr, [](Gui &gui) {
    answerConnection(gui, "Auto Find");
    waitMainWindow(gui);

    gui.showTab(kMainTitle, "Acquisition");
    const QString source = gui.run([] {
        QComboBox *sources = nullptr;
        for (QComboBox *box : Gui::window(kMainTitle)->findChildren<QComboBox *>())
            if (box->findText("Front Panel High") >= 0)
                sources = box;
        return sources ? sources->currentText() : QString();
    });
    E2E_CHECK(source == "None", "trigger source at start: ", source.toStdString());
    gui.showTab(kMainTitle, "Waveforms");

    kqsim_clearCallLog();
    gui.click(kMainTitle, "singleShotButton");
    gui.waitUntil("the single-shot block", [] { return !drawnCurves("Waveforms").empty() && released(); });
    const std::vector<Curve> single = gui.run([] { return drawnCurves("Waveforms"); });
    E2E_CHECK(single.size() == 1, single.size(), " curves drawn, channel 1 only is enabled");
    const Curve &block = single[0];
    E2E_CHECK(block.y.size() == 256, block.y.size(), " scans drawn");
    // No trigger: the block starts at t = 0, one scan every 100 us.
    E2E_CHECK(std::abs(block.x[0]) < 1e-12 && std::abs(block.x[255] - 0.0255) < 1e-9, "time axis ",
              block.x[0], " .. ", block.x[255]);
    double mean = 0.0, power = 0.0;
    for (double v : block.y)
        mean += v / 256;
    for (double v : block.y)
        power += (v - mean) * (v - mean) / 256;
    // The channel is AC-coupled by default: the input's 0.25 V DC part is gone and only the
    // converter's offset error is left. An uncalibrated channel is off by at most 0.12 % in
    // gain and 1.7 mV in offset; the 50 uV of noise moves the mean by 3 uV.
    const double amplitude = std::sqrt(2.0 * power);
    E2E_CHECK(std::abs(amplitude - 2.0) < 0.006, "amplitude ", amplitude, " V");
    E2E_CHECK(std::abs(mean) < 0.002, "mean ", mean, " V");

    // What the cards were asked for: no trigger source, untriggered, 256 scans of channel 1 at
    // 10 kHz, a software trigger to begin, one read of the whole block.
    const std::string trigger = lastCall("kq7150_setMultTrigConfig");
    E2E_CHECK(has(trigger, "source=0 ") && has(trigger, "preTrigger=0"), "trigger: ", trigger);
    const std::string config = lastCall("kq7150_multConfig");
    E2E_CHECK(has(config, "masks=0x0001 rate=10000 mode=0 scansPerTrigger=256"), "configuration: ", config);
    const int starts = kqsim_callCount("kq7150_startMultAcquisition");
    const int reads = kqsim_callCount("kq7150_readMultAcquisition");
    E2E_CHECK(starts == 1 && kqsim_callCount("kq7150_generateITRI") >= 1 &&
                  kqsim_callCount("kq7150_stopMultAcquisition") >= 1,
              starts, " starts, ", kqsim_callCount("kq7150_generateITRI"), " software triggers, ",
              kqsim_callCount("kq7150_stopMultAcquisition"), " stops");
    E2E_CHECK(reads == 1 && lastCall("kq7150_readMultAcquisition") == "scans=256", reads, " reads, the last ",
              lastCall("kq7150_readMultAcquisition"));
    gui.shot("single-shot");

    // The spectrum of the same block: a rectangular window puts the whole 2 V tone into bin 16,
    // +6.02 dB relative to 1 V peak (the gain error is 0.01 dB at most).
    gui.showTab(kMainTitle, "FFT Amplitude Spectrum");
    const std::vector<Curve> spectra = gui.run([] { return drawnCurves("FFT Amplitude Spectrum"); });
    E2E_CHECK(spectra.size() == 1 && spectra[0].y.size() == 128, "spectrum curves ", spectra.size());
    const Curve &spectrum = spectra[0];
    const size_t peak = std::max_element(spectrum.y.begin(), spectrum.y.end()) - spectrum.y.begin();
    E2E_CHECK(std::abs(spectrum.x[peak] - 625.0) < 1e-6 && std::abs(spectrum.y[peak] - 6.0206) < 0.05,
              "spectrum peak ", spectrum.y[peak], " dB at ", spectrum.x[peak], " Hz");
    gui.shot("spectrum");
    gui.showTab(kMainTitle, "Waveforms");

    const int readsBefore = kqsim_callCount("kq7150_readMultAcquisition");
    gui.click(kMainTitle, "repetitiveButton");
    // Each block starts where the software trigger met the sine, so the drawn data moves.
    const std::vector<double> firstBlock = block.y;
    gui.waitUntil("new blocks in the view", [&] {
        const std::vector<Curve> now = drawnCurves("Waveforms");
        bool moved = false;
        for (size_t i = 0; !now.empty() && i < now[0].y.size() && i < firstBlock.size(); ++i)
            moved |= std::abs(now[0].y[i] - firstBlock[i]) > 0.05;
        return moved && kqsim_callCount("kq7150_readMultAcquisition") >= readsBefore + 3;
    });
    // While the cards acquire, the settings are locked and the repetitive button is the stop button.
    const bool running = gui.run([] {
        QTabWidget *tabs = mainTabs();
        QWidget *w = Gui::window(kMainTitle);
        return !tabs->isTabEnabled(tabIndex("Acquisition")) &&
               !tabs->isTabEnabled(tabIndex("Function Cards")) &&
               tabs->isTabEnabled(tabIndex("FFT Amplitude Spectrum")) &&
               Gui::child<QAbstractButton>(w, "repetitiveButton")->isChecked() &&
               !Gui::child<QAbstractButton>(w, "singleShotButton")->isEnabled();
    });
    E2E_CHECK(running, "settings or start buttons free while the cards acquire");

    gui.click(kMainTitle, "repetitiveButton");
    gui.waitUntil("the start buttons released", released);
    const int readsAtStop = kqsim_callCount("kq7150_readMultAcquisition");
    const int stopsAtStop = kqsim_callCount("kq7150_stopMultAcquisition");
    E2E_CHECK(gui.run([] { return mainTabs()->isTabEnabled(tabIndex("Acquisition")); }),
              "the settings stay locked after the stop");
    // Nothing polls or reads once stopped.
    Gui::pause(std::chrono::milliseconds(300));
    E2E_CHECK(kqsim_callCount("kq7150_readMultAcquisition") == readsAtStop &&
                  kqsim_callCount("kq7150_stopMultAcquisition") == stopsAtStop,
              "the cards are still read after the stop");
    closeProgram(gui);
}, nullptr}};
