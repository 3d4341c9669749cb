// Acquiring with the buttons under the plot: without a trigger source one block with the
// single-shot button, its spectrum, then block after block with the repetitive button until it
// is pressed again; then a single shot triggered by channel 1 crossing a level upwards, the
// trigger a quarter into the block: the cards are told so, the block holds the crossing there
// and the plot marks it.
#include "Steps.h"

#include <algorithm>
#include <numeric>

namespace {

// 625 Hz is bin 16 of the default block (256 scans at 10 kHz): whole periods, so the block's
// RMS gives the amplitude whatever phase the block starts at. The DC part is for the coupling.
// The sine rises by up to 0.79 V from scan to scan: the crossing of 0.5 V lies clearly between
// two scans.
const std::string kWorld = vxiWorld(R"({"slot":1,"serial":"0x71500011","signal":{"type":"sine",
  "frequency":625,"amplitude":2.0,"offset":0.25,"noiseRms":20e-6}})");

constexpr double kLevel = 0.5;
constexpr int kPreTrigger = 64; // "25%" of 256 scans

bool tabEnabled(const QString &text) {
    auto *tabs = Gui::child<QTabWidget>(Gui::window(kMainWindow), "mainTabs");
    return tabs->isTabEnabled(tabs->indexOf(mainTab(text)));
}

// The trigger markers of the waveform plot (the time cursors' lines, "Cursor 1" and "Cursor 2",
// are markers too).
QList<QwtPlotMarker *> triggerMarkers() {
    QList<QwtPlotMarker *> markers;
    for (QwtPlotItem *item : plotOn("Waveforms")->itemList(QwtPlotItem::Rtti_PlotMarker))
        if (!item->title().text().startsWith("Cursor"))
            markers << static_cast<QwtPlotMarker *>(item);
    return markers;
}

// The single shot without a trigger: the block, what the cards were asked, the spectrum.
std::vector<double> singleShot(Gui &gui) {
    kqsim_clearCallLog();
    singleShot(gui, "the single-shot block", [] { return !drawnCurves("Waveforms").empty(); });
    // Channel 1 only is enabled. No trigger: the block starts at t = 0, one scan every 100 us.
    const std::vector<Curve> single = gui.run([] { return drawnCurves("Waveforms"); });
    const Curve &block = single[0];
    E2E_CHECK(single.size() == 1 && block.y.size() == 256 && std::abs(block.x[0]) < 1e-12 &&
              std::abs(block.x[255] - 0.0255) < 1e-9);
    const double mean = std::accumulate(block.y.begin(), block.y.end(), 0.0) / 256;
    double power = 0.0;
    for (double v : block.y)
        power += (v - mean) * (v - mean) / 256;
    // The channel is AC-coupled by default: the input's 0.25 V DC part is gone and only the
    // converter's offset error is left. An uncalibrated channel is off by at most 0.12 % in
    // gain and 1.7 mV in offset.
    const double amplitude = std::sqrt(2.0 * power);
    E2E_CHECK(std::abs(amplitude - 2.0) < 0.006 && std::abs(mean) < 0.002, amplitude, " V, mean ", mean);

    // No trigger source, untriggered, 256 scans of channel 1 at 10 kHz, one start and one read.
    E2E_EQ(lastCall("kq7150_setMultTrigConfig", {"source", "preTrigger"}), "source=0 preTrigger=0");
    E2E_EQ(lastCall("kq7150_multConfig", {"masks", "rate", "mode", "scansPerTrigger"}),
           "masks=0x0001 rate=10000 mode=0 scansPerTrigger=256");
    E2E_EQ(kqsim_callCount("kq7150_startMultAcquisition"), 1);
    E2E_EQ(kqsim_callCount("kq7150_readMultAcquisition"), 1);
    gui.shot("single-shot");

    // The spectrum legend starts with no channel selected; "All" brings the block's spectrum
    // (its numbers: the acperf and plotting unit tests).
    gui.showTab(kMainWindow, "FFT Amplitude Spectrum");
    E2E_CHECK(gui.run([] { return drawnCurves("FFT Amplitude Spectrum"); }).empty());
    gui.press(kMainWindow, "All");
    gui.waitUntil("the spectrum of the block",
                  [] { return drawnCurves("FFT Amplitude Spectrum").size() == 1; });
    // The spectrum drawn is the block's: a rectangular window puts the whole 2 V tone into bin
    // 16, +6.02 dB relative to 1 V peak (the gain error is 0.01 dB at most).
    const Curve spectrum = gui.run([] { return drawnCurves("FFT Amplitude Spectrum"); })[0];
    const size_t peak = std::max_element(spectrum.y.begin(), spectrum.y.end()) - spectrum.y.begin();
    E2E_CHECK(spectrum.y.size() == 128 && std::abs(spectrum.x[peak] - 625.0) < 1e-6 &&
                  std::abs(spectrum.y[peak] - 6.0206) < 0.05,
              spectrum.y[peak], " dB at ", spectrum.x[peak], " Hz");
    gui.shot("spectrum");
    gui.showTab(kMainWindow, "Waveforms");
    return block.y;
}

