// Demo mode: no cards, the demo signals of two function cards in the waveform view.
#include "Steps.h"

namespace {

int signChanges(const std::vector<double> &y) {
    int changes = 0;
    for (size_t i = 1; i < y.size(); ++i)
        changes += (y[i - 1] < 0) != (y[i] < 0);
    return changes;
}

} // namespace

static Registration demoMode{
    {"demo_mode", "", nullptr,
     [](Gui &gui) {
         answerConnection(gui, "Run In Demo Mode");
         waitMainWindow(gui);
         gui.shot("window");
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
