// Saving a configuration and opening it again: a person sets channels on both cards, the
// acquisition and the plots, saves through the File menu, changes everything, and opens the
// file with Ctrl+Shift+O. The pages show the saved choices again, each page sends them to its
// card once, and the next acquisition runs with the saved rate, length and trigger.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QTest>

#include <fstream>
#include <sstream>

namespace {

// Two cards that offer every gain; a 2 V sine crosses the trigger level at once.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::7::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":7,"model":7005,"slots":4,"referenceVoltages":[0.0,2.5],
  "cards":[{"slot":1,"variant":"BB","serial":"0x71500021","signal":{"type":"sine","frequency":625,"amplitude":2.0}},
           {"slot":2,"variant":"BB","serial":"0x71500022","signal":{"type":"sine","frequency":625,"amplitude":2.0}}]}]})";

std::function<QComboBox *()> onChannel(int card, int channel, const QString &item) {
    return [=] { return Gui::comboWith(channelPage(card, channel), item); };
}
std::function<QComboBox *()> onTab(const QString &tab, const QString &item) {
    return [=] { return Gui::comboWith(Gui::tabPage(Gui::window(kMainWindow), tab), item); };
}
QCheckBox *boxOn(QWidget *page, const QString &text) {
    for (QCheckBox *box : page->findChildren<QCheckBox *>())
        if (box->text() == text)
            return box;
    return nullptr;
}
void set(Gui &gui, std::function<QComboBox *()> find, const QString &item) {
    E2E_CHECK(gui.choose(find, item) == item, "'", item.toStdString(), "' not taken");
}
QString shownOn(std::function<QComboBox *()> find, Gui &gui) {
    return gui.run([=] { return find()->currentText(); });
}

