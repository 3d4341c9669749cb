// Enter Address: a person types the LXI box's resource name, picks card 1 and gets the window
// of that one card under the LXI heading; the address is kept for the next start.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTest>

#include <cstdlib>

namespace {

const QString kAddressTitle = "Movara 7150 SFP: Enter Addresses of Function Cards";
const char kAddress[] = "TCPIP0::192.0.2.17::INSTR";

QComboBox *rowChoice(const char *row, const char *choice) {
    return Gui::child<QComboBox>(Gui::child<QWidget>(Gui::window(kAddressTitle), row), choice);
}

void run(Gui &gui) {
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
    gui.run([] {
        QLineEdit *edit = rowChoice("row1", "descriptorChoice")->lineEdit();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, kAddress);
    });
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

Registration enterAddress{{"enter_address_lxi", "", nullptr, run, nullptr}};

} // namespace
