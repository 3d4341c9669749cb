#include "../support/ScriptedBoxes.h"
#include "kq7000fp_AppFC.h"
#include "kq7000fp_led.h"
#include "kq7150_fc.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A frame in demo mode; boxes are closed unanswered (neither Yes nor No) unless a test says.
class FrameTest : public ::testing::Test {
protected:
    QPushButton *button(const char *name) { return frame.findChild<QPushButton *>(name); }
    QLabel *label(const char *name) { return frame.findChild<QLabel *>(name); }

    ScriptedBoxes boxes;
    kq7150_fc descriptor;
    kq7000fp_AppFC frame{descriptor, true, true, "6.1.4", true};
};

TEST_F(FrameTest, DemoFrameIsDarkUnlabelledAndTitledWithTheModel) {
    EXPECT_EQ(frame.windowTitle(), "Movara 7150 Soft Front Panel");
    EXPECT_TRUE(label("banner")->text().startsWith("<html>Movara 7150<br>"));
    EXPECT_EQ(frame.findChild<kq7000fp_led *>("activeLed")->value(), 0);
    EXPECT_TRUE(label("carrierInfo")->isHidden() && label("cardInfo")->isHidden());
    EXPECT_EQ(std::tuple(frame.session(), frame.demo() != 0, frame.cardCount(), frame.isLxi()),
              std::tuple(ViSession(0), true, 1, false));
}

// Pressing either start button locks the other; releasing it locks both until the acquisition
// has ended and enableStart() frees them.
TEST_F(FrameTest, EachStartButtonLocksTheOtherUntilTheAcquisitionHasEnded) {
    QPushButton *single = button("singleShotButton"), *repetitive = button("repetitiveButton");
    QSignalSpy startSingle(&frame, &kq7000fp_app::startSingle),
        breakSingle(&frame, &kq7000fp_app::breakSingle), startCont(&frame, &kq7000fp_app::startCont),
        stopCont(&frame, &kq7000fp_app::stopCont);
    const struct {
        QPushButton *pressed, *other;
        QSignalSpy *start, *stop;
    } rows[] = {{single, repetitive, &startSingle, &breakSingle},
                {repetitive, single, &startCont, &stopCont}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.pressed->objectName().toStdString());
        r.pressed->toggle();
        EXPECT_EQ(r.start->count(), 1);
        EXPECT_FALSE(r.other->isEnabled());
        r.pressed->toggle();
        EXPECT_EQ(r.stop->count(), 1);
        EXPECT_FALSE(single->isEnabled() || repetitive->isEnabled());
        frame.enableStart();
        EXPECT_TRUE(single->isEnabled() && repetitive->isEnabled());
    }
    EXPECT_EQ(startSingle.count() + breakSingle.count() + startCont.count() + stopCont.count(), 4);
}

TEST_F(FrameTest, UserBreakReleasesAPressedButtonOnceAndEnablesBoth) {
    QSignalSpy stopCont(&frame, &kq7000fp_app::stopCont), breakSingle(&frame, &kq7000fp_app::breakSingle);
    QPushButton *single = button("singleShotButton"), *repetitive = button("repetitiveButton");
    repetitive->toggle();
    // The second break finds nothing pressed: nothing to stop, and the buttons stay usable.
    for (int i = 0; i < 2; ++i) {
        frame.userBreak();
        EXPECT_EQ(stopCont.count(), 1);
        EXPECT_EQ(breakSingle.count(), 0);
        EXPECT_FALSE(single->isChecked() || repetitive->isChecked());
        EXPECT_TRUE(single->isEnabled() && repetitive->isEnabled());
    }
}

TEST_F(FrameTest, AutoscaleButtonNamesItsStateAndTellsTheView) {
    QSignalSpy toggled(&frame, &kq7000fp_app::autoscaleToggled);
    button("autoscaleButton")->toggle();
    EXPECT_EQ(button("autoscaleButton")->text(), "OFF");
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_FALSE(toggled.at(0).at(0).toBool());
}

// Yes ends the program: the end-to-end test answers it.
TEST_F(FrameTest, CloseAsksFirstAndStaysOpenOnNo) {
    frame.show();
    boxes.press("No");
    EXPECT_FALSE(frame.close());
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(boxes.titles, QStringList{"Movara 7150 SFP"});
    EXPECT_EQ(boxes.texts, QStringList{"Do you really want to exit?"});
}

TEST_F(FrameTest, MessageBoxesCarryTheModelInTheirTitles) {
    kq7000fp_app::showInfoMessage("i");
    kq7000fp_app::showWarningMessage("w");
    kq7000fp_app::showErrorMessage("e"); // not answered Yes: the program goes on
    EXPECT_EQ(boxes.titles, QStringList({"Movara 7150 SFP Info message", "Movara 7150 SFP Warning message",
                                         "Movara 7150 SFP Error message"}));
    EXPECT_EQ(boxes.icons, (QList<QMessageBox::Icon>{QMessageBox::Information, QMessageBox::Warning,
                                                     QMessageBox::Critical}));
    EXPECT_EQ(boxes.texts.value(2), "e\nDo you want to exit?");
}

TEST_F(FrameTest, YesInTheErrorBoxEndsTheProgramWithCodeZero) {
    boxes.press("Yes");
    EXPECT_EXIT(kq7000fp_app::showErrorMessage("kq7150_multConfig(...) failed due to [x]"),
                ::testing::ExitedWithCode(0), "");
}

TEST_F(FrameTest, CenterOnScreenUsesTheAvailableAreaOfThePrimaryScreen) {
    QWidget w;
    w.resize(300, 200);
    kq7000fp_app::centerOnScreen(&w);
    const QSize area = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(w.pos(), QPoint((area.width() - w.frameGeometry().width()) / 2,
                              (area.height() - w.frameGeometry().height()) / 2));
}

} // namespace
