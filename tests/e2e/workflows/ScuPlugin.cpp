// A signal conditioning unit plug-in installed where the maker's plug-ins go: each of two cards
// gets its unit's page on the "SCUs" tab, and a page follows its own card's channel settings.
#include "Steps.h"

namespace {

const std::string kWorld = vxiWorld(R"({"slot":1},{"slot":2})");
const QString kUnitPage = "Movara 71A0 SCU on FC #%1";

void prepare() {
    const std::string root = e2eWorkDir("vxipnp");
    std::filesystem::create_directories(root + "/linux64/bin");
    std::filesystem::copy_file(KQ_EXAMPLE_SCU_PLUGIN, root + "/linux64/bin/kq71a0fp.so");
    setenv("VXIPNPPATH64", root.c_str(), 1);
}

QTabWidget *unitPages() {
    return Gui::child<QTabWidget>(Gui::window(kMainWindow), "scuTab");
}

// A label of the unit's page of card (1-based).
QString unitShows(int card, const QString &label) {
    QTabWidget *pages = unitPages();
    auto *l = pages && pages->count() >= card ? pages->widget(card - 1)->findChild<QLabel *>(label) : nullptr;
    return l ? l->text() : "(no " + label + ")";
}

void run(Gui &gui) {
    takeEveryCard(gui, 2);

    // One unit page per card; a unit in front of a real card reads its own serial number.
    gui.showTab(kMainWindow, "SCUs");
    const QStringList pages = gui.run([] {
        QStringList texts;
        for (int i = 0; unitPages() && i < unitPages()->count(); ++i)
            texts << unitPages()->tabText(i);
        return texts << unitShows(2, "identity");
    });
    E2E_EQ(pages, QStringList({kUnitPage.arg(1), kUnitPage.arg(2),
                               "Model 71A0-01, serial number 71A00017, revision 1.0.0"}));
    // Card 2, channel 4: acquired, and gain 20.
    showChannel(gui, 2, 4);
    // The settings of a channel that is not acquired are greyed out: enable it first.
    gui.run([] { Gui::tick(channelPage(2, 4), "Enabled"); });
    gui.choose([] { return Gui::comboWith(channelPage(2, 4), "1000"); }, "20");
    const std::string sent = lastCall("kq7150_setMultChanConfig");
    E2E_CHECK(sent.rfind("channel=12 ", 0) == 0 && sent.find(" gain=20 ") != std::string::npos, sent);

    // Only card 2's unit heard of it (card 1's stays as the panels started: gain 1, channel 4
    // not acquired); its own gain multiplies the card's.
    gui.showTab(kMainWindow, "SCUs");
    gui.showTab(kMainWindow, kUnitPage.arg(2));
    gui.choose([] { return unitPages()->currentWidget()->findChild<QComboBox *>("unitGain4"); }, "10");
    const QStringList followed = gui.run([] {
        return QStringList{unitShows(2, "cardGain4"), unitShows(2, "totalGain4"), unitShows(2, "acquired4"),
                           unitShows(1, "cardGain4"), unitShows(1, "acquired4")};
    });
    E2E_EQ(followed, QStringList({"20", "200", "On", "1", "Off"}));
    gui.shot("scus");

    closeProgram(gui);
}

Registration scuPlugin{{"scu_plugin", kWorld, prepare, run, nullptr}};

} // namespace
