// The two ways to connect in the built-in world. Auto Find: a person picks the two 7150 cards of
// the VXI carrier in the card tree (the 7140 next to them cannot be picked) and gets one window
// over both cards. Enter Address: a person types the LXI box's resource name, picks card 1 and
// gets the window of that one card under the LXI heading; the address is kept for the next start.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdlib>

namespace {

// The card row "FC <slot>" under the carrier row that starts with carrier.
QTreeWidgetItem *cardItem(QTreeWidget *tree, const QString &carrier, int slot) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->parent() && (*it)->parent()->text(0).startsWith(carrier) &&
            (*it)->text(0) == QString("FC %1").arg(slot))
            return *it;
    return nullptr;
}

// A click on the row, with Ctrl to add it to what is selected.
void clickRow(QTreeWidget *tree, QTreeWidgetItem *item, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, modifiers, tree->visualItemRect(item).center());
}

void autoFind(Gui &gui) {
    openCardTree(gui);

    const std::string picked = gui.run([] {
        QTreeWidget *tree = cardTree();
        QTreeWidgetItem *first = cardItem(tree, "Slot 3 - 7005 MB", 2);
        QTreeWidgetItem *other = cardItem(tree, "Slot 3 - 7005 MB", 3);
        QTreeWidgetItem *second = cardItem(tree, "Slot 3 - 7005 MB", 5);
        if (!first || !other || !second)
            return std::string("the VXI carrier does not list the cards in slots 2, 3 and 5");
        if (other->text(1) != "7140-BB" || (other->flags() & (Qt::ItemIsSelectable | Qt::ItemIsEnabled)))
            return "the 7140 is offered: '" + other->text(1).toStdString() + "'";
        clickRow(tree, first, Qt::NoModifier);
        clickRow(tree, other, Qt::ControlModifier);
        clickRow(tree, second, Qt::ControlModifier);
        const QList<QTreeWidgetItem *> selected = tree->selectedItems();
        if (selected != QList<QTreeWidgetItem *>{first, second})
            return "selected " + std::to_string(selected.size()) + " rows, not the two 7150s";
        return std::string();
    });
    E2E_CHECK(picked.empty(), picked);
    gui.shot("tree");

    kqsim_clearCallLog();
    gui.press(kSelectTitle, "OK");
    waitMainWindow(gui);

    // One multi-card session over the carrier named twice; the driver's own record of it
    // (the legend rows) says which slots it holds.
    E2E_CHECK(kqsim_callCount("kq7150_multInit") == 1, kqsim_callCount("kq7150_multInit"),
              " sessions opened");
    const std::string init = lastCall("kq7150_multInit");
    E2E_CHECK(init.rfind("list=VXI0::5::INSTR,VXI0::5::INSTR ", 0) == 0, init);
    const QStringList headings = gui.run(legendHeadings);
    E2E_CHECK(headings.size() == 2, headings.join(" | ").toStdString());
    E2E_CHECK(headings[0].contains("FC #1</b>: VXI0::5::INSTR (FC 2)"), headings[0].toStdString());
    E2E_CHECK(headings[1].contains("FC #2</b>: VXI0::5::INSTR (FC 5)"), headings[1].toStdString());
    // Every channel of both cards got its first configuration: global channels 1 to 16.
    E2E_CHECK(kqsim_callCount("kq7150_setMultChanConfig") >= 16, kqsim_callCount("kq7150_setMultChanConfig"));
    E2E_CHECK(lastCall("kq7150_setMultChanConfig").rfind("channel=16 ", 0) == 0,
              lastCall("kq7150_setMultChanConfig"));
    gui.shot("window");

    // The Function Cards tab has a page per card; the second names its slot in the status column.
    gui.showTab(kMainWindow, "Function Cards");
    const QStringList pages = gui.run([] {
        QStringList texts;
        auto *cards = Gui::child<QTabWidget>(Gui::window(kMainWindow), "fcTab");
        for (int i = 0; cards && i < cards->count(); ++i)
            texts << cards->tabText(i);
        return texts;
    });
    E2E_CHECK(pages == QStringList({"Function Card #1", "Function Card #2"}), pages.join(", ").toStdString());
    gui.showTab(kMainWindow, "Function Card #2");
    gui.waitUntil("the status column naming FC #5", [] {
        auto *card = Gui::child<QLabel>(Gui::window(kMainWindow), "cardInfo");
        return card && card->isVisible() && card->text() == "FC #5";
    });

    closeProgram(gui);
}

Registration autoFindVxi{{"auto_find_vxi", "", nullptr, autoFind, nullptr}};

