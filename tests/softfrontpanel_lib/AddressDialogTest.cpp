#include "../support/ScriptedBoxes.h"
#include "kq7000fp_fcEnterAddress.h"
#include "kq7000fp_fcEnterAddressFc.h"
#include "kq7150_fc.h"

#include "../support/WidgetTest.h"

namespace {

// Each test has a settings folder of its own, set before the dialog reads the path.
class AddressDialogTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(warnings.texts.isEmpty()) << warnings.texts.join("\n").toStdString();
    }

    QSettings ini() const {
        return QSettings(dir.path() + "/Travix/DefaultInstrDescr.ini", QSettings::IniFormat);
    }
    QComboBox *row1() const { return dialog.row(0)->descriptorChoice(); }
    // Saves and reopens: the descriptors offered in row 1 next time.
    QStringList acceptAndReopen() {
        dialog.saveAndCollectDescriptors(descriptors, numbers);
        dialog.loadSavedDescriptors();
        QStringList offered;
        for (int i = 0; i < row1()->count(); ++i)
            offered << row1()->itemText(i);
        return offered;
    }

    SavedVariable base{"ALLUSERSPROFILE"}, data{"XDG_DATA_HOME"};
    QTemporaryDir dir;
    const bool baseSet = qputenv("ALLUSERSPROFILE", dir.path().toLocal8Bit());
    kq7150_fc model;
    kq7000fp_fcEnterAddress dialog{model};
    ScriptedBoxes warnings;
    QStringList descriptors;
    QList<int> numbers;
};

// First use (the example address, no card, one row) is the enter_address_lxi workflow's.
// Return in a descriptor field must not close the dialog. Row 1 offers the five most recent
// addresses, each once, newest first; the count limits the enabled and returned rows, but all
// rows are saved.
TEST_F(AddressDialogTest, HistoryKeepsTheFiveMostRecentAndAllRowsAreSaved) {
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
    for (int k = 1; k <= 5; ++k)
        ini().setValue(QString("7150/1.%1.Descriptor").arg(k), QString("A%1").arg(k));
    dialog.loadSavedDescriptors();
    row1()->setEditText("NEW");
    EXPECT_EQ(acceptAndReopen(), (QStringList{"NEW", "A1", "A2", "A3", "A4"}));
    EXPECT_EQ(ini().value("7150/1.5.Descriptor"), "A4");
    row1()->setCurrentIndex(2);
    EXPECT_EQ(acceptAndReopen(), (QStringList{"A2", "NEW", "A1", "A3", "A4"}));

    dialog.countChoice()->setCurrentIndex(1);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(dialog.row(i)->isEnabled(), i < 2) << "row " << i + 1;
        dialog.row(i)->descriptorChoice()->setEditText(QString("VXI0::%1::INSTR").arg(i + 1));
        dialog.row(i)->cardNumberChoice()->setCurrentIndex(8 - i);
    }
    acceptAndReopen();
    EXPECT_EQ(std::pair(descriptors, numbers),
              std::pair(QStringList{"VXI0::1::INSTR", "VXI0::2::INSTR"}, QList<int>{8, 7}));
    EXPECT_EQ(
        QStringList({ini().value("7150/8.1.Descriptor").toString(),
                     ini().value("7150/8.FC_Number").toString(), ini().value("7150/FC_Count").toString()}),
        QStringList({"VXI0::8::INSTR", "1", "2"}));
}

// A user who may not write the machine-wide file keeps the addresses in their own data folder
// and is told so once; the typed rows are used. Where nothing can be written at all is
// CardSearchTest.TypedAddressesAreCheckedAndKeptUntilTheCardsOpen's.
TEST_F(AddressDialogTest, UnwritableMachineFileFallsBackToTheUsersOwn) {
    QFile blocker(dir.filePath("plain"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("ALLUSERSPROFILE", blocker.fileName().toLocal8Bit()); // a file: no folder below it
    qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
    kq7000fp_fcEnterAddress below{model};
    below.loadSavedDescriptors();
    below.row(0)->descriptorChoice()->setEditText("VXI0::7::INSTR");
    below.row(0)->cardNumberChoice()->setCurrentIndex(3);
    below.saveAndCollectDescriptors(descriptors, numbers);
    below.saveAndCollectDescriptors(descriptors, numbers);
    EXPECT_EQ(numbers, QList<int>{3});
    ASSERT_EQ(warnings.texts.size(), 1) << warnings.texts.join("|").toStdString();
    EXPECT_TRUE(warnings.texts[0].contains(dir.filePath("data") + "/Travix/DefaultInstrDescr.ini"));
    kq7000fp_fcEnterAddress again{model};
    again.loadSavedDescriptors();
    EXPECT_EQ(again.row(0)->descriptorChoice()->currentText(), "VXI0::7::INSTR");
    warnings.texts.clear();
}

} // namespace
