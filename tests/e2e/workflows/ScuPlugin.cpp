// A signal conditioning unit plug-in installed where the maker's plug-ins go: each of two cards
// gets its unit's page on the "SCUs" tab, and a page follows its own card's channel settings.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>

namespace {

const char kWorld[] = R"({"carriers":[{"resources":["VXI0::8::INSTR"],"interface":"VXI","slot":5,
  "logicalAddress":8,"model":7005,"slots":4,"cards":[{"slot":1,"code":"0x7150","variant":"BB"},
  {"slot":2,"code":"0x7150","variant":"BB"}]}]})";
// Showing a card page adds the host to the title (nothing for a VXI carrier).
const QString kWindowTitle = kMainTitle + "(: .*)?";
const QString kUnitPage = "Movara 71A0 SCU on FC #%1";

void prepare()
{
    const std::string root = e2eWorkDir() + "/vxipnp";
    std::filesystem::create_directories(root + "/linux64/bin");
    std::filesystem::copy_file(KQ_EXAMPLE_SCU_PLUGIN, root + "/linux64/bin/kq71a0fp.so");
    setenv("VXIPNPPATH64", root.c_str(), 1);
}

QTabWidget *unitPages() { return Gui::child<QTabWidget>(Gui::window(kWindowTitle), "scuTab"); }

// A label of the unit's page of card (1-based).
QString unitShows(int card, const QString &label)
{
    QTabWidget *pages = unitPages();
    auto *l = pages && pages->count() >= card ? pages->widget(card - 1)->findChild<QLabel *>(label) : nullptr;
    return l ? l->text() : "(no " + label + ")";
}

// The page of a channel of a card (both 0-based), shown by clicking its tab.
QWidget *showChannel(int card, int channel)
{
    auto *cards = Gui::child<QTabWidget>(Gui::window(kWindowTitle), "fcTab");
    auto *channels = cards->widget(card)->findChild<QTabWidget *>();
    QTest::mouseClick(channels->tabBar(), Qt::LeftButton, {}, channels->tabBar()->tabRect(channel).center());
    return channels->currentWidget();
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
    gui.waitUntil("the card tree", [] {
        QWidget *dialog = Gui::window(kSelectTitle);
        auto *tree = dialog ? dialog->findChild<QTreeWidget *>() : nullptr;
        return tree && tree->isVisible() && tree->topLevelItemCount() > 0;
    });
    gui.run([] {
        auto *tree = Gui::window(kSelectTitle)->findChild<QTreeWidget *>();
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_A, Qt::ControlModifier);
    });
    gui.press(kSelectTitle, "OK");
    gui.waitWindow(kWindowTitle, std::chrono::seconds(30));
    gui.waitNoWindow("Movara 7150 SFP: Starting");

    // One unit page per card; a unit in front of a real card reads its own serial number.
    gui.showTab(kWindowTitle, "SCUs");
    const QStringList pages = gui.run([] {
        QStringList texts;
        for (int i = 0; unitPages() && i < unitPages()->count(); ++i)
            texts << unitPages()->tabText(i);
        return texts << unitShows(2, "identity");
    });
    E2E_CHECK(pages == QStringList({kUnitPage.arg(1), kUnitPage.arg(2),
                                    "Model 71A0-01, serial number 71A00017, revision 1.0.0"}),
              pages.join(" | ").toStdString());
    // The units start from the panels: channel 1 acquired, gain 1 everywhere.
    const QStringList start = gui.run([] {
        return QStringList{unitShows(2, "acquired1"), unitShows(2, "acquired4"), unitShows(2, "cardGain4")};
    });
    E2E_CHECK(start == QStringList({"On", "Off", "1"}), start.join(" | ").toStdString());

    // Card 2, channel 4: acquired, and gain 20 (four steps down 1, 2, 5, 10, 20).
    gui.showTab(kWindowTitle, "Function Cards");
    gui.showTab(kWindowTitle, "Function Card #2");
    gui.run([] {
        // The settings of a channel that is not acquired are greyed out: enable it first.
        QWidget *channel = showChannel(1, 3);
        for (QCheckBox *box : channel->findChildren<QCheckBox *>())
            if (box->text() == "Enabled") {
                box->setFocus();
                QTest::keyClick(box, Qt::Key_Space);
            }
        for (QComboBox *gain : channel->findChildren<QComboBox *>())
            if (gain->toolTip().startsWith("Selects the gain")) {
                gain->setFocus();
                for (int i = 0; i < 4; ++i)
                    QTest::keyClick(gain, Qt::Key_Down);
            }
    });
    const std::string sent = lastCall("kq7150_setMultChanConfig");
    E2E_CHECK(sent.rfind("channel=12 ", 0) == 0 && sent.find(" gain=20 ") != std::string::npos, sent);

    // Only card 2's unit heard of it; its own gain multiplies the card's.
    gui.showTab(kWindowTitle, "SCUs");
    gui.showTab(kWindowTitle, kUnitPage.arg(2));
    gui.run([] {
        auto *unitGain = unitPages()->currentWidget()->findChild<QComboBox *>("unitGain4");
        unitGain->setFocus();
        QTest::keyClick(unitGain, Qt::Key_Down);
    });
    const QStringList followed = gui.run([] {
        return QStringList{unitShows(2, "cardGain4"), unitShows(2, "totalGain4"), unitShows(2, "acquired4"),
                           unitShows(1, "cardGain4"), unitShows(1, "acquired4")};
    });
    E2E_CHECK(followed == QStringList({"20", "200", "On", "1", "Off"}), followed.join(" | ").toStdString());
    gui.shot("scus");

    gui.press(kWindowTitle, "Close");
    gui.waitWindow(kBoxTitle);
    gui.press(kBoxTitle, "Yes");
}

Registration scuPlugin{{"scu_plugin", kWorld, prepare, run, nullptr}};

} // namespace
