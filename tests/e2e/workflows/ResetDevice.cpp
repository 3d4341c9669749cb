// Reset Device: a person changes a channel of the one card, presses "Reset Device" and
// expects the card and the channel page back at their defaults.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>

namespace {

// One 7150 with a programmable amplifier: Auto Find connects to it without a tree.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::9::INSTR"],"interface":"VXI","slot":4,
  "logicalAddress":9,"model":7005,"slots":4,"cards":[{"slot":1,"code":"0x7150","variant":"BB",
  "serial":"0x71500009"}]}]})";

QComboBox *gainChoice() {
    return Gui::comboWith(channelPage(1, 1), "1000");
}
QCheckBox *antiRinging() {
    return qobject_cast<QCheckBox *>(Gui::button(channelPage(1, 1), "Anti-Ringing Filter"));
}

void run(Gui &gui) {
    answerConnection(gui, "Auto Find");
    waitMainWindow(gui);
    showChannel(gui, 1, 1);
    E2E_CHECK(gui.run([] { return gainChoice() && antiRinging(); }), "no channel 1 page");

    // Gain 10 and the anti-ringing filter on.
    E2E_CHECK(gui.choose(gainChoice, "10") == "10", "gain 10 refused");
    gui.run([] { Gui::tick(channelPage(1, 1), "Anti-Ringing Filter"); });
    const std::string changed = lastCall("kq7150_setMultChanConfig");
    E2E_CHECK(changed == "channel=1 source=0 gain=10 highPass=0 antiRinging=1", changed);
    gui.shot("changed");

    // The reset asks nothing: the busy cursor comes and goes, and no box is left to answer.
    kqsim_clearCallLog();
    gui.press(kMainWindow, "Reset Device");
    gui.waitUntil("the driver's reset", [] { return kqsim_callCount("kq7150_multReset") == 1; });
    gui.waitUntil("the busy cursor to go", [] { return QApplication::overrideCursor() == nullptr; });
    E2E_CHECK(lastCall("kq7150_multReset") == "resetCards=1", lastCall("kq7150_multReset"));
    const bool boxShown = gui.run([] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox *>(w) && w->isVisible())
                return true;
        return false;
    });
    E2E_CHECK(!boxShown, "the reset left a message box");
    gui.shot("reset");

    // The cards are back at gain 1 without filters; the page must not claim otherwise.
    gui.waitUntil(
        "channel 1's page to show gain 1 and no anti-ringing filter after the reset",
        [] { return gainChoice()->currentText() == "1" && !antiRinging()->isChecked(); },
        std::chrono::seconds(3));

    closeProgram(gui);
}

Registration resetDevice{{"reset_device", kWorld, nullptr, run, nullptr}};

} // namespace
