// The two ways to connect in the built-in world. Auto Find: a person picks the two 7150 cards of
// the VXI carrier in the card tree (the 7140 next to them cannot be picked) and gets one window
// over both cards. Enter Address: a person types the LXI box's resource name, picks card 1 and
// gets the window of that one card under the LXI heading; the address is kept for the next start.
#include "Steps.h"

namespace {

// The card row "FC <slot>" under the VXI carrier's row.
QTreeWidgetItem *cardItem(QTreeWidget *tree, int slot) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->parent() && (*it)->parent()->text(0).startsWith("Slot 3 - 7005 MB") &&
            (*it)->text(0) == QString("FC %1").arg(slot))
            return *it;
    throw E2eFailure(describe("the VXI carrier does not list the card in slot ", slot));
}

// The legend rows of the waveform view, one per card, in order.
QStringList legendHeadings() {
    QStringList headings;
    for (QLabel *label : mainTab("Waveforms")->findChildren<QLabel *>())
        if (label->text().contains("Channels:"))
            headings << label->text();
    return headings;
}

void autoFind(Gui &gui) {
    openCardTree(gui);
    gui.run([] {
        QTreeWidget *tree = cardTree();
        QTreeWidgetItem *first = cardItem(tree, 2), *other = cardItem(tree, 3), *second = cardItem(tree, 5);
        E2E_EQ(other->text(1), "7140-BB");
        E2E_CHECK(!(other->flags() & (Qt::ItemIsSelectable | Qt::ItemIsEnabled)), "the 7140 is offered");
        // A click on the first row, with Ctrl on the others to add them.
        for (QTreeWidgetItem *item : {first, other, second})
            QTest::mouseClick(tree->viewport(), Qt::LeftButton,
                              item == first ? Qt::NoModifier : Qt::ControlModifier,
                              tree->visualItemRect(item).center());
        E2E_CHECK((tree->selectedItems() == QList<QTreeWidgetItem *>{first, second}));
    });
    gui.shot("tree");

    kqsim_clearCallLog();
    gui.press(kSelectTitle, "OK");
    waitMainWindow(gui);

    // One multi-card session over the carrier named twice; the driver's own record of it
    // (the legend rows) says which slots it holds.
    E2E_EQ(kqsim_callCount("kq7150_multInit"), 1);
    E2E_CHECK(lastCall("kq7150_multInit").rfind("list=VXI0::5::INSTR,VXI0::5::INSTR ", 0) == 0);
    const QStringList headings = gui.run(legendHeadings);
    E2E_CHECK(headings.size() == 2 && headings[0].contains("FC #1</b>: VXI0::5::INSTR (FC 2)") &&
                  headings[1].contains("FC #2</b>: VXI0::5::INSTR (FC 5)"),
              headings);
    // Every channel of both cards got its first configuration: global channels 1 to 16.
    E2E_CHECK(lastCall("kq7150_setMultChanConfig").rfind("channel=16 ", 0) == 0);

    // The Function Cards tab has a page per card; the second names its slot in the status column.
    gui.showTab(kMainWindow, "Function Cards");
    gui.showTab(kMainWindow, "Function Card #2");
    gui.waitUntil("the status column naming FC #5", [] {
        auto *card = Gui::child<QLabel>(Gui::window(kMainWindow), "cardInfo");
        return card && card->isVisible() && card->text() == "FC #5";
    });
    closeProgram(gui);
}

const QString kAddressTitle = "Movara 7150 SFP: Enter Addresses of Function Cards";
const char kAddress[] = "TCPIP0::192.0.2.17::INSTR";

QComboBox *rowChoice(const char *choice) {
    return Gui::child<QComboBox>(Gui::child<QWidget>(Gui::window(kAddressTitle), "row1"), choice);
}

void enterAddress(Gui &gui) {
    answerConnection(gui, "Enter Address");
    gui.waitWindow(kAddressTitle);
    // The example is replaced by typing; the card number is picked from its list.
    gui.run([] { typeInto(rowChoice("descriptorChoice")->lineEdit(), kAddress, false); });
    gui.choose([] { return rowChoice("cardNumberChoice"); }, "FC 1");
    gui.shot("address");

    kqsim_clearCallLog();
    gui.press(kAddressTitle, "OK");
    waitMainWindow(gui);
    E2E_EQ(kqsim_callCount("kq7150_multInit"), 1);
    E2E_CHECK(lastCall("kq7150_multInit").rfind(std::string("list=") + kAddress + " ", 0) == 0);
    // An LXI box's window names its host; one card, in the box's slot 1, shown by the box's device
    // name and address, under its logo.
    const QStringList shown = gui.run([] {
        QWidget *window = Gui::window(kMainWindow);
        const QPixmap logo = Gui::child<QLabel>(window, "carrierLogo")->pixmap(Qt::ReturnByValue);
        return QStringList{window->windowTitle(),
                           QString::number(Gui::child<QTabWidget>(window, "fcTab")->count()),
                           Gui::child<QLabel>(window, "carrierInfo")->text(),
                           Gui::child<QLabel>(window, "cardInfo")->text(),
                           logo.toImage() == QPixmap(":/lxi-logo.bmp").toImage() ? "LXI logo" : "other logo"}
               << legendHeadings();
    });
    E2E_CHECK(
        shown.mid(0, 5) == QStringList({kMainTitle + ": kq7000-lxi", "1", "inst0", "FC 1", "LXI logo"}) &&
            shown.size() == 6 && shown[5].contains("FC #1</b>: TCPIP::192.0.2.17::INSTR (FC 1) Channels:"),
        shown);

    // The typed address is kept for the next start (the history's order: the dialog's unit tests).
    QSettings saved(QString(std::getenv("ALLUSERSPROFILE")) + "/Travix/DefaultInstrDescr.ini",
                    QSettings::IniFormat);
    E2E_EQ(saved.value("7150/1.1.Descriptor").toString(), kAddress);
    closeProgram(gui);
}

Registration autoFindVxi{{"auto_find_vxi", "", nullptr, autoFind, nullptr}};
Registration enterAddressLxi{{"enter_address_lxi", "", nullptr, enterAddress, nullptr}};

} // namespace
