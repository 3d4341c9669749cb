// Calibrating from the "Function Cards" tab: one channel with its own "Calibrate" button, then
// every channel of both cards with "Calibrate all Function Cards", in one session. The driver must be asked
// for exactly the channels the person chose, while the progress dialog says which one is under way.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>

#include <vector>

namespace {

// Two cards on a carrier with a reference module, which calibration needs; each channel takes
// a while in the driver, long enough to be seen.
const char kWorld[] = R"({"calibrationMs":200,"carriers":[{"resources":["VXI0::7::INSTR"],"interface":"VXI",
  "slot":2,"logicalAddress":7,"model":7005,"slots":4,"referenceVoltages":[0.0,2.5],"cards":[{"slot":1},{"slot":2}]}]})";

const QString kProgressTitle = "Movara 7150 Calibration";

// What the progress dialog showed each time its text was drawn, with what the driver had been
// asked by then. The calibration blocks the event loop, so only the paints it forces can be
// watched, on the program's thread.
class ProgressWatch : public QObject {
public:
    explicit ProgressWatch(QObject *parent) : QObject(parent) { qApp->installEventFilter(this); }
    struct Seen {
        QString text;
        bool modal;
        int calibrations;    // calls made before the text was drawn
        std::string channel; // the last of them
        std::string card;    // the session asked for last
    };
    std::vector<Seen> seen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *label = qobject_cast<QLabel *>(watched);
        if (event->type() == QEvent::Paint && label && !label->text().isEmpty() &&
            label->window()->windowTitle() == kProgressTitle &&
            (seen.empty() || seen.back().text != label->text()))
            seen.push_back({label->text(), label->window()->isModal(),
                            kqsim_callCount("kq7150_calibrateChannel"), lastCall("kq7150_calibrateChannel"),
                            lastCall("kq7150_getMultFCsession")});
        return false;
    }
};

// Starts watching the progress dialog with an empty call log; the watch lives on the
// program's thread, as the paints it sees do.
ProgressWatch *watchProgress(Gui &gui) {
    ProgressWatch *watch = gui.run([] { return new ProgressWatch(qApp); });
    kqsim_clearCallLog();
    return watch;
}

// The screenshot while the driver is busy with a call: the program's thread is blocked then,
// so the driver's own log tells when the call has begun.
void shotDuringCall(Gui &gui, int calls, const std::string &step) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (kqsim_callCount("kq7150_calibrateChannel") < calls) {
        E2E_CHECK(std::chrono::steady_clock::now() < end, "calibration call ", calls, " never came");
        Gui::pause(std::chrono::milliseconds(5));
    }
    gui.shot(step);
}

// The end as a person sees it: the dialog gone, no message, the button usable again. Returns
// what the dialog showed.
std::vector<ProgressWatch::Seen> expectCalmEnd(Gui &gui, ProgressWatch *watch, const QString &buttonText) {
    gui.waitNoWindow(kProgressTitle, std::chrono::seconds(30));
    E2E_CHECK(gui.run([buttonText] {
        QAbstractButton *b = Gui::button(Gui::window(kMainWindow), buttonText);
        return !QApplication::activeModalWidget() && b && b->isEnabled();
    }),
              "a dialog is left open or '", buttonText.toStdString(), "' is not usable");
    return gui.run([watch] {
        const std::vector<ProgressWatch::Seen> seen = watch->seen;
        delete watch;
        return seen;
    });
}

// Channel 3 of the second card: one call, for that channel of that card only.
void calibrateOneChannel(Gui &gui) {
    showChannel(gui, 2, 3);

    ProgressWatch *watch = watchProgress(gui);
    gui.post([] { Gui::clickWidget(Gui::button(channelPage(2, 3), "Calibrate")); });
    shotDuringCall(gui, 1, "channel-during");
    const auto seen = expectCalmEnd(gui, watch, "Calibrate");
    gui.shot("channel-after");

    E2E_CHECK(kqsim_callCount("kq7150_calibrateChannel") == 1,
              "calls: ", kqsim_callCount("kq7150_calibrateChannel"));
    E2E_CHECK(lastCall("kq7150_calibrateChannel") == "channel=3", lastCall("kq7150_calibrateChannel"));
    E2E_CHECK(lastCall("kq7150_getMultFCsession") == "fcIndex=1", lastCall("kq7150_getMultFCsession"));
    E2E_CHECK(seen.size() == 1 && seen[0].text == "Calibration in progress, please wait..." &&
                  seen[0].modal && seen[0].calibrations == 0,
              "the dialog did not show its text before the calibration began (", seen.size(), " texts)");
}

// Every channel of both cards, card by card, each announced before the driver works on it.
void calibrateAllCards(Gui &gui) {
    gui.showTab(kMainWindow, "Function Cards");
    ProgressWatch *watch = watchProgress(gui);
    gui.post([] { Gui::clickWidget(Gui::button(Gui::window(kMainWindow), "Calibrate all Function Cards")); });
    shotDuringCall(gui, 10, "all-during");
    const auto seen = expectCalmEnd(gui, watch, "Calibrate all Function Cards");
    gui.shot("all-after");

    E2E_CHECK(kqsim_callCount("kq7150_calibrateChannel") == 16,
              "calls: ", kqsim_callCount("kq7150_calibrateChannel"));
    E2E_CHECK(seen.size() == 16, "the dialog showed ", seen.size(), " texts, not 16");
    for (int step = 0; step < 16; ++step) {
        const QString expected = QString("Calibrating Function Card #%1, channel %2, please wait...")
                                     .arg(step / 8 + 1)
                                     .arg(step % 8 + 1);
        E2E_CHECK(seen[step].text == expected && seen[step].modal, "step ", step, ": ",
                  seen[step].text.toStdString());
        E2E_CHECK(seen[step].calibrations == step, "step ", step, " shown after ", seen[step].calibrations,
                  " calls");
        // The call before this text was the previous channel, on its own card's session.
        if (const int before = step - 1; before >= 0)
            E2E_CHECK(seen[step].channel == "channel=" + std::to_string(before % 8 + 1) &&
                          seen[step].card == "fcIndex=" + std::to_string(before / 8),
                      "step ", step, " follows ", seen[step].card, " ", seen[step].channel);
    }
    E2E_CHECK(lastCall("kq7150_calibrateChannel") == "channel=8" &&
                  lastCall("kq7150_getMultFCsession") == "fcIndex=1",
              "the last call: ", lastCall("kq7150_getMultFCsession"), " ",
              lastCall("kq7150_calibrateChannel"));
}

void run(Gui &gui) {
    takeEveryCard(gui, 2);
    calibrateOneChannel(gui);
    calibrateAllCards(gui);
    closeProgram(gui);
}

} // namespace

static Registration calibrate{{"calibrate_channel_then_all", kWorld, nullptr, run, nullptr}};
