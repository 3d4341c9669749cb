// Configuring two cards on a carrier with a reference module, saving and opening again: a person
// sets channels on both cards (each accepted choice reaches the card as one configuration call
// with the whole setting), the acquisition and the plots, saves through the File menu, resets
// the device and changes everything else, and opens the file with Ctrl+Shift+O. The pages show
// the saved choices again, each page sends them to its card once, and the next acquisition runs
// with the saved rate, length and trigger. Last, the one motherboard reference, which a second
// channel (on the other card) may take only once it is free.
#include "Steps.h"

namespace {

// Two cards that offer every gain; a 2 V sine crosses the trigger level at once.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::7::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":7,"model":7005,"slots":4,"referenceVoltages":[0.0,2.5,5.0],
  "cards":[{"slot":1,"variant":"BB","serial":"0x71500021","signal":{"type":"sine","frequency":625,"amplitude":2.0}},
           {"slot":2,"variant":"BB","serial":"0x71500022","signal":{"type":"sine","frequency":625,"amplitude":2.0}}]}]})";

const QString kInfoTitle = "Movara 7150 SFP Info message";

std::function<QComboBox *()> onChannel(int card, int channel, const QString &item) {
    return [=] { return Gui::comboWith(channelPage(card, channel), item); };
}
std::function<QComboBox *()> onTab(const QString &tab, const QString &item) {
    return [=] { return Gui::comboWith(mainTab(tab), item); };
}
// Found also when its page is not in front.
QCheckBox *boxOn(QWidget *page, const QString &text) {
    for (QCheckBox *box : page->findChildren<QCheckBox *>())
        if (box->text() == text)
            return box;
    throw E2eFailure("no check box " + text.toStdString());
}
QCheckBox *snapToSample() {
    return boxOn(mainTab("FFT Amplitude Spectrum"), "Snap to Sample");
}
void set(Gui &gui, std::function<QComboBox *()> find, const QString &item) {
    E2E_CHECK(gui.choose(find, item) == item, "'", item.toStdString(), "' not taken");
}
// Counts the configuration calls the cards receive and checks the last one.
struct Sent {
    int calls = 0;
    void expect(int channel, int source, int gain, int highPass, int antiRinging) {
        E2E_CHECK(kqsim_callCount("kq7150_setMultChanConfig") == ++calls, "configuration calls ",
                  kqsim_callCount("kq7150_setMultChanConfig"), ", expected ", calls);
        const std::string sent = lastCall("kq7150_setMultChanConfig");
        const std::string expected = e2eText("channel=", channel, " source=", source, " gain=", gain,
                                             " highPass=", highPass, " antiRinging=", antiRinging);
        E2E_CHECK(sent == expected, "sent ", sent, ", expected ", expected);
    }
};

// Per tab, the choices made before saving, and the others chosen before opening.
struct Choice {
    QString tab, offering, saved, other;
};
const Choice kChoices[] = {{"Acquisition", "131072", "512", "1024"},
                           {"Acquisition", "216 kHz", "20 kHz", "1 kHz"},
                           {"Acquisition", "Hann", "Hann", "Blackman"},
                           {"Acquisition", "100 x", "5 x", "Off"},
                           {"Acquisition", "Front Panel High", "Channel 2", "None"},
                           {"Acquisition", "Rising", "Rising", ""},
                           {"Acquisition", "75%", "25%", ""},
                           {"Waveforms", "Large", "Medium", "None"},
                           {"FFT Amplitude Spectrum", "Large", "Small", "None"}};

// The choices of the tabs after the pages: saved, or the others.
void chooseOnTabs(Gui &gui, bool saved) {
    for (const Choice &c : kChoices) {
        if (!saved && c.other.isEmpty())
            continue;
        gui.showTab(kMainWindow, c.tab);
        set(gui, onTab(c.tab, c.offering), saved ? c.saved : c.other);
        if (saved && c.offering == "75%")
            gui.run([] { typeInto(mainTab("Acquisition")->findChild<QDoubleSpinBox *>(), "0.5"); });
    }
    gui.run([] { Gui::clickWidget(snapToSample()); });
    E2E_CHECK(gui.run([] { return snapToSample()->isChecked(); }) != saved, "Snap to Sample not switched");
}

