#include "PanelTest.h"

#include "acqConfig.h"

namespace {

const char kOrg[] = "Travix Ltd.";
const char kApp[] = "Movara 7150 Soft Front Panel";

class AcqConfigTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        QSettings(kOrg, kApp).clear(); // the test program's own settings: no earlier start
        ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode"));
    }

    // The dialog over the window, as the acquisition opens it.
    std::unique_ptr<acqConfig> dialog(const QString &path = QString()) {
        auto d = std::make_unique<acqConfig>(app.get());
        if (!path.isNull())
            d->pathEdit()->setText(path);
        return d;
    }
    // Presses Start: 1 when the dialog accepted, -1 when it rejected.
    static int start(acqConfig &d) {
        QSignalSpy accepted(&d, &QDialog::accepted), rejected(&d, &QDialog::rejected);
        d.startButton()->click();
        return accepted.count() - rejected.count();
    }

    QTemporaryDir folder;
    SavedVariable home{"HOME"}, profile{"USERPROFILE"};
};

TEST_F(AcqConfigTest, OffersTheHomeFileFirstThenWhatTheLastStartStored) {
    qunsetenv("USERPROFILE");
    qputenv("HOME", "/home/ann");
    auto d = dialog();
    EXPECT_EQ(std::tuple(d->fileName(), d->timestampsBox()->isChecked(), d->refreshChoice()->currentText(),
                         d->refreshMs()),
              std::tuple(QString("/home/ann/dump.bin7150"), false, QString("50 msec"), 50));
    qputenv("USERPROFILE", ""); // an empty profile variable is no profile
    EXPECT_EQ(dialog()->fileName(), "/home/ann/dump.bin7150");
    qputenv("USERPROFILE", "/profiles/bob");
    EXPECT_EQ(dialog()->fileName(), "/profiles/bob/dump.bin7150");
    d->showRefreshRow(false); // single shots store, they are not watched
    EXPECT_TRUE(d->refreshLabel()->isHidden() && d->refreshChoice()->isHidden());

    // Then what the last start stored, but no timestamps in 32 bits: those blocks come from the
    // cards without scan times, and a checked box must not promise them.
    acqConfig::writeSettings("/data/run.csv", acqConfig::CsvMilli, true);
    d = dialog();
    EXPECT_EQ(std::tuple(d->fileName(), d->formatChoice()->currentText(), d->storesTimestamps()),
              std::tuple(QString("/data/run.csv"), QString("Text, CSV (mV)"), true));
    for (auto [stored, shown] : {std::pair{3, 3}, {4, 4}, {5, 0}, {-1, 0}}) {
        QSettings(kOrg, kApp).setValue("DataStorage/Format", stored);
        EXPECT_EQ(dialog()->formatIndex(), shown) << stored;
    }
    d->formatChoice()->setCurrentIndex(acqConfig::Binary32);
    EXPECT_FALSE(d->timestampsBox()->isEnabled() || d->storesTimestamps());
    d->formatChoice()->setCurrentIndex(acqConfig::Binary64);
    EXPECT_TRUE(d->timestampsBox()->isEnabled() && d->storesTimestamps());
}

