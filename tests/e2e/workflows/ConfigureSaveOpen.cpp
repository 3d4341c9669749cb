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
const std::string kWorld =
    vxiWorld(R"({"slot":1,"serial":"0x71500021","signal":{"type":"sine","frequency":625,
  "amplitude":2.0}},{"slot":2,"serial":"0x71500022","signal":{"type":"sine","frequency":625,"amplitude":2.0}})",
             R"("referenceVoltages":[0.0,2.5,5.0],)");

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
    throw E2eFailure(describe("no check box ", text));
}
QCheckBox *snapToSample() {
    return boxOn(mainTab("FFT Amplitude Spectrum"), "Snap to Sample");
}

// A person's change on a channel page: the choice offering `offering` set to item, or (no item)
// the box named `offering` ticked. The card then gets one configuration call with the whole
// setting (sent: driver channel, source, gain, high-pass, anti-ringing), or none (sent empty).
struct Change {
    int card, channel;
    QString offering, item;
    std::vector<int> sent;
};
// Applies the changes, counting the configuration calls the cards receive from calls on.
int change(Gui &gui, const std::vector<Change> &changes, int calls = 0) {
    for (const Change &c : changes) {
        showChannel(gui, c.card, c.channel);
        if (c.item.isEmpty())
            gui.run([&] { Gui::tick(channelPage(c.card, c.channel), c.offering); });
        else
            gui.choose(onChannel(c.card, c.channel, c.offering), c.item);
        if (c.sent.empty())
            continue;
        E2E_EQ(kqsim_callCount("kq7150_setMultChanConfig"), ++calls);
        E2E_EQ(lastCall("kq7150_setMultChanConfig"),
               describe("channel=", c.sent[0], " source=", c.sent[1], " gain=", c.sent[2],
                        " highPass=", c.sent[3], " antiRinging=", c.sent[4]));
    }
    return calls;
}

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
        gui.choose(onTab(c.tab, c.offering), saved ? c.saved : c.other);
        if (saved && c.offering == "75%")
            gui.run([] { typeInto(mainTab("Acquisition")->findChild<QDoubleSpinBox *>(), "0.5"); });
    }
    gui.run([] { Gui::clickWidget(snapToSample()); });
    E2E_CHECK(gui.run([] { return snapToSample()->isChecked(); }) != saved);
}

// The reset asks nothing: the busy cursor comes and goes, no box is left to answer, and the
// pages must not claim other settings than the cards' defaults.
void resetDevice(Gui &gui) {
    kqsim_clearCallLog();
    gui.press(kMainWindow, "Reset Device");
    gui.waitUntil("the driver's reset", [] { return kqsim_callCount("kq7150_multReset") == 1; });
    gui.waitUntil("the busy cursor to go", [] { return QApplication::overrideCursor() == nullptr; });
    E2E_EQ(lastCall("kq7150_multReset"), "resetCards=1");
    E2E_CHECK(!gui.run([] { return QApplication::activeModalWidget(); }));
    gui.waitUntil(
        "the pages at gain 1 without filters after the reset",
        [] {
            return onChannel(1, 1, "1000")()->currentText() == "1" &&
                   !boxOn(channelPage(2, 8), "Enabled")->isChecked() &&
                   !boxOn(channelPage(2, 8), "Anti-Ringing Filter")->isChecked() &&
                   !boxOn(channelPage(1, 1), "High-Pass Filter")->isChecked();
        },
        seconds(3));
}

void checkPages(Gui &gui) {
    // Source, coupling, gain, then high-pass, anti-ringing and enabled as 0 or 1.
    const std::map<std::pair<int, int>, std::string> expected = {{{1, 1}, "Front Panel Single, DC, 100, 101"},
                                                                 {{1, 2}, "Front Panel Diff, AC, 1, 001"},
                                                                 {{1, 3}, "Front Panel Diff, AC, 1, 000"},
                                                                 {{2, 1}, "Front Panel Diff, AC, 1, 001"},
                                                                 {{2, 8}, "Front Panel Single, AC, 20, 011"}};
    for (const auto &[at, shows] : expected)
        E2E_EQ(gui.run([at = at] {
            QWidget *page = channelPage(at.first, at.second);
            return describe(
                Gui::comboWith(page, "TEDS")->currentText(), ", ", Gui::comboWith(page, "AC")->currentText(),
                ", ", Gui::comboWith(page, "1000")->currentText(), ", ",
                boxOn(page, "High-Pass Filter")->isChecked(), boxOn(page, "Anti-Ringing Filter")->isChecked(),
                boxOn(page, "Enabled")->isChecked());
        }),
               shows);
    for (const Choice &c : kChoices)
        E2E_EQ(gui.run([&] { return onTab(c.tab, c.offering)()->currentText(); }), c.saved);
    // A channel source lets the person place the trigger, as choosing it does.
    E2E_CHECK(gui.run([] {
        return onTab("Acquisition", "75%")()->isEnabled() && onTab("Acquisition", "Rising")()->isEnabled();
    }));
    E2E_CHECK(!gui.run([] { return snapToSample()->isChecked(); }));
}

