// Calibrating from the "Function Cards" tab: one channel with its own "Calibrate" button, then
// every channel of both cards with "Calibrate all Function Cards", in one session. The driver must be asked
// for exactly the channels the person chose, while the progress dialog says which one is under way.
#include "Steps.h"

namespace {

// Two cards on a carrier with a reference module, which calibration needs; each channel takes
// a while in the driver, long enough to be seen.
const std::string kWorld =
    vxiWorld(R"({"slot":1},{"slot":2})", R"("referenceVoltages":[0.0,2.5],)", R"("calibrationMs":200,)");

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
        int calibrations;          // calls made before the text was drawn
        std::string channel, card; // the last of them, and the session asked for last
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

// Clicks the button with this text on the page, calibrates, and returns what the progress dialog
// showed once the end is calm as a person sees it: the dialog gone, no message, the button usable
// again. The watch lives on the program's thread, as the paints it sees do. duringShot: a
// screenshot while the driver works on its 10th channel, when the program's thread is blocked.
std::vector<ProgressWatch::Seen> calibrate(Gui &gui, std::function<QWidget *()> page, const QString &text,
                                           const std::string &duringShot = "") {
    ProgressWatch *watch = gui.run([] { return new ProgressWatch(qApp); });
    kqsim_clearCallLog();
    gui.post([=] { Gui::clickWidget(Gui::button(page(), text)); });
    if (!duringShot.empty()) {
        gui.waitUntil("the 10th calibration call",
                      [] { return kqsim_callCount("kq7150_calibrateChannel") >= 10; });
        gui.shot(duringShot);
    }
    gui.waitWindow(kProgressTitle, false, seconds(30));
    return gui.run([=] {
        QAbstractButton *b = Gui::button(page(), text);
        E2E_CHECK(!QApplication::activeModalWidget() && b && b->isEnabled(), text);
        const std::unique_ptr<ProgressWatch> done(watch);
        return watch->seen;
    });
}

void run(Gui &gui) {
    takeEveryCard(gui, 2);
    // Channel 3 of the second card: one call, for that channel of that card only, announced first.
    showChannel(gui, 2, 3);
    auto seen = calibrate(
        gui, [] { return channelPage(2, 3); }, "Calibrate");
    E2E_EQ(describe(kqsim_callCount("kq7150_calibrateChannel"), " ", lastCall("kq7150_getMultFCsession"), " ",
                    lastCall("kq7150_calibrateChannel")),
           "1 fcIndex=1 channel=3");
    E2E_CHECK(seen.size() == 1 && seen[0].text == "Calibration in progress, please wait..." &&
              seen[0].modal && seen[0].calibrations == 0);

    // Every channel of both cards, card by card, each announced before the driver works on it: the
    // call before each text was the previous channel, on its own card's session.
    gui.showTab(kMainWindow, "Function Cards");
    seen = calibrate(
        gui, [] { return Gui::window(kMainWindow); }, "Calibrate all Function Cards", "all-during");
    E2E_EQ(kqsim_callCount("kq7150_calibrateChannel"), 16);
    E2E_EQ(seen.size(), 16u);
    const auto last = [](int step) {
        return describe(", the last fcIndex=", step / 8, " channel=", step % 8 + 1);
    };
    for (int step = 0; step < 16; ++step) {
        const ProgressWatch::Seen &s = seen[step];
        E2E_EQ(describe(s.modal ? "" : "not modal: ", s.text, " after ", s.calibrations, " calls",
                        step ? ", the last " + s.card + " " + s.channel : ""),
               describe("Calibrating Function Card #", step / 8 + 1, ", channel ", step % 8 + 1,
                        ", please wait... after ", step, " calls", step ? last(step - 1) : ""));
    }
    E2E_EQ(", the last " + lastCall("kq7150_getMultFCsession") + " " + lastCall("kq7150_calibrateChannel"),
           last(15));
    closeProgram(gui);
}

} // namespace

static Registration calibrate{{"calibrate_channel_then_all", kWorld, nullptr, run, nullptr}};
