// A single shot triggered by channel 1 crossing a level upwards, the trigger a quarter into
// the block: the cards are told so, the block holds the crossing there and the plot marks it.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

// Qwt comes with the program; the trigger marker is read through it.
#include <qwt/qwt_plot.h>
#include <qwt/qwt_plot_marker.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include <cmath>
#include <string>
#include <vector>

namespace {

// A 2 V sine at 625 Hz rises by up to 0.79 V from scan to scan at 10 kHz: the crossing of
// 0.5 V lies clearly between two scans.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::7::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":7,"model":7005,"slots":4,"cards":[{"slot":1,"code":"0x7150","variant":"BB",
  "serial":"0x71500012","signal":{"type":"sine","frequency":625,"amplitude":2.0,"noiseRms":20e-6}}]}]})";

constexpr double kLevel = 0.5;
constexpr int kPreTrigger = 64; // "25%" of 256 scans

// The control in the row of a settings group whose label reads `label`.
template <typename T> T *control(const QString &group, const QString &label) {
    for (QGroupBox *box : Gui::window(kMainWindow)->findChildren<QGroupBox *>()) {
        auto *grid = qobject_cast<QGridLayout *>(box->layout());
        for (int r = 0; grid && box->title() == group && r < grid->rowCount(); ++r) {
            QLayoutItem *name = grid->itemAtPosition(r, 0), *field = grid->itemAtPosition(r, 1);
            auto *text = name ? qobject_cast<QLabel *>(name->widget()) : nullptr;
            if (text && field && text->text().trimmed() == label)
                return qobject_cast<T *>(field->widget());
        }
    }
    throw E2eFailure("no control '" + label.toStdString() + "' in group '" + group.toStdString() + "'");
}

} // namespace

static Registration acquireTriggerChannel{
    {"acquire_trigger_channel", kWorld, nullptr,
     [](Gui &gui) {
         answerConnection(gui, "Auto Find");
         waitMainWindow(gui);
         gui.showTab(kMainWindow, "Acquisition");

         // How many of edge, level and position can be chosen.
         const auto details = [] {
             return control<QComboBox>("Trigger", "Edge")->isEnabled() +
                    control<QDoubleSpinBox>("Trigger", "Level")->isEnabled() +
                    control<QComboBox>("Acquisition", "Trigger Position")->isEnabled();
         };
         // A choice of the settings, picked as a person does.
         const auto pick = [&gui](const char *group, const char *label, const QString &item) {
             const QString shown = gui.choose([=] { return control<QComboBox>(group, label); }, item);
             E2E_CHECK(shown == item, "'", item.toStdString(), "' not reached");
         };
         // Without a source there is no edge, level or position to choose.
         E2E_CHECK(gui.run(details) == 0, "trigger details offered without a trigger source");
         pick("Trigger", "Source", "Channel 1");
         E2E_CHECK(gui.run(details) == 3, "a channel source does not offer edge, level and position");
         pick("Trigger", "Edge", "Rising");
         pick("Acquisition", "Trigger Position", "25%");
         gui.run([] {
             auto *level = control<QDoubleSpinBox>("Trigger", "Level");
             level->setFocus();
             QTest::keyClick(level, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClicks(level, "0.5");
             QTest::keyClick(level, Qt::Key_Return);
             E2E_CHECK(level->value() == kLevel, "level reads ", level->value());
         });
         gui.shot("settings");
         gui.showTab(kMainWindow, "Waveforms");
         E2E_CHECK(gui.run([] {
             for (QwtPlotItem *marker : plotOn("Waveforms")->itemList(QwtPlotItem::Rtti_PlotMarker))
                 if (marker->isVisible())
                     return false;
             return true;
         }),
                   "a trigger marker before any triggered block");

         kqsim_clearCallLog();
         gui.click(kMainWindow, "singleShotButton");
         gui.waitUntil("the triggered block",
                       [] { return !curvesOn("Waveforms")[0].y.empty() && startButtonsReleased(); });

         const std::string trigger = lastCall("kq7150_setMultTrigConfig");
         auto t = callArguments(trigger);
         E2E_CHECK(t["source"] == "1" && t["edge"] == "1" && t["level"] == "0.5" && t["preTrigger"] == "64",
                   "trigger: ", trigger);
         const std::string config = lastCall("kq7150_multConfig");
         auto c = callArguments(config);
         E2E_CHECK(c["mode"] == "1" && c["scansPerTrigger"] == "256", "configuration: ", config);
         // The edge starts the block; a software pulse would have started it anywhere.
         E2E_CHECK(kqsim_callCount("kq7150_generateITRI") == 0,
                   "software triggers: ", kqsim_callCount("kq7150_generateITRI"));

         struct Seen : Curve {
             int markers = 0;
             double markerX = NAN, markerY = NAN;
             bool markerVisible = false;
         };
         const Seen seen = gui.run([] {
             Seen s{curvesOn("Waveforms")[0]};
             // The time cursors' lines are markers too, titled "Cursor 1" and "Cursor 2".
             QwtPlotItemList markers;
             for (QwtPlotItem *item : plotOn("Waveforms")->itemList(QwtPlotItem::Rtti_PlotMarker))
                 if (!item->title().text().startsWith("Cursor"))
                     markers << item;
             s.markers = markers.size();
             if (!markers.isEmpty()) {
                 auto *marker = static_cast<QwtPlotMarker *>(markers[0]);
                 s.markerX = marker->xValue();
                 s.markerY = marker->yValue();
                 s.markerVisible = marker->isVisible();
             }
             return s;
         });
         E2E_CHECK(seen.y.size() == 256, seen.y.size(), " scans drawn");
         // A quarter of the block precedes the trigger, which is at t = 0.
         E2E_CHECK(std::abs(seen.x[kPreTrigger]) < 1e-12 && std::abs(seen.x[0] + kPreTrigger * 1e-4) < 1e-9,
                   "time axis starts at ", seen.x[0], " s, trigger scan at ", seen.x[kPreTrigger], " s");
         // The trigger scan is the first at or above the level after one below it. The card compares
         // the same input the block holds; 20 uV of noise cannot move the crossing by a whole scan.
         const double before = seen.y[kPreTrigger - 1], at = seen.y[kPreTrigger];
         E2E_CHECK(before < kLevel + 1e-4 && at >= kLevel - 1e-4 && at > before,
                   "around the trigger: ", before, " V, ", at, " V");
         E2E_CHECK(seen.markers == 1 && seen.markerVisible && seen.markerX == 0.0 && seen.markerY == kLevel,
                   "trigger marker: ", seen.markers, " at (", seen.markerX, ", ", seen.markerY, ")");
         gui.shot("triggered");
         closeProgram(gui);
     },
     nullptr}};
