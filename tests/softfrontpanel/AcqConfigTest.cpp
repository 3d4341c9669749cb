#include "PanelTest.h"

#include "acqConfig.h"

namespace {

class AcqConfigTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        settings.clear(); // the test program's own settings: no earlier start
        ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode"));
    }

    // The dialog over the window, as the acquisition opens it.
    std::unique_ptr<acqConfig> dialog() { return std::make_unique<acqConfig>(app.get()); }
    // Presses Start: 1 when the dialog accepted, -1 when it rejected.
    static int start(acqConfig &d) {
        QSignalSpy accepted(&d, &QDialog::accepted), rejected(&d, &QDialog::rejected);
        d.startButton()->click();
        return accepted.count() - rejected.count();
    }

    QSettings settings{"Travix Ltd.", "Movara 7150 Soft Front Panel"};
    QTemporaryDir folder;
};

// What the last start stored, but no timestamps in 32 bits: those blocks come from the cards without scan
// times, and a checked box must not promise them. A stored format out of range is the first.
TEST_F(AcqConfigTest, OffersWhatTheLastStartStored) {
    auto d = dialog();
    EXPECT_EQ(std::pair(d->timestampsBox()->isChecked(), d->refreshMs()), std::pair(false, 50));
    d->showRefreshRow(false); // single shots store, they are not watched
    EXPECT_TRUE(d->refreshLabel()->isHidden() && d->refreshChoice()->isHidden());

    acqConfig::writeSettings("/data/run.csv", acqConfig::CsvMilli, true);
    d = dialog();
    EXPECT_EQ(std::tuple(d->fileName(), d->formatChoice()->currentText(), d->storesTimestamps()),
              std::tuple(QString("/data/run.csv"), QString("Text, CSV (mV)"), true));
    for (auto [stored, shown] : {std::pair{3, 3}, {4, 4}, {5, 0}, {-1, 0}}) {
        settings.setValue("DataStorage/Format", stored);
        EXPECT_EQ(dialog()->formatIndex(), shown) << stored;
    }
    d->formatChoice()->setCurrentIndex(acqConfig::Binary32);
    EXPECT_FALSE(d->timestampsBox()->isEnabled() || d->storesTimestamps());
    d->formatChoice()->setCurrentIndex(acqConfig::Binary64);
    EXPECT_TRUE(d->timestampsBox()->isEnabled() && d->storesTimestamps());
}

// Which extension fits which format is OutputPathTest's. The dialog corrects the name silently on a format
// change and with a box on Start, never as an edit; it refuses a missing folder, and an existing file unless
// the user says yes, asking about the corrected name.
TEST_F(AcqConfigTest, StartCorrectsTheNameOrRefusesIt) {
    auto d = dialog();
    d->pathEdit()->clear();
    EXPECT_EQ(start(*d), 1);

    QSignalSpy changed(d->pathEdit(), &QLineEdit::textChanged);
    d->pathEdit()->setText(folder.filePath("data.v2.txt"));
    EXPECT_EQ(start(*d), 1);
    EXPECT_EQ(d->fileName(), folder.filePath("data.bin7150"));
    d->pathEdit()->setText(folder.filePath("missing/run.bin7150"));
    d->formatChoice()->setCurrentIndex(acqConfig::CsvVolts);
    EXPECT_EQ(d->fileName(), folder.filePath("missing/run.csv"));
    EXPECT_EQ(changed.count(), 2); // the two texts set here
    EXPECT_EQ(boxes.texts, QStringList{"File extension changed to '.bin7150'."});
    EXPECT_EQ(start(*d), -1);

    ASSERT_TRUE(QFile(folder.filePath("run.csv")).open(QIODevice::WriteOnly));
    d->pathEdit()->setText(folder.filePath("run.csv"));
    boxes.press("No");
    EXPECT_EQ(start(*d), -1);
    d->pathEdit()->setText(folder.filePath("run.dat"));
    boxes.press("OK");
    boxes.press("Yes");
    EXPECT_EQ(start(*d), 1);
    EXPECT_EQ(boxes.texts,
              (QStringList{"File extension changed to '.bin7150'.",
                           QString("Directory: \"%1\" does not exist.").arg(folder.filePath("missing")),
                           "File already exists, overwrite?", "File extension changed to '.csv'.",
                           "File already exists, overwrite?"}));
}

} // namespace
