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
#include <QTabWidget>
#include <QTest>

namespace {

// One 7150 with a programmable amplifier: Auto Find connects to it without a tree.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::9::INSTR"],"interface":"VXI","slot":4,
  "logicalAddress":9,"model":7005,"slots":4,"cards":[{"slot":1,"code":"0x7150","variant":"BB",
  "serial":"0x71500009"}]}]})";
const QString kWindowTitle = kMainTitle + "(: .*)?";

// The page of channel 1 of the one card.
QWidget *channelPage()
{
    auto *cards = Gui::child<QTabWidget>(Gui::window(kWindowTitle), "fcTab");
    auto *channels = cards ? cards->widget(0)->findChild<QTabWidget *>() : nullptr;
    return channels ? channels->widget(0) : nullptr;
}

QComboBox *gainChoice()
{
    for (QComboBox *choice : channelPage()->findChildren<QComboBox *>())
        if (choice->toolTip().startsWith("Selects the gain"))
            return choice;
    return nullptr;
}

QCheckBox *antiRinging()
{
    for (QCheckBox *box : channelPage()->findChildren<QCheckBox *>())
        if (box->text() == "Anti-Ringing Filter")
            return box;
    return nullptr;
}

std::string lastCall(const char *call)
{
    char text[512] = {};
    kqsim_lastCall(call, text, sizeof text);
    return text;
}

void run(Gui &gui)
{
    answerConnection(gui, "Auto Find");
    gui.waitWindow(kWindowTitle, std::chrono::seconds(30));
    gui.waitNoWindow("Movara 7150 SFP: Starting");
    gui.showTab(kWindowTitle, "Function Cards");
    E2E_CHECK(gui.run([] { return channelPage() && gainChoice() && antiRinging(); }), "no channel 1 page");

    // Gain 10 (three steps down the list 1, 2, 5, 10) and the anti-ringing filter on.
    gui.run([] {
        QComboBox *gain = gainChoice();
        gain->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(gain, Qt::Key_Down);
        antiRinging()->setFocus();
        QTest::keyClick(antiRinging(), Qt::Key_Space);
    });
    const std::string changed = lastCall("kq7150_setMultChanConfig");
    E2E_CHECK(changed == "channel=1 source=0 gain=10 highPass=0 antiRinging=1", changed);
    gui.shot("changed");

    // The reset asks nothing: the busy cursor comes and goes, and no box is left to answer.
    kqsim_clearCallLog();
    gui.press(kWindowTitle, "Reset Device");
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

    gui.press(kWindowTitle, "Close");
    gui.waitWindow(kBoxTitle);
    gui.press(kBoxTitle, "Yes");
}

Registration resetDevice{{"reset_device", kWorld, nullptr, run, nullptr}};

} // namespace