TEST_F(AcqConfigTest, DataRateFollowsTheFormatAndAnExistingFileNeedsAYes) {
    auto d = dialog("");
    d->setDataRate(100);
    d->formatChoice()->setCurrentIndex(acqConfig::CsvMilli);
    EXPECT_EQ(d->dataRateLabel()->text(), "Data Rate: 2.6 kB/s (TEXT)");
    d->formatChoice()->setCurrentIndex(acqConfig::Binary64);
    d->setDataRate(8 * 216000);
    d->setDataRate(-1);
    EXPECT_EQ(d->dataRateLabel()->text(), "Data Rate: 13.2 MB/s");

    // An existing file is overwritten only when the user says yes; the one asked about is the
    // corrected name.
    QFile existing(folder.filePath("run.csv"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    d->pathEdit()->setText(folder.filePath("run.csv"));
    d->formatChoice()->setCurrentIndex(acqConfig::CsvVolts);
    boxes.press("No");
    EXPECT_EQ(start(*d), -1);
    d->pathEdit()->setText(folder.filePath("run.dat"));
    boxes.press("OK");
    boxes.press("Yes");
    EXPECT_EQ(start(*d), 1);
    EXPECT_EQ(boxes.texts,
              (QStringList{"File already exists, overwrite?", "File extension changed to '.csv'.",
                           "File already exists, overwrite?"}));
}

// Which extension fits which format is OutputPathTest's; the dialog corrects the name silently
// on a format change and with a box on Start, never as an edit, and refuses a missing folder.
TEST_F(AcqConfigTest, StartCorrectsTheExtensionAndRefusesAMissingFolder) {
    auto d = dialog("");
    EXPECT_EQ(start(*d), 1);
    QSignalSpy changed(d->pathEdit(), &QLineEdit::textChanged);
    d->pathEdit()->setText(folder.filePath("data.v2.txt"));
    EXPECT_EQ(start(*d), 1);
    EXPECT_EQ(d->fileName(), folder.filePath("data.bin7150"));
    EXPECT_EQ(boxes.texts, QStringList{"File extension changed to '.bin7150'."});

    boxes.texts.clear();
    d->pathEdit()->setText(folder.filePath("missing/run.bin7150"));
    d->formatChoice()->setCurrentIndex(acqConfig::CsvVolts);
    EXPECT_EQ(d->fileName(), folder.filePath("missing/run.csv"));
    EXPECT_EQ(changed.count(), 2); // the two texts set here
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(start(*d), -1);
    EXPECT_EQ(boxes.texts,
              QStringList{QString("Directory: \"%1\" does not exist.").arg(folder.filePath("missing"))});
}

// Browse starts at the path with the filter of the format shown; the chosen file's extension
// picks the format (a FLAC recording chosen so is the continuous_flac workflow's).
TEST_F(AcqConfigTest, BrowseStartsAtThePathAndMakesTheFormatFitTheChosenFile) {
    acqConfig::writeSettings("/data/Old.CSV", 0, false);
    auto d = dialog();
    QStringList asked;
    QString answer;
    d->setSaveNameAsker([&](QWidget *parent, const QString &caption, const QString &path,
                            const QString &filters, QString *selected) {
        EXPECT_EQ(parent, d.get());
        asked = QStringList{caption, path, filters, *selected};
        return answer;
    });
    d->browseButton()->click(); // cancelled
    EXPECT_EQ(asked, (QStringList{"Set Output File Name", "/data/Old.CSV",
                                  "Binary data (*.bin7150);;CSV data (*.csv);;FLAC recording (*.flac7150)",
                                  "CSV data (*.csv)"}));
    EXPECT_EQ(std::pair(d->fileName(), d->formatIndex()), std::pair(QString("/data/Old.CSV"), 0));
    answer = "/out/x.csv";
    d->browseButton()->click();
    EXPECT_EQ(std::pair(d->fileName(), d->formatChoice()->currentText()),
              std::pair(QString("/out/x.csv"), QString("Text, CSV (V)")));
    answer = "/out/y.bin7150";
    d->formatChoice()->setCurrentIndex(acqConfig::CsvMilli);
    d->browseButton()->click();
    EXPECT_EQ(asked.value(3), "CSV data (*.csv)");
    EXPECT_EQ(d->formatChoice()->currentText(), "Binary, ViReal64");
    answer = "/out/z.flac7150";
    d->browseButton()->click();
    EXPECT_EQ(asked.value(3), "Binary data (*.bin7150)");
    d->browseButton()->click();
    EXPECT_EQ(asked.value(3), "FLAC recording (*.flac7150)");
    EXPECT_TRUE(boxes.texts.isEmpty());
}

} // namespace
