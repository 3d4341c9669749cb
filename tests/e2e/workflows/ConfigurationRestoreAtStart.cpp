// "Restore Last Configuration at Start", ticked in an earlier session that left its settings:
// after connecting, the panel shows them again (pages, acquisition, storage, symbols, plot unit)
// and the pages have sent them to the card; closing keeps the session's settings for the next
// start.
#include "Steps.h"

namespace {

const std::string kWorld = vxiWorld(R"({"slot":1,"serial":"0x71500031"})");

// Where the program keeps its settings in this run's fresh home.
std::string lastSession() {
    return std::string(std::getenv("XDG_CONFIG_HOME")) +
           "/Travix Ltd./Movara 7150 Soft Front Panel Last Configuration.ini";
}

void prepare() {
    QSettings().setValue("Configuration/RestoreAtStart", true);
    std::filesystem::create_directories(std::filesystem::path(lastSession()).parent_path());
    std::ofstream(lastSession()) << "[Acquisition]\nSamplingRate=5 kHz\n\n"
                                    "[Storage]\nFileName="
                                 << e2eWorkDir()
                                 << "/restored.csv\nFormat=Text, CSV (V)\n\n"
                                    "[View]\nSymbols=Large\nCustomUnit=true\nUnitName=Pa\nUnitOffset=0\n"
                                    "UnitMultiplier=1000\n\n"
                                    "[Card1]\nSerial=71500031\nChannel1.Colour=#ff00ff\n"
                                    "Channel2.SpectrumColour=#00ff00\nChannel2.SpectrumShown=true\n"
                                    "Channel2.Enabled=true\nChannel2.Gain=10\n";
}

void restoreAtStart(Gui &gui) {
    connectOneCard(gui);
    gui.waitUntil("channel 2 restored", [] {
        QWidget *page = channelPage(1, 2);
        return Gui::comboWith(page, "1000")->currentText() == "10" &&
               page->findChildren<QCheckBox *>().last()->isChecked();
    });
    E2E_CHECK(kqsim_callCount("kq7150_setMultChanConfig") >= 16, "the restored pages were not sent");
    const std::string shown = gui.run([] {
        QWidget *window = Gui::window(kMainWindow), *storage = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) // hidden while not asked for
            storage = w->windowTitle() == kStorageDialog ? w : storage;
        std::ostringstream s;
        s << Gui::comboWith(Gui::tabPage(window, "Acquisition"), "216 kHz")->currentText().toStdString()
          << "|" << Gui::comboWith(Gui::tabPage(window, "Waveforms"), "Small")->currentText().toStdString()
          << "|" << plotOn("Waveforms")->axisTitle(QwtPlot::yLeft).text().toStdString() << "|"
          << storage->findChild<QLineEdit *>()->text().toStdString() << "|"
          << Gui::comboWith(storage, "Text, CSV (mV)")->currentText().toStdString();
        for (QAction *action : Gui::child<QMenuBar>(window, "menuBar")->findChild<QMenu *>()->actions())
            if (action->text().contains("Restore"))
                s << "|" << action->isChecked();
        return s.str();
    });
    E2E_EQ(shown, "5 kHz|Large|Pa|" + e2eWorkDir("restored.csv") + "|Text, CSV (V)|1");
    gui.shot("restored");

    gui.choose([] { return Gui::comboWith(mainTab("Waveforms"), "Small"); }, "Small");
    closeProgram(gui);
}

// Closing saved this session's settings for the next start.
void afterExit() {
    const std::string text = fileText(lastSession());
    for (const char *line :
         {"Symbols=Small\n", "SamplingRate=5 kHz\n", "Serial=71500031\n", "Channel2.Gain=10\n",
          "UnitName=Pa\n", "UnitMultiplier=1000\n", "Channel1.Colour=#ff00ff\n"})
        E2E_CHECK(text.find(line) != std::string::npos, line, " not kept in:\n", text);
}

} // namespace

static Registration configurationRestoreAtStart{
    {"configuration_restore_at_start", kWorld, prepare, restoreAtStart, afterExit}};
