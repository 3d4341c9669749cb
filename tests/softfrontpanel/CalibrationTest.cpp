// Calibration through the window: the sequence of channels, what a failure does to it, and
// what calibrating does to the measured signal.
#include "PanelTest.h"

#include "kq7150fp_Waveform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QTest>

#include <cmath>

namespace {

const std::string kCarrier =
    R"({"calibrationMs":5,"carriers":[{"resources":["VXI0::1::INSTR"],"interface":"VXI",)"
    R"("referenceVoltages":[0,2.5],"cards":[)";
const std::string kTwoCards = kCarrier + R"({"slot":1},{"slot":2}]}]})";
// A card whose inputs see 0 V: what it measures is its own offset.
const std::string kGroundedCard =
    kCarrier +
    R"({"slot":1,"signal":{"type":"sine","frequency":100,"amplitude":0,"offset":0,"noiseRms":0}}]}]})";

// Records each text of the progress dialog as it is drawn: the sequence blocks the event loop,
// so only the paints it forces can be watched.
class ProgressTexts : public QObject {
public:
    ProgressTexts() { qApp->installEventFilter(this); }
    ~ProgressTexts() override { qApp->removeEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *label = qobject_cast<QLabel *>(watched);
        if (event->type() == QEvent::Paint && label && !label->text().isEmpty() &&
            label->window()->windowTitle() == "Movara 7150 Calibration" &&
            (texts.isEmpty() || texts.last() != label->text()))
            texts << label->text();
        return false;
    }
};

using CalibrationTest = PanelTest;

TEST_F(CalibrationTest, AllCardsInDemoGoFromCardOneChannelOneToTheLastChannel) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    ProgressTexts progress;
    QElapsedTimer clock;
    clock.start();
    app->calibrateAllFC();
    const qint64 ms = clock.elapsed();
    ASSERT_EQ(progress.texts.size(), 16) << progress.texts.join(" | ").toStdString();
    EXPECT_EQ(progress.texts.first(), "Calibrating Function Card #1, channel 1, please wait...");
    EXPECT_EQ(progress.texts[8], "Calibrating Function Card #2, channel 1, please wait...");
    EXPECT_EQ(progress.texts.last(), "Calibrating Function Card #2, channel 8, please wait...");
    EXPECT_GE(ms, 16 * 500 - 50); // each channel takes its time, as on hardware
    EXPECT_EQ(kqsim_callCount("kq7150_calibrateChannel"), 0);
}

// The user declines to exit after a failure: the remaining channels are still calibrated.
TEST_F(CalibrationTest, FailureOnChannelThreeIsShownAndTheRestFollows) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards, R"({"faults":[{"call":"kq7150_calibrateChannel",
        "status":"0xBFFC0814","count":1,"channel":3}]})"));
    boxes.press("No");
    ProgressTexts progress;
    app->calibrateAllChan();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL) failed due to ["))
        << boxes.texts[0].toStdString();
    EXPECT_EQ(kqsim_callCount("kq7150_calibrateChannel"), 8);
    EXPECT_EQ(lastSimCall("kq7150_calibrateChannel"), "channel=8");
    EXPECT_EQ(progress.texts.size(), 8);
}

// A grounded input reads the channel's offset until the channel is calibrated.
TEST_F(CalibrationTest, CalibratingRemovesTheOffsetTheChannelMeasures) {
    ASSERT_NO_FATAL_FAILURE(open(kGroundedCard));
    auto measuredMean = [this] {
        app->findChild<QAbstractButton *>("singleShotButton")->click();
        QAbstractButton *single = app->findChild<QAbstractButton *>("singleShotButton");
        [&] {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !single->isChecked() && single->isEnabled(); }, 3000));
        }();
        const int n = app->waveform->scans();
        double sum = 0;
        for (int s = 0; s < n; ++s)
            sum += app->waveform->data()[s];
        return sum / n;
    };
    const double before = measuredMean();
    EXPECT_GT(std::fabs(before), 0.15e-3)
        << "an uncalibrated channel has an offset of a fraction of a millivolt";
    app->channel(0, 0)->calibrate();
    EXPECT_LT(std::fabs(measuredMean()), 2 * 10.24 / 8388608) << "within a count or two after calibration";
}

} // namespace
