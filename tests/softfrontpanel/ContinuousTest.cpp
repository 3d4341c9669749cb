// Continuous acquisition with storage through the window, as a person runs it: the storage
// box, the dialog, a start button, a while of acquiring, the stop; then the file is read back.
#include "PanelTest.h"

#include "../support/RampFileCheck.h"

#include "AcquisitionStatus.h"
#include "DataFileReader.h"
#include "StoredFileSettings.h"
#include "acqConfig.h"
#include "kq7000fp_PTPalarm.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"

#include <qwt_plot_curve.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

namespace {

constexpr double kLsb = 10.24 / 8388608.0; // gain 1
constexpr int64_t kTaiMinusUtc = 37;

std::string rampLxiWorld(int cards) {
    std::string list;
    for (int c = 1; c <= cards; ++c)
        list += std::string(c > 1 ? "," : "") + R"({"slot":)" + std::to_string(c) + R"(,"signal":{"type":"ramp"}})";
    return R"({"carriers":[{"resources":["TCPIP0::192.0.2.7::INSTR"],"interface":"TCPIP","ipAddress":"192.0.2.7",
      "hostName":"lxi7","slots":)" + std::to_string(cards) + R"(,"cards":[)" + list + "]}]}";
}

class ContinuousTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    void select(QComboBox *choice, const QVariant &data) {
        const int index = choice->findData(data);
        ASSERT_GE(index, 0) << data.toString().toStdString();
        choose(choice, index);
    }
    // Channels 1..channels of every card on, the others off.
    void enable(int channels) {
        for (int c = 0; c < app->cards(); ++c)
            for (int k = 0; k < 8; ++k)
                app->channel(c, k)->enableBox()->setChecked(k < channels);
    }
    void settings(double rate, int scans, int source) {
        kq7150fp_DAQ *daq = app->daq;
        daq->continuousStorage->setChecked(true);
        ASSERT_NO_FATAL_FAILURE(select(daq->samplingRate, rate));
        ASSERT_NO_FATAL_FAILURE(select(daq->lengthChoice, scans));
        ASSERT_NO_FATAL_FAILURE(select(daq->trgSource, source));
        if (source == -1)
            daq->alarm->setTime(static_cast<int64_t>(std::time(nullptr)) + kTaiMinusUtc + 1);
    }
    // Fills the dialog when it shows and presses "Start" (or "Cancel").
    void answerDialog(const QString &path, int format, bool timestamps, bool start = true) {
        QTimer::singleShot(0, [=] {
            acqConfig *d = app->acqDialog;
            if (!d->isVisible())
                return;
            d->pathEdit()->setText(path);
            d->formatChoice()->setCurrentIndex(format);
            d->timestampsBox()->setChecked(timestamps);
            (start ? d->startButton() : d->cancelButton())->click();
        });
    }
    QAbstractButton *button(const char *name) { return app->findChild<QAbstractButton *>(name); }
    // Acquires for ms milliseconds with the repetitive button, then releases it.
    void runFor(int ms) {
        button("repetitiveButton")->click();
        QTest::qWait(ms);
        button("repetitiveButton")->click();
    }

    QTemporaryDir dir;
};

// Two cards, all 16 channels at the highest rate, with timestamps: every scan reaches the
// file once and in order, and the scan times advance by exactly one sampling period.
TEST_F(ContinuousTest, TwentySecondsAtTheHighestRateAreStoredWithoutAGap) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(2)));
    enable(8);
    ASSERT_NO_FATAL_FAILURE(settings(216000.0, 16384, -1));
    const QString path = dir.filePath("gapfree.bin7150");
    answerDialog(path, 0, true);
    runFor(20000);

    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path.toStdString(), kLsb, file));
    EXPECT_EQ(file.info.channels, 16);
    EXPECT_EQ(file.info.timestamps, 1);
    EXPECT_GE(file.blocks, 19u * 216000 / 16384); // the whole 20 s less the start
    EXPECT_EQ(file.blocks, acquisitionStatus.blocksRead.load());
    EXPECT_EQ(app->waveform->statusLabel()->text(), "Idle");
}