void makeSettings(Gui &gui) {
    showChannel(gui, 1, 1);
    kqsim_clearCallLog();
    Sent sent;
    // Card 1, channel 1 (driver channel 1) starts as "Front Panel Diff", AC, gain 1, no filters.
    set(gui, onChannel(1, 1, "Front Panel Diff"), "Front Panel Single");
    sent.expect(1, 1, 1, 0, 0);
    set(gui, onChannel(1, 1, "AC"), "DC");
    sent.expect(1, 3, 1, 0, 0);
    set(gui, onChannel(1, 1, "1000"), "100");
    sent.expect(1, 3, 100, 0, 0);
    gui.run([] { Gui::tick(channelPage(1, 1), "High-Pass Filter"); });
    sent.expect(1, 3, 100, 1, 0);
    showChannel(gui, 1, 2);
    gui.run([] { Gui::tick(channelPage(1, 2), "Enabled"); });
    showChannel(gui, 2, 8);
    gui.run([] { Gui::tick(channelPage(2, 8), "Enabled"); });
    set(gui, onChannel(2, 8, "Front Panel Diff"), "Front Panel Single");
    sent.expect(16, 1, 1, 0, 0);
    set(gui, onChannel(2, 8, "1000"), "20");
    sent.expect(16, 1, 20, 0, 0);
    gui.run([] { Gui::tick(channelPage(2, 8), "Anti-Ringing Filter"); });
    sent.expect(16, 1, 20, 0, 1);
    chooseOnTabs(gui, true);
}

// The reset asks nothing: the busy cursor comes and goes, no box is left to answer, and the
// pages must not claim other settings than the cards' defaults.
void resetDevice(Gui &gui) {
    kqsim_clearCallLog();
    gui.press(kMainWindow, "Reset Device");
    gui.waitUntil("the driver's reset", [] { return kqsim_callCount("kq7150_multReset") == 1; });
    gui.waitUntil("the busy cursor to go", [] { return QApplication::overrideCursor() == nullptr; });
    E2E_CHECK(lastCall("kq7150_multReset") == "resetCards=1" &&
                  !gui.run([] { return QApplication::activeModalWidget(); }),
              "the reset: ", lastCall("kq7150_multReset"), ", or a box left");
    gui.waitUntil(
        "the pages at gain 1 without filters after the reset",
        [] {
            return onChannel(1, 1, "1000")()->currentText() == "1" &&
                   !boxOn(channelPage(2, 8), "Enabled")->isChecked() &&
                   !boxOn(channelPage(2, 8), "Anti-Ringing Filter")->isChecked() &&
                   !boxOn(channelPage(1, 1), "High-Pass Filter")->isChecked();
        },
        std::chrono::seconds(3));
}

void checkPages(Gui &gui) {
    struct Page {
        int card, channel;
        const char *shows;
    };
    const Page expected[] = {{1, 1, "Front Panel Single, DC, 100, 101"},
                             {1, 2, "Front Panel Diff, AC, 1, 001"},
                             {1, 3, "Front Panel Diff, AC, 1, 000"},
                             {2, 1, "Front Panel Diff, AC, 1, 001"},
                             {2, 8, "Front Panel Single, AC, 20, 011"}};
    for (const Page &p : expected) {
        const std::string shown = gui.run([=] {
            QWidget *page = channelPage(p.card, p.channel);
            return e2eText(Gui::comboWith(page, "TEDS")->currentText().toStdString(), ", ",
                           Gui::comboWith(page, "AC")->currentText().toStdString(), ", ",
                           Gui::comboWith(page, "1000")->currentText().toStdString(), ", ",
                           boxOn(page, "High-Pass Filter")->isChecked(),
                           boxOn(page, "Anti-Ringing Filter")->isChecked(),
                           boxOn(page, "Enabled")->isChecked());
        });
        E2E_CHECK(shown == p.shows, "card ", p.card, " channel ", p.channel, " shows ", shown, ", saved ",
                  p.shows);
    }
    for (const Choice &c : kChoices) {
        const QString shown = gui.run([&] { return onTab(c.tab, c.offering)()->currentText(); });
        E2E_CHECK(shown == c.saved, c.tab.toStdString(), " shows ", shown.toStdString(), ", saved ",
                  c.saved.toStdString());
    }
    // A channel source lets the person place the trigger, as choosing it does.
    E2E_CHECK(gui.run([] {
        return onTab("Acquisition", "75%")()->isEnabled() && onTab("Acquisition", "Rising")()->isEnabled();
    }),
              "edge and position locked after a channel source was opened");
    E2E_CHECK(!gui.run([] { return snapToSample()->isChecked(); }), "Snap to Sample not restored");
}