void makeSettings(Gui &gui) {
    showChannel(gui, 1, 1);
    set(gui, onChannel(1, 1, "Front Panel Diff"), "Front Panel Single");
    set(gui, onChannel(1, 1, "AC"), "DC");
    set(gui, onChannel(1, 1, "1000"), "100");
    gui.run([] { Gui::tick(channelPage(1, 1), "High-Pass Filter"); });
    showChannel(gui, 1, 2);
    gui.run([] { Gui::tick(channelPage(1, 2), "Enabled"); });
    showChannel(gui, 2, 8);
    gui.run([] { Gui::tick(channelPage(2, 8), "Enabled"); });
    set(gui, onChannel(2, 8, "Front Panel Diff"), "Front Panel Single");
    set(gui, onChannel(2, 8, "1000"), "20");
    gui.run([] { Gui::tick(channelPage(2, 8), "Anti-Ringing Filter"); });

    gui.showTab(kMainWindow, "Acquisition");
    set(gui, onTab("Acquisition", "131072"), "512");
    set(gui, onTab("Acquisition", "216 kHz"), "20 kHz");
    set(gui, onTab("Acquisition", "Hann"), "Hann");
    set(gui, onTab("Acquisition", "100 x"), "5 x");
    set(gui, onTab("Acquisition", "Front Panel High"), "Channel 2");
    set(gui, onTab("Acquisition", "Rising"), "Rising");
    set(gui, onTab("Acquisition", "75%"), "25%");
    gui.run([] {
        auto *level = Gui::tabPage(Gui::window(kMainWindow), "Acquisition")->findChild<QDoubleSpinBox *>();
        level->setFocus();
        QTest::keyClick(level, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(level, "0.5");
        QTest::keyClick(level, Qt::Key_Return);
    });
    gui.showTab(kMainWindow, "Waveforms");
    set(gui, onTab("Waveforms", "Large"), "Medium");
    gui.showTab(kMainWindow, "FFT Amplitude Spectrum");
    set(gui, onTab("FFT Amplitude Spectrum", "Large"), "Small");
    gui.run([] {
        QCheckBox *snap =
            boxOn(Gui::tabPage(Gui::window(kMainWindow), "FFT Amplitude Spectrum"), "Snap to Sample");
        Gui::clickWidget(snap);
        E2E_CHECK(!snap->isChecked(), "Snap to Sample stays on");
    });
}

// Everything else than saved: the pages as after a reset, other acquisition and view choices.
void changeEverything(Gui &gui) {
    gui.press(kMainWindow, "Reset Device");
    gui.waitUntil("the pages reset", [] {
        return onChannel(1, 1, "1000")()->currentText() == "1" &&
               !boxOn(channelPage(2, 8), "Enabled")->isChecked();
    });
    gui.showTab(kMainWindow, "Acquisition");
    set(gui, onTab("Acquisition", "131072"), "1024");
    set(gui, onTab("Acquisition", "216 kHz"), "1 kHz");
    set(gui, onTab("Acquisition", "Hann"), "Blackman");
    set(gui, onTab("Acquisition", "100 x"), "Off");
    set(gui, onTab("Acquisition", "Front Panel High"), "None");
    gui.showTab(kMainWindow, "Waveforms");
    set(gui, onTab("Waveforms", "Large"), "None");
    gui.showTab(kMainWindow, "FFT Amplitude Spectrum");
    set(gui, onTab("FFT Amplitude Spectrum", "Large"), "None");
    gui.run([] {
        Gui::clickWidget(
            boxOn(Gui::tabPage(Gui::window(kMainWindow), "FFT Amplitude Spectrum"), "Snap to Sample"));
    });
}

void checkPages(Gui &gui) {
    struct Page {
        int card, channel;
        QString source, coupling, gain;
        bool highPass, antiRinging, enabled;
    };
    const Page expected[] = {{1, 1, "Front Panel Single", "DC", "100", true, false, true},
                             {1, 2, "Front Panel Diff", "AC", "1", false, false, true},
                             {1, 3, "Front Panel Diff", "AC", "1", false, false, false},
                             {2, 1, "Front Panel Diff", "AC", "1", false, false, true},
                             {2, 8, "Front Panel Single", "AC", "20", false, true, true}};
    for (const Page &p : expected) {
        const std::string shown = gui.run([=] {
            QWidget *page = channelPage(p.card, p.channel);
            std::ostringstream s;
            s << Gui::comboWith(page, "TEDS")->currentText().toStdString() << ", "
              << Gui::comboWith(page, "AC")->currentText().toStdString() << ", "
              << Gui::comboWith(page, "1000")->currentText().toStdString() << ", "
              << boxOn(page, "High-Pass Filter")->isChecked()
              << boxOn(page, "Anti-Ringing Filter")->isChecked() << boxOn(page, "Enabled")->isChecked();
            return s.str();
        });
        std::ostringstream want;
        want << p.source.toStdString() << ", " << p.coupling.toStdString() << ", " << p.gain.toStdString()
             << ", " << p.highPass << p.antiRinging << p.enabled;
        E2E_CHECK(shown == want.str(), "card ", p.card, " channel ", p.channel, " shows ", shown, ", saved ",
                  want.str());
    }
    const std::pair<const char *, const char *> acquisition[] = {{"131072", "512"},
                                                                 {"216 kHz", "20 kHz"},
                                                                 {"Hann", "Hann"},
                                                                 {"100 x", "5 x"},
                                                                 {"Front Panel High", "Channel 2"},
                                                                 {"Rising", "Rising"},
                                                                 {"75%", "25%"}};
    for (const auto &[item, saved] : acquisition)
        E2E_CHECK(shownOn(onTab("Acquisition", item), gui) == saved, "Acquisition shows ",
                  shownOn(onTab("Acquisition", item), gui).toStdString(), ", saved ", saved);
    // A channel source lets the person place the trigger, as choosing it does.
    E2E_CHECK(gui.run([] {
        return onTab("Acquisition", "75%")()->isEnabled() && onTab("Acquisition", "Rising")()->isEnabled();
    }),
              "edge and position locked after a channel source was opened");
    E2E_CHECK(shownOn(onTab("Waveforms", "Large"), gui) == "Medium", "waveform symbols not restored");
    E2E_CHECK(shownOn(onTab("FFT Amplitude Spectrum", "Large"), gui) == "Small",
              "spectrum symbols not restored");
    E2E_CHECK(gui.run([] {
        return !boxOn(Gui::tabPage(Gui::window(kMainWindow), "FFT Amplitude Spectrum"), "Snap to Sample")
                    ->isChecked();
    }),
              "Snap to Sample not restored");
}

void saveAndOpen(Gui &gui) {
    takeEveryCard(gui, 2);
    makeSettings(gui);
    const std::string path = e2eWorkDir() + "/bench setup";
    gui.showTab(kMainWindow, "Function Cards");
    fileMenuItem(gui, "Save Configuration...");
    answerFileDialog(gui, "Save Configuration", path);
    // Without a suffix typed, the file gets the one of its type.
    gui.waitUntil("the saved file", [&] { return QFileInfo::exists(QString::fromStdString(path + ".ini")); });
    std::ifstream file(path + ".ini");
    std::stringstream text;
    text << file.rdbuf();
    for (const char *line :
         {"[Card1]\n", "Serial=71500021\n", "Channel1.Source=Front Panel Single\n", "Channel1.Gain=100\n",
          "Channel1.HighPass=true\n", "[Card2]\n", "Channel8.Enabled=true\n", "SamplingRate=20 kHz\n",
          "TriggerSource=Channel 2\n", "TriggerLevel=0.5\n", "Symbols=Medium\n", "SnapToSample=false\n"})
        E2E_CHECK(text.str().find(line) != std::string::npos, "'", line, "' not in the saved file:\n",
                  text.str());

    changeEverything(gui);
    kqsim_clearCallLog();
    // The shortcut, as the menu names it.
    gui.post([] {
        QWidget *window = Gui::window(kMainWindow);
        QApplication::setActiveWindow(window);
        QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    });
    answerFileDialog(gui, "Open Configuration", path + ".ini");
    gui.waitUntil("every page configured", [] { return kqsim_callCount("kq7150_setMultChanConfig") == 16; });
    gui.shot("opened");
    // Pages go card by card, channel by channel: card 2's channel 8 (driver channel 16) last.
    auto sent = callArguments(lastCall("kq7150_setMultChanConfig"));
    E2E_CHECK(sent["channel"] == "16" && sent["source"] == "1" && sent["gain"] == "20" &&
                  sent["highPass"] == "0" && sent["antiRinging"] == "1",
              "card 2 channel 8 sent ", lastCall("kq7150_setMultChanConfig"));
    E2E_CHECK(!Gui::window(kWarningTitle), "a warning about a configuration that fits");
    checkPages(gui);

    gui.click(kMainWindow, "singleShotButton");
    gui.waitUntil("the triggered block",
                  [] { return kqsim_callCount("kq7150_setMultTrigConfig") == 1 && startButtonsReleased(); });
    auto trigger = callArguments(lastCall("kq7150_setMultTrigConfig"));
    E2E_CHECK(trigger["source"] == "2" && trigger["edge"] == "1" && trigger["level"] == "0.5" &&
                  trigger["preTrigger"] == "128",
              "trigger: ", lastCall("kq7150_setMultTrigConfig"));
    auto config = callArguments(lastCall("kq7150_multConfig"));
    E2E_CHECK(config["rate"] == "20000" && config["scansPerTrigger"] == "512",
              "configuration: ", lastCall("kq7150_multConfig"));
    closeProgram(gui);
}

} // namespace

static Registration configurationSaveOpen{{"configuration_save_open", kWorld, nullptr, saveAndOpen, nullptr}};
