// Demo mode: no cards, the demo signals of two function cards in the waveform view.
#include "Steps.h"

static Registration demoMode{
    {"demo_mode", "", nullptr,
     [](Gui &gui) {
         answerConnection(gui, "Run In Demo Mode");
         waitMainWindow(gui);
         kqsim_clearCallLog();

         // Nothing is drawn before the first start: 2 cards x 8 channels of empty curves.
         const std::vector<Curve> before = gui.run([] { return curvesOn("Waveforms"); });
         E2E_CHECK(before.size() == 16, "curves: ", before.size());
         for (const Curve &c : before)
             E2E_CHECK(c.y.empty(), "a curve holds data before any acquisition");

         // Channel 1 of each card is enabled by default; the block replaces both curves at once.
         singleShot(gui, "the demo block", [] {
             const std::vector<Curve> curves = curvesOn("Waveforms");
             return !curves[0].y.empty() && !curves[8].y.empty();
         });

         const std::vector<Curve> curves = gui.run([] { return curvesOn("Waveforms"); });
         for (int i = 0; i < 16; ++i)
             E2E_CHECK(curves[i].y.empty() == (i % 8 != 0), "channel ", i % 8 + 1, " of card ", i / 8 + 1);
         // The demo signals themselves: the waveform view's unit tests.
         E2E_CHECK(curves[0].y.size() == 256 && curves[8].y.size() == 256, "scans drawn");
         const QString status = gui.run(statusLineText);
         E2E_CHECK(status.startsWith("Idle"), "status line: ", status.toStdString());
         // Demo mode never reaches for cards.
         for (const char *call :
              {"kq7150_multConfig", "kq7150_startMultAcquisition", "kq7150_readMultAcquisition"})
             E2E_CHECK(kqsim_callCount(call) == 0, call, " called ", kqsim_callCount(call), " times");
         gui.shot("waveforms");
         closeProgram(gui);
     },
     nullptr}};