void saveOpenAndAcquire(Gui &gui) {
    const std::string path = e2eWorkDir() + "/bench setup";
    gui.showTab(kMainWindow, "Function Cards");
    fileMenuItem(gui, "Save Configuration...");
    answerFileDialog(gui, "Save Configuration", path);
    // Without a suffix typed, the file gets the one of its type (its lines: the configuration
    // file's unit tests; what it carries shows when it is opened below).
    gui.waitUntil("the saved file", [&] { return QFileInfo::exists(QString::fromStdString(path + ".ini")); });

    resetDevice(gui);
    chooseOnTabs(gui, false);
    kqsim_clearCallLog();
    // The shortcut, as the menu names it.
    pressShortcut(gui, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    answerFileDialog(gui, "Open Configuration", path + ".ini");
    gui.waitUntil("every page configured", [] { return kqsim_callCount("kq7150_setMultChanConfig") == 16; });
    // Pages go card by card, channel by channel: card 2's channel 8 (driver channel 16) last.
    E2E_CHECK(lastCall("kq7150_setMultChanConfig") == "channel=16 source=1 gain=20 highPass=0 antiRinging=1",
              "card 2 channel 8 sent ", lastCall("kq7150_setMultChanConfig"));
    E2E_CHECK(!Gui::window(kWarningTitle), "a warning about a configuration that fits");
    checkPages(gui);

    singleShot(gui, "the triggered block", [] { return kqsim_callCount("kq7150_setMultTrigConfig") == 1; });
    auto trigger = callArguments(lastCall("kq7150_setMultTrigConfig"));
    E2E_CHECK(trigger["source"] == "2" && trigger["edge"] == "1" && trigger["level"] == "0.5" &&
                  trigger["preTrigger"] == "128",
              "trigger: ", lastCall("kq7150_setMultTrigConfig"));
    auto config = callArguments(lastCall("kq7150_multConfig"));
    E2E_CHECK(config["rate"] == "20000" && config["scansPerTrigger"] == "512",
              "configuration: ", lastCall("kq7150_multConfig"));
}

// The one motherboard reference: a second channel gets it only once the first lets go of it
// (the coupling each source fixes, the output voltage: the pages' unit tests).
void shareReference(Gui &gui) {
    showChannel(gui, 1, 1);
    kqsim_clearCallLog();
    Sent sent;
    set(gui, onChannel(1, 1, "Front Panel Diff"), "MB Voltage Reference");
    sent.expect(1, 4, 100, 1, 0);
    gui.choose([] { return Gui::child<QComboBox>(channelTabs(1)->parentWidget(), "vrefChoice"); },
               "2.5000 V");
    gui.shot("card1-reference");

    // Card 2, channel 5 (driver channel 13) asks for the reference card 1 holds: refused.
    showChannel(gui, 2, 5);
    gui.run([] { Gui::tick(channelPage(2, 5), "Enabled"); });
    set(gui, onChannel(2, 5, "Front Panel Diff"), "MB Voltage Reference");
    const QString refusal = messageText(gui, kInfoTitle);
    E2E_CHECK(refusal == "Only one channel can be connected to the Voltage Reference", refusal.toStdString());
    gui.press(kInfoTitle, "OK");
    gui.waitNoWindow(kInfoTitle);
    E2E_CHECK(kqsim_callCount("kq7150_setMultChanConfig") == sent.calls && gui.run([] {
        return onChannel(2, 5, "Front Panel Diff")()->currentText();
    }) == "Front Panel Diff",
              "the refused choice reached the card or did not revert");

    // "TEDS" lets go of it.
    showChannel(gui, 1, 1);
    set(gui, onChannel(1, 1, "Front Panel Diff"), "TEDS");
    sent.expect(1, 6, 100, 1, 0);
    showChannel(gui, 2, 5);
    set(gui, onChannel(2, 5, "Front Panel Diff"), "MB Voltage Reference");
    sent.expect(13, 4, 1, 0, 0);
}

void run(Gui &gui) {
    takeEveryCard(gui, 2);
    makeSettings(gui);
    saveOpenAndAcquire(gui);
    shareReference(gui);
    closeProgram(gui);
}

Registration configure{{"configure_save_open", kWorld, nullptr, run, nullptr}};

} // namespace