void saveOpenAndAcquire(Gui &gui) {
    const std::string path = e2eWorkDir("bench setup");
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
    E2E_EQ(lastCall("kq7150_setMultChanConfig"), "channel=16 source=1 gain=20 highPass=0 antiRinging=1");
    E2E_CHECK(!Gui::window(kWarningTitle), "a warning about a configuration that fits");
    checkPages(gui);

    singleShot(gui, "the triggered block", [] { return kqsim_callCount("kq7150_setMultTrigConfig") == 1; });
    E2E_EQ(lastCall("kq7150_setMultTrigConfig", {"source", "edge", "level", "preTrigger"}),
           "source=2 edge=1 level=0.5 preTrigger=128");
    E2E_EQ(lastCall("kq7150_multConfig", {"rate", "scansPerTrigger"}), "rate=20000 scansPerTrigger=512");
}

// The one motherboard reference: a second channel gets it only once the first lets go of it
// (the coupling each source fixes, the output voltage: the pages' unit tests).
void shareReference(Gui &gui) {
    kqsim_clearCallLog();
    int calls = change(gui, {{1, 1, "Front Panel Diff", "MB Voltage Reference", {1, 4, 100, 1, 0}}});
    gui.choose([] { return Gui::child<QComboBox>(channelTabs(1)->parentWidget(), "vrefChoice"); },
               "2.5000 V");
    gui.shot("card1-reference");

    // Card 2, channel 5 (driver channel 13) asks for the reference card 1 holds: refused.
    change(gui, {{2, 5, "Enabled", "", {}}});
    gui.choose(onChannel(2, 5, "Front Panel Diff"), "MB Voltage Reference");
    E2E_EQ(messageText(gui, kInfoTitle), "Only one channel can be connected to the Voltage Reference");
    gui.press(kInfoTitle, "OK");
    gui.waitWindow(kInfoTitle, false);
    E2E_EQ(kqsim_callCount("kq7150_setMultChanConfig"), calls);
    E2E_EQ(gui.run([] { return onChannel(2, 5, "Front Panel Diff")()->currentText(); }), "Front Panel Diff");

    // "TEDS" lets go of it.
    change(gui,
           {{1, 1, "Front Panel Diff", "TEDS", {1, 6, 100, 1, 0}},
            {2, 5, "Front Panel Diff", "MB Voltage Reference", {13, 4, 1, 0, 0}}},
           calls);
}

void run(Gui &gui) {
    takeEveryCard(gui, 2);
    kqsim_clearCallLog();
    // Card 1, channel 1 (driver channel 1) starts as "Front Panel Diff", AC, gain 1, no filters.
    change(gui, {{1, 1, "Front Panel Diff", "Front Panel Single", {1, 1, 1, 0, 0}},
                 {1, 1, "AC", "DC", {1, 3, 1, 0, 0}},
                 {1, 1, "1000", "100", {1, 3, 100, 0, 0}},
                 {1, 1, "High-Pass Filter", "", {1, 3, 100, 1, 0}},
                 {1, 2, "Enabled", "", {}},
                 {2, 8, "Enabled", "", {}},
                 {2, 8, "Front Panel Diff", "Front Panel Single", {16, 1, 1, 0, 0}},
                 {2, 8, "1000", "20", {16, 1, 20, 0, 0}},
                 {2, 8, "Anti-Ringing Filter", "", {16, 1, 20, 0, 1}}});
    chooseOnTabs(gui, true);
    saveOpenAndAcquire(gui);
    shareReference(gui);
    closeProgram(gui);
}

Registration configure{{"configure_save_open", kWorld, nullptr, run, nullptr}};

} // namespace