// Nothing to store: the acquisition runs and shows its blocks, and the file size stays 0 B.
TEST_F(ContinuousTest, EmptyFileNameAcquiresWithoutAFile) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1)));
    ASSERT_NO_FATAL_FAILURE(settings(10000.0, 1024, 0));
    answerDialog("", 0, false);
    button("repetitiveButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(acquisitionStatus.blocksRead.load() >= 3, 3000);
    QTRY_VERIFY(app->waveform->fileSizeLine()->text().startsWith("File size: 0 B, sample backlog: "));
    EXPECT_TRUE(app->waveform->fileSizeLine()->isVisible() || !app->isVisible());
    button("repetitiveButton")->click();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

// A single shot with storage stores its block, says so, and releases the button by itself; the
// file then opens for viewing like any stored file.
TEST_F(ContinuousTest, SingleShotStoresABlockThatOpensForViewing) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1)));
    ASSERT_NO_FATAL_FAILURE(settings(10000.0, 1024, 0));
    const QString path = dir.filePath("single.bin7150");
    answerDialog(path, 0, false);
    ::testing::internal::CaptureStdout();
    button("singleShotButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!button("singleShotButton")->isChecked() && button("singleShotButton")->isEnabled(),
                             5000);
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("Single - done\n"), std::string::npos) << said;
    EXPECT_NE(said.find("* Stopped\n"), std::string::npos) << said;
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path.toStdString(), kLsb, file));
    EXPECT_GE(file.blocks, 1u);

    fileInfo_t info{};
    ASSERT_EQ(DataFileReader::readHeader(path.toLocal8Bit().constData(), info), 0);
    app = std::make_unique<kq7150fp_App>(descriptor, info.cards, true);
    StoredFileSettings::apply(*app, info);
    EXPECT_EQ(app->waveform->slider()->maximum(), static_cast<int>(file.blocks));
    const QwtSeriesData<QPointF> *shown = app->waveform->curve(0, 0)->data();
    ASSERT_EQ(shown->size(), 1024u);
    EXPECT_NEAR(shown->sample(1).y() - shown->sample(0).y(), kLsb, 1e-12); // the ramp, one count a scan
}

// Where nothing can be stored, nothing starts, and the user is told why.
TEST_F(ContinuousTest, BadPathsStartNothing) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1)));
    ASSERT_NO_FATAL_FAILURE(settings(10000.0, 1024, 0));
    answerDialog(dir.filePath("missing/data.bin7150"), 0, false);
    button("repetitiveButton")->click();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0], QString("Directory: \"%1\" does not exist.").arg(dir.filePath("missing")));
    EXPECT_EQ(kqsim_callCount("kq7150_startMultAcquisitionEx"), 0);

    answerDialog("/proc/data.bin7150", 0, false); // a folder nobody may create files in
    button("repetitiveButton")->click();
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(boxes.texts[1], "Cannot open file: \"/proc/data.bin7150\" for writing.");
    EXPECT_EQ(kqsim_callCount("kq7150_startMultAcquisitionEx"), 0);
    EXPECT_TRUE(button("repetitiveButton")->isEnabled() && !button("repetitiveButton")->isChecked());
}

// A read failing inside the callback ends the storing; the user learns it at the stop.
TEST_F(ContinuousTest, ReadFailureIsShownWhenTheAcquisitionStops) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1), R"({"faults": [{"call": "kq7150_readMultAcquisition",
        "status": "0xBFFC080E", "from": 3, "count": 0, "inCallback": true}]})"));
    ASSERT_NO_FATAL_FAILURE(settings(10000.0, 1024, 0));
    answerDialog(dir.filePath("failing.bin7150"), 0, false);
    runFor(1000);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq7150_readMultAcquisitionEx failed due to [")) << boxes.texts[0].toStdString();
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(dir.filePath("failing.bin7150").toStdString(), kLsb, file));
    EXPECT_LE(file.blocks, 2u);
}

} // namespace
