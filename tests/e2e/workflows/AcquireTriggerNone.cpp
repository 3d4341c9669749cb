// Acquisitions without a trigger source: one block with the single-shot button, then block
// after block with the repetitive button until it is pressed again.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

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

QTabWidget *mainTabs() {
    return Gui::child<QTabWidget>(Gui::window(kMainWindow), "mainTabs");
}

bool tabEnabled(const QString &text) {
    const int index = mainTabs()->indexOf(Gui::tabPage(Gui::window(kMainWindow), text));
    E2E_CHECK(index >= 0, "no tab ", text.toStdString());
    return mainTabs()->isTabEnabled(index);
}

} // namespace

static Registration acquireTriggerNone{
    {"acquire_trigger_none", kWorld, nullptr,
     [](Gui &gui) {
         answerConnection(gui, "Auto Find");
         waitMainWindow(gui);

         gui.showTab(kMainWindow, "Acquisition");
         const QString source = gui.run([] {
             QComboBox *sources = Gui::comboWith(Gui::window(kMainWindow), "Front Panel High");
             return sources ? sources->currentText() : QString();
         });
         E2E_CHECK(source == "None", "trigger source at start: ", source.toStdString());
         gui.showTab(kMainWindow, "Waveforms");

         kqsim_clearCallLog();
         gui.click(kMainWindow, "singleShotButton");
         gui.waitUntil("the single-shot block",
                       [] { return !drawnCurves("Waveforms").empty() && startButtonsReleased(); });
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
         auto t = callArguments(trigger);
         E2E_CHECK(t["source"] == "0" && t["preTrigger"] == "0", "trigger: ", trigger);
         const std::string config = lastCall("kq7150_multConfig");
         auto c = callArguments(config);
         E2E_CHECK(c["masks"] == "0x0001" && c["rate"] == "10000" && c["mode"] == "0" &&
                       c["scansPerTrigger"] == "256",
                   "configuration: ", config);
         const int starts = kqsim_callCount("kq7150_startMultAcquisition");
         const int reads = kqsim_callCount("kq7150_readMultAcquisition");
         E2E_CHECK(starts == 1 && kqsim_callCount("kq7150_generateITRI") >= 1 &&
                       kqsim_callCount("kq7150_stopMultAcquisition") >= 1,
                   starts, " starts, ", kqsim_callCount("kq7150_generateITRI"), " software triggers, ",
                   kqsim_callCount("kq7150_stopMultAcquisition"), " stops");
         E2E_CHECK(reads == 1 && lastCall("kq7150_readMultAcquisition") == "scans=256", reads,
                   " reads, the last ", lastCall("kq7150_readMultAcquisition"));
         gui.shot("single-shot");

         // The spectrum of the same block: a rectangular window puts the whole 2 V tone into bin 16,
         // +6.02 dB relative to 1 V peak (the gain error is 0.01 dB at most).
         // Its legend starts with no channel selected, and shows what it selects.
         gui.showTab(kMainWindow, "FFT Amplitude Spectrum");
         E2E_CHECK(gui.run([] { return drawnCurves("FFT Amplitude Spectrum"); }).empty(),
                   "curves before a selection");
         gui.press(kMainWindow, "All");
         gui.waitUntil("the spectrum of the block",
                       [] { return !drawnCurves("FFT Amplitude Spectrum").empty(); });
         const std::vector<Curve> spectra = gui.run([] { return drawnCurves("FFT Amplitude Spectrum"); });
         E2E_CHECK(spectra.size() == 1 && spectra[0].y.size() == 128, "spectrum curves ", spectra.size());
         const Curve &spectrum = spectra[0];
         const size_t peak = std::max_element(spectrum.y.begin(), spectrum.y.end()) - spectrum.y.begin();
         E2E_CHECK(std::abs(spectrum.x[peak] - 625.0) < 1e-6 && std::abs(spectrum.y[peak] - 6.0206) < 0.05,
                   "spectrum peak ", spectrum.y[peak], " dB at ", spectrum.x[peak], " Hz");
         gui.shot("spectrum");
         gui.showTab(kMainWindow, "Waveforms");

         const int readsBefore = kqsim_callCount("kq7150_readMultAcquisition");
         gui.click(kMainWindow, "repetitiveButton");
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
             QWidget *w = Gui::window(kMainWindow);
             return !tabEnabled("Acquisition") && !tabEnabled("Function Cards") &&
                    tabEnabled("FFT Amplitude Spectrum") &&
                    Gui::child<QAbstractButton>(w, "repetitiveButton")->isChecked() &&
                    !Gui::child<QAbstractButton>(w, "singleShotButton")->isEnabled();
         });
         E2E_CHECK(running, "settings or start buttons free while the cards acquire");

         gui.click(kMainWindow, "repetitiveButton");
         gui.waitUntil("the start buttons released", startButtonsReleased);
         const int readsAtStop = kqsim_callCount("kq7150_readMultAcquisition");
         const int stopsAtStop = kqsim_callCount("kq7150_stopMultAcquisition");
         E2E_CHECK(gui.run([] { return tabEnabled("Acquisition"); }),
                   "the settings stay locked after the stop");
         // Nothing polls or reads once stopped.
         Gui::pause(std::chrono::milliseconds(300));
         E2E_CHECK(kqsim_callCount("kq7150_readMultAcquisition") == readsAtStop &&
                       kqsim_callCount("kq7150_stopMultAcquisition") == stopsAtStop,
                   "the cards are still read after the stop");
         closeProgram(gui);
     },
     nullptr}};
