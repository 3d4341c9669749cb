// Starting at a PTP alarm: the wait runs off the GUI thread while the window stays usable.
#include "PanelTest.h"

#include "kq7000fp_PTPalarm.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <ctime>

namespace {

constexpr int64_t kTaiMinusUtc = 37; // the simulated card clock runs on TAI

class TimedStartTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(open(kLxiWorld));
        const int ptp = app->daq->trgSource->findData(-1);
        ASSERT_GE(ptp, 0);
        choose(app->daq->trgSource, ptp);
        single = app->findChild<QAbstractButton *>("singleShotButton");
        repeat = app->findChild<QAbstractButton *>("repetitiveButton");
    }
    void alarmIn(int seconds) {
        app->daq->alarm->setTime(static_cast<int64_t>(std::time(nullptr)) + kTaiMinusUtc + seconds);
    }

    QAbstractButton *single = nullptr;
    QAbstractButton *repeat = nullptr;
};

TEST_F(TimedStartTest, WaitShowsTheClockKeepsButtonsAwayThenAcquiresOneBlock) {
    // Whole seconds: one second ahead may be only a few milliseconds away, too short for the
    // watcher to see the wait.
    alarmIn(2);
    QStringList seen;
    bool buttonsLocked = true;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        seen << app->waveform->statusLabel()->text();
        buttonsLocked = buttonsLocked && !repeat->isEnabled();
    });
    watcher.start(100);
    single->click(); // returns once the cards have started
    watcher.stop();

    EXPECT_EQ(kqsim_callCount("kq7150_startMultAcquisitionTimed64"), 1);
    EXPECT_EQ(kqsim_callCount("kq7150_startMultAcquisition"), 0);
    ASSERT_FALSE(seen.isEmpty()) << "the window did not process events during the wait";
    EXPECT_TRUE(seen.last().startsWith("Ready   -   ")) << seen.last().toStdString();
    EXPECT_TRUE(buttonsLocked);
    EXPECT_TRUE(app->waveform->refreshTimer()->isActive());

    ASSERT_TRUE(QTest::qWaitFor([&] { return kqsim_callCount("kq7150_readMultAcquisition") == 1; }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return single->isEnabled() && !single->isChecked(); }, 1000));
    EXPECT_EQ(app->waveform->statusLabel()->text(), "Idle");
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
}

// The start buttons are locked during the wait; "Cancel" beside the status line and Esc give
// it up as a stop would, and nothing starts behind the user's back once the alarm time comes.
TEST_F(TimedStartTest, CancelOrEscapeGivesUpTheWait) {
    app->show(); // Esc reaches the window that is active
    QApplication::setActiveWindow(app.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(app.get()));
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Esc" : "Cancel");
        kqsim_clearCallLog();
        alarmIn(2);
        bool offered = false;
        QTimer::singleShot(300, [&] {
            QAbstractButton *cancel = app->waveform->cancelWaitButton();
            offered = cancel->isVisible();
            if (escape)
                QTest::keyClick(app.get(), Qt::Key_Escape);
            else
                cancel->click();
        });
        repeat->click();

        EXPECT_TRUE(offered);
        EXPECT_FALSE(app->waveform->cancelWaitButton()->isVisible());
        EXPECT_GE(kqsim_callCount("kq7150_stopMultAcquisition"), 1);
        EXPECT_TRUE(single->isEnabled() && repeat->isEnabled() && !repeat->isChecked());
        EXPECT_EQ(app->waveform->statusLabel()->text(), "Idle");
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
        QTest::qWait(2000); // past the alarm
        EXPECT_EQ(kqsim_callCount("kq7150_readMultAcquisition"), 0);
        EXPECT_FALSE(app->waveform->refreshTimer()->isActive());
    }
}

// An alarm already past cannot be met: the failure names the call.
TEST_F(TimedStartTest, AlarmInThePastIsReported) {
    alarmIn(-5);
    single->click();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq7150_startMultAcquisitionTimed64 failed due to ["))
        << boxes.texts[0].toStdString();
    EXPECT_TRUE(single->isEnabled());
}

} // namespace
