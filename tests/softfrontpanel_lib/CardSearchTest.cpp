#include "../support/ScriptedBoxes.h"
#include "../support/SimWorldFiles.h"
#include "kq7000fp_fcEnterAddress.h"
#include "kq7000fp_fcEnterAddressFc.h"
#include "kq7000fp_fcSelect.h"
#include "kq7150_fc.h"

#include "kqsim_control.h"

#include "../support/WidgetTest.h"

namespace {

// Each test meets the world it writes, or the built-in one.
class CardSearchTest : public ::testing::Test {
protected:
    SimWorldFiles world;
    kq7150_fc descriptor;
};

// The built-in world's VXI carrier holds cards in slots 2, 3 and 5; which can be picked, and
// the session they open, are the auto_find_vxi workflow's. OK with nothing chosen leaves the
// tree up; the cards open in the order they were picked.
TEST_F(CardSearchTest, OkWithoutACardIsRefusedAndCardsKeepTheOrderPicked) {
    ScriptedBoxes boxes({"Auto Find"});
    kq7000fp_fcSelect select(&descriptor, true);
    QSignalSpy accepted(&select, &QDialog::accepted);
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        if (!select.isVisible())
            return;
        person.stop();
        select.okPressed();
        EXPECT_EQ(accepted.count(), 0);
        QTreeWidgetItem *vxi = select.tree()->topLevelItem(2)->child(0);
        vxi->child(2)->setSelected(true);
        vxi->child(0)->setSelected(true);
        select.okPressed();
    });
    person.start(10);
    ASSERT_TRUE(select.runConnectDialog());
    EXPECT_EQ(
        std::tuple(accepted.count(), select.cardCount(), select.cardNumbers()[0], select.cardNumbers()[1]),
        std::tuple(1, 2, ViInt16(5), ViInt16(2)));
    descriptor.closeCards(select.session());
}

// Typed addresses: incomplete rows are warned about, and the dialog comes back with what was
// typed, also when nothing could be saved (a user who may write neither the machine's nor a
// data folder of their own) and after "Try Again".
TEST_F(CardSearchTest, TypedAddressesAreCheckedAndKeptUntilTheCardsOpen) {
    QTemporaryDir settings;
    QFile blocker(settings.filePath("plain")); // a file: no folder can be made below it
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    SavedVariable base{"ALLUSERSPROFILE"}, data{"XDG_DATA_HOME"};
    qputenv("ALLUSERSPROFILE", blocker.fileName().toLocal8Bit());
    qputenv("XDG_DATA_HOME", blocker.fileName().toLocal8Bit());
    world.use(R"({"faults":[{"call":"kq7150_multInit","status":"0xBFFC0814"}]})", "KQ7150_SIM_FAULTS");
    ScriptedBoxes boxes({"Enter Address", "OK", "OK", "OK", "Try Again", "Enter Address"});
    // Each time the dialog shows, what it shows is kept and the person types the next rows
    // (none: OK as it is).
    QList<QStringList> typed = {{"VXI0::5::INSTR FC 0"},
                                {"VXI0::5::INSTR FC 2", "VXI0::5::INSTR FC 0"},
                                {"VXI0::5::INSTR FC 2", "VXI0::5::INSTR FC 5"},
                                {}};
    const QStringList expected{"TCPIP::192.168.2.100::INSTR FC 0", typed[0].join(", "), typed[1].join(", "),
                               typed[2].join(", ")};
    QStringList shown;
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<kq7000fp_fcEnterAddress *>(QApplication::activeModalWidget());
        if (!dialog || typed.isEmpty())
            return;
        QStringList rows;
        for (int r = 0; r <= dialog->countChoice()->currentIndex(); ++r)
            rows << dialog->row(r)->descriptorChoice()->currentText() + " FC " +
                        QString::number(dialog->row(r)->cardNumberChoice()->currentIndex());
        shown << rows.join(", ");
        const QStringList next = typed.takeFirst();
        if (!next.isEmpty())
            dialog->countChoice()->setCurrentIndex(next.size() - 1);
        for (int r = 0; r < next.size(); ++r) {
            dialog->row(r)->descriptorChoice()->setEditText(next[r].section(" FC ", 0, 0));
            dialog->row(r)->cardNumberChoice()->setCurrentIndex(next[r].section(" FC ", 1).toInt());
        }
        dialog->accept();
    });
    person.start(10);
    kq7000fp_fcSelect select(&descriptor, true);
    ASSERT_TRUE(select.runConnectDialog());
    ASSERT_EQ(boxes.texts.size(), 6) << boxes.texts.join("|").toStdString();
    EXPECT_TRUE(boxes.texts[1].startsWith("Cannot save the entered addresses to") &&
                boxes.texts[4].contains("7150 Function Card is unavailable."))
        << boxes.texts.join("|").toStdString();
    EXPECT_TRUE(boxes.texts[2].startsWith("Please enter the resource descriptor"));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(std::pair(select.resourceList(), select.cardNumbers()[1]),
              std::pair(QString("VXI0::5::INSTR,VXI0::5::INSTR"), ViInt16(5)));
    descriptor.closeCards(select.session());
}

// A warning from opening is a failure; "Try Again" starts over, and the session the warning came
// with is not kept.
TEST_F(CardSearchTest, NothingFoundOffersDemoModeAndAWarningFromOpeningIsAFailure) {
    world.use(R"({"carriers":[]})");
    ScriptedBoxes boxes({"Auto Find", "Run In Demo Mode", "Auto Find", "Try Again", "Cancel"});
    kq7000fp_fcSelect demo(&descriptor, true);
    ASSERT_TRUE(demo.runConnectDialog());
    EXPECT_EQ(boxes.texts.value(1), "No 7150 Function Card found on your system.");
    EXPECT_EQ(std::tuple(demo.demo(), demo.cardCount(), demo.session()), std::tuple(1, 1, ViSession(0)));
    world.use(
        R"({"carriers":[{"resources":["TCPIP0::192.0.2.1::INSTR"],"interface":"TCPIP","ipAddress":"192.0.2.1","hostName":"box0","slots":1,"cards":[{"slot":1}]}]})");
    world.use(R"({"faults":[{"call":"kq7150_multInit","status":"0x3FFC0A02"}]})", "KQ7150_SIM_FAULTS");
    kq7000fp_fcSelect select(&descriptor, true);
    EXPECT_FALSE(select.runConnectDialog());
    EXPECT_EQ(boxes.texts.mid(3),
              QStringList({"Selected 7150 Function Card is unavailable.\nError: " +
                               QString::fromStdString(descriptor.errorMessage(0x3FFC0A02)),
                           "How to connect to 7150 Function Card?"}));
    EXPECT_EQ(kqsim_openSessions(), 0);
}

} // namespace
