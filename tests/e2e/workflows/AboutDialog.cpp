// The About dialog over two connected cards: one page per card paged with "Next >" and
// "< Previous".
#include "Steps.h"

namespace {

// Two 7150s in one carrier whose texts differ in every field the dialog shows.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::6::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":6,"model":7005,"slots":6,"cards":[
  {"slot":1,"code":"0x7150","variant":"BB","subType":"BB","serial":"0x7150A001","firmware":"3.1.0"},
  {"slot":4,"code":"0x7150","variant":"BB","subType":"BC","serial":"0x7150A004","firmware":"3.2.7"}]}]})";
const QString kAboutTitle = "About Movara 7150 Soft Front Panel";
// Model, revision, serial number, "< Previous" and "Next >" usable.
const QStringList kFirstPage = {"7150-BB", "3.1.0", "7150a001", "off", "on"};

QString shown(const char *valueLabel) {
    auto *label = Gui::child<QLabel>(Gui::window(kAboutTitle), valueLabel);
    return label ? label->text() : QString("(no %1)").arg(valueLabel);
}

// Model, revision, serial number; then whether "< Previous" and "Next >" can be pressed.
QStringList page() {
    QWidget *about = Gui::window(kAboutTitle);
    auto usable = [about](const char *name) {
        auto *b = Gui::child<QAbstractButton>(about, name);
        return QString(b && b->isVisible() && b->isEnabled() ? "on" : "off");
    };
    return {shown("modelValue"), shown("revisionValue"), shown("serialValue"), usable("prevButton"),
            usable("nextButton")};
}

void run(Gui &gui) {
    takeEveryCard(gui, 2);
    gui.press(kMainWindow, "About");
    gui.waitWindow(kAboutTitle);
    E2E_EQ(gui.run(page), kFirstPage);
    gui.shot("first-page");

    gui.click(kAboutTitle, "nextButton");
    gui.waitUntil("the second card's page", [] { return shown("modelValue") == "7150-BC"; });
    E2E_EQ(gui.run(page), QStringList({"7150-BC", "3.2.7", "7150a004", "on", "off"}));
    gui.click(kAboutTitle, "prevButton");
    gui.waitUntil("the first card's page again", [] { return page() == kFirstPage; });
    gui.press(kAboutTitle, "OK");
    gui.waitWindow(kAboutTitle, false);
    closeProgram(gui);
}

Registration aboutDialog{{"about_dialog", kWorld, nullptr, run, nullptr}};

} // namespace
