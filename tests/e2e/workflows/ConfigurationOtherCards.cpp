// A configuration saved with two cards of the full variant, opened where one card of the
// gain-1 variant with another serial number sits: what fits is applied, and one box lists the
// gain the card does not have, the other serial number and the card that is missing. A file
// that is no configuration changes nothing and names its line; a save into a missing folder
// is refused.
#include "Steps.h"

namespace {

const std::string kWorld = vxiWorld(R"({"slot":1,"variant":"BA","serial":"0x71500099"})");

// As the panel saved it with two cards of variant BB (unchanged channels left out).
const char kSaved[] = R"([Acquisition]
SamplingRate=20 kHz

[Card1]
Serial=71500021
Variant=BB
Channel1.Source=Front Panel Single
Channel1.Coupling=DC
Channel1.Gain=100
Channel1.HighPass=true

[Card2]
Serial=71500022
Variant=BB
Channel8.Enabled=true
)";

const char kBroken[] = "[Acquisition]\nSamplingRate=20 kHz\nTriggerLevel=0,5\n";

void prepare() {
    std::ofstream(e2eWorkDir("two cards.ini")) << kSaved;
    std::ofstream(e2eWorkDir("broken.ini")) << kBroken;
}

QString shownRate() {
    return Gui::comboWith(mainTab("Acquisition"), "216 kHz")->currentText();
}

void otherCards(Gui &gui) {
    connectOneCard(gui);
    kqsim_clearCallLog();

    fileMenuItem(gui, "Open Configuration...");
    answerFileDialog(gui, "Open Configuration", e2eWorkDir("broken.ini"));
    E2E_EQ(
        acknowledgeWarning(gui, "refused"),
        QString("Cannot open the configuration \"%1\": line 3: [Acquisition] TriggerLevel: expected a number "
                "from -10 to 10. Nothing was changed.")
            .arg(e2eWorkDir("broken.ini").c_str()));
    E2E_EQ(gui.run(shownRate), "10 kHz");
    E2E_EQ(kqsim_callCount("kq7150_setMultChanConfig"), 0);

    fileMenuItem(gui, "Open Configuration...");
    answerFileDialog(gui, "Open Configuration", e2eWorkDir("two cards.ini"));
    E2E_EQ(acknowledgeWarning(gui, "mismatches"),
           "Some settings of \"two cards.ini\" do not fit the connected Function Cards:\n\n"
           "Function Card #1: serial number 71500099 here, 71500021 in the file; its settings were "
           "applied by position\n"
           "Function Card #1, Channel 1: Gain \"100\" is not offered here; kept \"1\"\n"
           "Function Card #2: not present (1 card connected); its settings were not applied");
    // The rest is applied: card 1's channel 1 but its gain, the acquisition.
    E2E_EQ(kqsim_callCount("kq7150_setMultChanConfig"), 8);
    showChannel(gui, 1, 1);
    E2E_CHECK(gui.run([] {
        QWidget *page = channelPage(1, 1);
        return Gui::comboWith(page, "TEDS")->currentText() == "Front Panel Single" &&
               Gui::comboWith(page, "AC")->currentText() == "DC" &&
               page->findChild<QCheckBox *>()->isChecked();
    }));
    E2E_EQ(gui.run(shownRate), "20 kHz");

    // A save where the folder is gone keeps nothing half-written and says why.
    fileMenuItem(gui, "Save Configuration...");
    answerFileDialog(gui, "Save Configuration", e2eWorkDir("gone/setup.ini"));
    E2E_EQ(acknowledgeWarning(gui, "missing-folder"),
           QString("Cannot save the configuration: the folder \"%1\" does not exist.")
               .arg(e2eWorkDir("gone").c_str()));
    closeProgram(gui);
}

} // namespace

static Registration configurationOtherCards{
    {"configuration_other_cards", kWorld, prepare, otherCards, nullptr}};
