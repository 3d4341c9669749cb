// Configuring channels on the "Function Cards" tab with two cards on a carrier with a reference
// module: source, coupling, gain and filters of one channel, the reference output, and the one
// motherboard reference that a second channel (on the other card) may take only once it is free.
// Every accepted choice must reach the card as one configuration call with the whole setting.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cmath>
#include <functional>
#include <map>
#include <sstream>

namespace {

// Both cards of the normal variant, so that every gain is offered.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::7::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":7,"model":7005,"slots":4,"referenceVoltages":[0.0,2.5,5.0],
  "cards":[{"slot":1,"variant":"BB"},{"slot":2,"variant":"BB"}]}]})";

// Once another card is shown the title carries the host, which a VXI carrier leaves empty.
const QString kMain = kMainTitle + "(: .*)?";
const QString kInfoTitle = "Movara 7150 SFP Info message";

void takeEveryCard(Gui &gui) {
    gui.waitUntil("the card tree", [] {
        auto *tree = Gui::child<QTreeWidget>(Gui::window(kSelectTitle), "");
        return tree && tree->isVisible() && tree->topLevelItemCount() > 0;
    });
    gui.run([] {
        auto *tree = Gui::child<QTreeWidget>(Gui::window(kSelectTitle), "");
        int n = 0;
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if ((*it)->flags() & Qt::ItemIsSelectable)
                QTest::mouseClick(tree->viewport(), Qt::LeftButton,
                                  n++ ? Qt::ControlModifier : Qt::NoModifier,
                                  tree->visualItemRect(*it).center());
        E2E_CHECK(n == 2 && tree->selectedItems().size() == 2, "cards offered ", n);
    });
    gui.press(kSelectTitle, "OK");
}

QTabWidget *channelTabs(int card) {
    auto *cards = Gui::child<QTabWidget>(Gui::window(kMain), "fcTab");
    return cards ? cards->widget(card)->findChild<QTabWidget *>() : nullptr;
}

QWidget *channelPage(int card, int channel) {
    return channelTabs(card)->widget(channel);
}

// The choice on a page that offers this item ("AC": coupling, "1000": gain...).
QComboBox *choiceWith(QWidget *page, const QString &item) {
    for (QComboBox *choice : page->findChildren<QComboBox *>())
        if (choice->findText(item) >= 0)
            return choice;
    return nullptr;
}

void showChannel(Gui &gui, int card, int channel) {
    gui.showTab(kMain, QString("Function Card #%1").arg(card + 1));
    gui.run([=] {
        QTabBar *bar = channelTabs(card)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(channel).center());
    });
    gui.waitUntil("channel shown", [=] { return channelTabs(card)->currentIndex() == channel; });
}

// As a person picks: open the list with a click, walk to the item with the arrow keys and take
// it with Return. The program listens to activated(), which only a choice made in the list (or
// by keys on the closed box) emits.
void choose(Gui &gui, std::function<QComboBox *()> find, const QString &item) {
    gui.run([=] {
        QComboBox *choice = find();
        E2E_CHECK(choice && choice->isEnabled() && choice->isVisible() && choice->findText(item) >= 0,
                  "no usable choice offering ", item.toStdString());
        Gui::clickWidget(choice);
    });
    gui.waitUntil("the list offering " + item.toStdString(), [=] { return find()->view()->isVisible(); });
    gui.post([=] {
        QComboBox *choice = find();
        QAbstractItemView *list = choice->view();
        const int target = choice->findText(item);
        for (int step = 0; step < choice->count() && list->currentIndex().row() != target; ++step)
            QTest::keyClick(list, list->currentIndex().row() < target ? Qt::Key_Down : Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Return);
    });
    gui.waitUntil("the list closed", [=] { return !find()->view()->isVisible(); });
}

// A click on the box itself: a wide check box does not take clicks beside its text.
void tick(QWidget *page, const QString &text) {
    auto *box = qobject_cast<QCheckBox *>(Gui::button(page, text));
    E2E_CHECK(box && box->isEnabled(), "no usable check box ", text.toStdString());
    QStyleOptionButton option;
    option.initFrom(box);
    QTest::mouseClick(box, Qt::LeftButton, {},
                      box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center());
}

std::map<std::string, std::string> lastCall(const char *call) {
    char text[512];
    kqsim_lastCall(call, text, sizeof text);
    std::map<std::string, std::string> arguments;
    std::istringstream words(text);
    for (std::string word; words >> word;)
        if (const auto eq = word.find('='); eq != std::string::npos)
            arguments[word.substr(0, eq)] = word.substr(eq + 1);
    return arguments;
}

// The configuration the card received last, and that it was one more call than before.
void expectSent(int &calls, int channel, int source, int gain, int highPass, int antiRinging) {
    E2E_CHECK(kqsim_callCount("kq7150_setMultChanConfig") == ++calls, "configuration calls ",
              kqsim_callCount("kq7150_setMultChanConfig"), ", expected ", calls);
    auto sent = lastCall("kq7150_setMultChanConfig");
    const std::map<std::string, std::string> expected{{"channel", std::to_string(channel)},
                                                      {"source", std::to_string(source)},
                                                      {"gain", std::to_string(gain)},
                                                      {"highPass", std::to_string(highPass)},
                                                      {"antiRinging", std::to_string(antiRinging)}};
    for (const auto &[name, value] : expected)
        E2E_CHECK(sent[name] == value, name, "=", sent[name], ", expected ", value);
}