void run(Gui &gui) {
    connectOneCard(gui);
    const std::vector<double> firstBlock = singleShot(gui);
    const int readsBefore = kqsim_callCount("kq7150_readMultAcquisition");
    gui.click(kMainWindow, "repetitiveButton");
    // Each block starts where the software trigger met the sine, so the drawn data moves.
    gui.waitUntil("new blocks in the view", [&] {
        const std::vector<Curve> now = drawnCurves("Waveforms");
        bool moved = false;
        for (size_t i = 0; !now.empty() && i < now[0].y.size() && i < firstBlock.size(); ++i)
            moved |= std::abs(now[0].y[i] - firstBlock[i]) > 0.05;
        return moved && kqsim_callCount("kq7150_readMultAcquisition") >= readsBefore + 3;
    });
    // While the cards acquire, the settings are locked and the repetitive button is the stop button.
    E2E_CHECK(gui.run([] {
        return !tabEnabled("Acquisition") && !tabEnabled("Function Cards") &&
               tabEnabled("FFT Amplitude Spectrum") && repetitiveDown() &&
               !Gui::child<QAbstractButton>(Gui::window(kMainWindow), "singleShotButton")->isEnabled();
    }));
    gui.click(kMainWindow, "repetitiveButton");
    gui.waitUntil("the start buttons released", startButtonsReleased);
    E2E_CHECK(gui.run([] { return tabEnabled("Acquisition"); }));
    expectNoReadsAfterStop();

    // A single shot triggered by channel 1 crossing the level upwards, a quarter into the block.
    gui.showTab(kMainWindow, "Acquisition");
    for (const char *item : {"Channel 1", "Rising", "25%"})
        pick(gui, kMainWindow, item);
    gui.run([] { typeInto(mainTab("Acquisition")->findChild<QDoubleSpinBox *>(), "0.5"); });
    gui.shot("settings");
    gui.showTab(kMainWindow, "Waveforms");
    E2E_CHECK(gui.run([] {
        const QList<QwtPlotMarker *> markers = triggerMarkers();
        return std::none_of(markers.begin(), markers.end(), [](QwtPlotMarker *m) { return m->isVisible(); });
    }));

    kqsim_clearCallLog();
    singleShot(gui, "the triggered block", [] { return kqsim_callCount("kq7150_readMultAcquisition") == 1; });
    E2E_EQ(lastCall("kq7150_setMultTrigConfig", {"source", "edge", "level", "preTrigger"}),
           "source=1 edge=1 level=0.5 preTrigger=64");
    E2E_EQ(lastCall("kq7150_multConfig", {"mode", "scansPerTrigger"}), "mode=1 scansPerTrigger=256");
    // The edge starts the block; a software pulse would have started it anywhere.
    E2E_EQ(kqsim_callCount("kq7150_generateITRI"), 0);

    const Curve seen = gui.run([] { return curvesOn("Waveforms")[0]; });
    // A quarter of the block precedes the trigger, which is at t = 0.
    E2E_CHECK(seen.y.size() == 256 && std::abs(seen.x[kPreTrigger]) < 1e-12 &&
              std::abs(seen.x[0] + kPreTrigger * 1e-4) < 1e-9);
    // The trigger scan is the first at or above the level after one below it. The card compares
    // the same input the block holds; 20 uV of noise cannot move the crossing by a whole scan.
    const double before = seen.y[kPreTrigger - 1], at = seen.y[kPreTrigger];
    E2E_CHECK(before < kLevel + 1e-4 && at >= kLevel - 1e-4 && at > before, before, " V, ", at, " V");
    E2E_CHECK(gui.run([] {
        const QList<QwtPlotMarker *> m = triggerMarkers();
        return m.size() == 1 && m[0]->isVisible() && m[0]->xValue() == 0.0 && m[0]->yValue() == kLevel;
    }));
    closeProgram(gui);
}

Registration acquire{{"acquire_untriggered_then_triggered", kWorld, nullptr, run, nullptr}};

} // namespace
