// Auto Find in the built-in world: a person picks the two 7150 cards of the VXI carrier in the
// card tree (the 7140 next to them cannot be picked) and gets one window over both cards.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

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

void run(Gui &gui) {
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

Registration autoFind{{"auto_find_vxi", "", nullptr, run, nullptr}};

} // namespace