// The coupling choice of a page as the person sees it: its text and whether it can be changed.
bool couplingShows(QWidget *page, const QString &text, bool enabled) {
    QComboBox *coupling = choiceWith(page, "AC");
    return coupling->currentText() == text && coupling->isEnabled() == enabled;
}

// The choice on a channel's page that offers this item, found afresh at each look.
std::function<QComboBox *()> choiceOf(int card, int channel, const QString &item) {
    return [=] { return choiceWith(channelPage(card, channel), item); };
}

void configureChannels(Gui &gui) {
    answerConnection(gui, "Auto Find");
    takeEveryCard(gui);
    waitMainWindow(gui);
    gui.showTab(kMain, "Function Cards");
    showChannel(gui, 0, 0);
    kqsim_clearCallLog();
    int calls = 0;

    // Card 1, channel 1 (driver channel 1) starts as "Front Panel Diff", AC, gain 1, no filters.
    choose(gui, choiceOf(0, 0, "Front Panel Diff"), "Front Panel Single");
    expectSent(calls, 1, 1, 1, 0, 0);
    choose(gui, choiceOf(0, 0, "AC"), "DC");
    expectSent(calls, 1, 3, 1, 0, 0);
    choose(gui, choiceOf(0, 0, "1000"), "100");
    expectSent(calls, 1, 3, 100, 0, 0);
    gui.run([] { tick(channelPage(0, 0), "High-Pass Filter"); });
    expectSent(calls, 1, 3, 100, 1, 0);
    gui.run([] { tick(channelPage(0, 0), "Anti-Ringing Filter"); });
    expectSent(calls, 1, 3, 100, 1, 1);

    // The reference as input: DC is the only coupling that makes sense, so it is fixed.
    choose(gui, choiceOf(0, 0, "Front Panel Diff"), "MB Voltage Reference");
    expectSent(calls, 1, 4, 100, 1, 1);
    E2E_CHECK(gui.run([] { return couplingShows(channelPage(0, 0), "DC", false); }),
              "coupling not fixed to DC");
    choose(
        gui, [] { return Gui::child<QComboBox>(channelTabs(0)->parentWidget(), "vrefChoice"); }, "2.5000 V");
    E2E_CHECK(std::fabs(std::stod(lastCall("setVoltRefOutput")["volts"]) - 2.5) < 1e-6, "output not 2.5 V");
    E2E_CHECK(lastCall("kq7150_setVoltRef")["state"] == "1", "the card's reference switch is not on");
    gui.shot("card1-reference");

    // Card 2, channel 5 (driver channel 13) asks for the reference card 1 holds: refused.
    showChannel(gui, 1, 4);
    gui.run([] { tick(channelPage(1, 4), "Enabled"); });
    choose(gui, choiceOf(1, 4, "Front Panel Diff"), "MB Voltage Reference");
    gui.waitUntil("the refusal", [] {
        auto *box = qobject_cast<QMessageBox *>(Gui::window(kInfoTitle));
        return box && box->text() == "Only one channel can be connected to the Voltage Reference";
    });
    gui.shot("refused");
    gui.press(kInfoTitle, "OK");
    gui.waitNoWindow(kInfoTitle);
    E2E_CHECK(kqsim_callCount("kq7150_setMultChanConfig") == calls, "the refused choice reached the card");
    E2E_CHECK(gui.run([] {
        return choiceOf(1, 4, "Front Panel Diff")()->currentText() == "Front Panel Diff" &&
               couplingShows(channelPage(1, 4), "AC", true);
    }),
              "the refused choice did not revert");

    // Card 1 lets go of it (TEDS: AC only); now card 2 gets it.
    showChannel(gui, 0, 0);
    choose(gui, choiceOf(0, 0, "Front Panel Diff"), "TEDS");
    expectSent(calls, 1, 6, 100, 1, 1);
    E2E_CHECK(gui.run([] { return couplingShows(channelPage(0, 0), "AC", false); }),
              "coupling not fixed to AC");
    showChannel(gui, 1, 4);
    choose(gui, choiceOf(1, 4, "Front Panel Diff"), "MB Voltage Reference");
    expectSent(calls, 13, 4, 1, 0, 0);
    gui.shot("card2-reference");

    gui.press(kMain, "Close");
    gui.waitUntil("the exit question", [] {
        auto *box = qobject_cast<QMessageBox *>(Gui::window(kBoxTitle));
        return box && box->text() == "Do you really want to exit?";
    });
    gui.press(kBoxTitle, "Yes");
}

} // namespace

static Registration configureChannelsWorkflow{
    {"configure_channels", kWorld, nullptr, configureChannels, nullptr}};
