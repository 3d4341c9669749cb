// Calibration through the window, where the calibrate_channel and calibrate_all workflows do
// not go: demo mode, and a failure in the middle of the sequence. What calibrating does to the
// measured signal is the simulation's own test (CalibrationTest.RemovesTheOffsetAndGainErrorsItReports).
#include "PanelTest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>

namespace {

const std::string kCarrier =
    R"({"calibrationMs":5,"carriers":[{"resources":["VXI0::1::INSTR"],"interface":"VXI",)"
    R"("referenceVoltages":[0,2.5],"cards":[)";
const std::string kTwoCards = kCarrier + R"({"slot":1},{"slot":2}]}]})";
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

} // namespace