const QString kAddressTitle = "Movara 7150 SFP: Enter Addresses of Function Cards";
const char kAddress[] = "TCPIP0::192.0.2.17::INSTR";

QComboBox *rowChoice(const char *row, const char *choice) {
    return Gui::child<QComboBox>(Gui::child<QWidget>(Gui::window(kAddressTitle), row), choice);
}

void enterAddress(Gui &gui) {
    answerConnection(gui, "Enter Address");
    gui.waitWindow(kAddressTitle);

    // First use on this machine: one row counts, with the example address and no card chosen.
    const QStringList firstUse = gui.run([] {
        return QStringList{rowChoice("row1", "descriptorChoice")->currentText(),
                           rowChoice("row1", "cardNumberChoice")->currentText(),
                           Gui::child<QComboBox>(Gui::window(kAddressTitle), "countChoice")->currentText(),
                           Gui::child<QWidget>(Gui::window(kAddressTitle), "row2")->isEnabled() ? "row 2 on"
                                                                                                : ""};
    });
    E2E_CHECK(firstUse == QStringList({"TCPIP::192.168.2.100::INSTR", "Select", "1", ""}),
              firstUse.join(" | ").toStdString());

    // The example is replaced by typing; the card number is picked from its list.
    gui.run([] { typeInto(rowChoice("row1", "descriptorChoice")->lineEdit(), kAddress, false); });
    gui.choose([] { return rowChoice("row1", "cardNumberChoice"); }, "FC 1");
    const QStringList typed = gui.run([] {
        return QStringList{rowChoice("row1", "descriptorChoice")->currentText(),
                           rowChoice("row1", "cardNumberChoice")->currentText()};
    });
    E2E_CHECK(typed == QStringList({kAddress, "FC 1"}), typed.join(" | ").toStdString());
    gui.shot("address");

    kqsim_clearCallLog();
    gui.press(kAddressTitle, "OK");
    waitMainWindow(gui);
    // An LXI box's window names its host.
    const QString title = gui.run([] { return Gui::window(kMainWindow)->windowTitle(); });
    E2E_CHECK(title == kMainTitle + ": kq7000-lxi", title.toStdString());

    const std::string init = lastCall("kq7150_multInit");
    E2E_CHECK(kqsim_callCount("kq7150_multInit") == 1 &&
                  init.rfind(std::string("list=") + kAddress + " ", 0) == 0,
              init);
    const QStringList shown = gui.run([] {
        QWidget *window = Gui::window(kMainWindow);
        QStringList texts{QString::number(Gui::child<QTabWidget>(window, "fcTab")->count()),
                          Gui::child<QLabel>(window, "carrierInfo")->text(),
                          Gui::child<QLabel>(window, "cardInfo")->text()};
        return texts << legendHeadings();
    });
    // One card, in the box's slot 1, shown by the box's device name and address.
    E2E_CHECK(shown.size() == 4, shown.join(" | ").toStdString());
    E2E_CHECK(shown[0] == "1" && shown[1] == "inst0" && shown[2] == "FC 1", shown.join(" | ").toStdString());
    E2E_CHECK(shown[3].contains("FC #1</b>: TCPIP::192.0.2.17::INSTR (FC 1) Channels:"),
              shown[3].toStdString());
    const bool lxiLogo = gui.run([] {
        const QPixmap logo =
            Gui::child<QLabel>(Gui::window(kMainWindow), "carrierLogo")->pixmap(Qt::ReturnByValue);
        return !logo.isNull() && logo.toImage() == QPixmap(":/lxi-logo.bmp").toImage();
    });
    E2E_CHECK(lxiLogo, "the banner does not show the LXI logo");
    gui.shot("window");

    // The typed address comes first in the row's history, the example after it.
    const char *common = std::getenv("ALLUSERSPROFILE");
    E2E_CHECK(common && *common, "ALLUSERSPROFILE is not set");
    QSettings saved(QString(common) + "/Travix/DefaultInstrDescr.ini", QSettings::IniFormat);
    saved.beginGroup("7150");
    const QStringList kept{saved.value("1.1.Descriptor").toString(), saved.value("1.2.Descriptor").toString(),
                           saved.value("1.3.Descriptor").toString(), saved.value("1.FC_Number").toString(),
                           saved.value("FC_Count").toString()};
    E2E_CHECK(kept == QStringList({kAddress, "TCPIP::192.168.2.100::INSTR", "", "1", "1"}),
              kept.join(" | ").toStdString());

    closeProgram(gui);
}

Registration enterAddressLxi{{"enter_address_lxi", "", nullptr, enterAddress, nullptr}};

} // namespace
