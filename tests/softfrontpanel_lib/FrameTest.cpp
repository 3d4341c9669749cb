// The frame around every panel, in demo mode, and its lamps. The exit question, the start buttons locking
// each other and their release after a stop are the workflows'; the message box titles too.
#include "../support/ScriptedBoxes.h"
#include "kq7000fp_AppFC.h"
#include "kq7000fp_led.h"
#include "kq7150_fc.h"

#include "../support/WidgetTest.h"

namespace {

// Boxes are closed unanswered (neither Yes nor No) unless a test says.
class FrameTest : public ::testing::Test {
protected:
    QPushButton *button(const char *name) { return frame.findChild<QPushButton *>(name); }

    ScriptedBoxes boxes;
    kq7150_fc descriptor;
    kq7000fp_AppFC frame{descriptor, true, true, "6.1.4", true};
};

TEST_F(FrameTest, DemoFrameIsDarkAndUnlabelledAndTheAutoscaleButtonNamesItsState) {
    EXPECT_TRUE(frame.findChild<QLabel *>("banner")->text().startsWith("<html>Movara 7150<br>"));
    EXPECT_EQ(frame.findChild<kq7000fp_led *>("activeLed")->value(), 0);
    EXPECT_EQ(std::tuple(frame.session(), frame.demo() != 0, frame.cardCount(), frame.isLxi()),
              std::tuple(ViSession(0), true, 1, false));
    EXPECT_TRUE(frame.findChild<QLabel *>("carrierInfo")->isHidden() &&
                frame.findChild<QLabel *>("cardInfo")->isHidden());
    QSignalSpy toggled(&frame, &kq7000fp_app::autoscaleToggled);
    button("autoscaleButton")->toggle();
    EXPECT_EQ(button("autoscaleButton")->text(), "OFF");
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_FALSE(toggled.at(0).at(0).toBool());
}

// The second break finds nothing pressed: nothing to stop, and the buttons stay usable.
TEST_F(FrameTest, UserBreakReleasesAPressedButtonOnceAndEnablesBoth) {
    QSignalSpy stopCont(&frame, &kq7000fp_app::stopCont), breakSingle(&frame, &kq7000fp_app::breakSingle);
    QPushButton *single = button("singleShotButton"), *repetitive = button("repetitiveButton");
    repetitive->toggle();
    for (int i = 0; i < 2; ++i) {
        frame.userBreak();
        EXPECT_EQ(std::pair(stopCont.count(), breakSingle.count()), std::pair(1, 0));
        EXPECT_FALSE(single->isChecked() || repetitive->isChecked());
        EXPECT_TRUE(single->isEnabled() && repetitive->isEnabled());
    }
}

TEST_F(FrameTest, MessageBoxesCarryTheirIconsAndTheErrorBoxAsksToExit) {
    kq7000fp_app::showInfoMessage("i");
    kq7000fp_app::showWarningMessage("w");
    kq7000fp_app::showErrorMessage("e"); // not answered Yes: the program goes on
    EXPECT_EQ(boxes.icons, (QList<QMessageBox::Icon>{QMessageBox::Information, QMessageBox::Warning,
                                                     QMessageBox::Critical}));
    EXPECT_EQ(boxes.texts.value(2), "e\nDo you want to exit?");
    boxes.press("Yes");
    EXPECT_EXIT(kq7000fp_app::showErrorMessage("kq7150_multConfig(...) failed due to [x]"),
                ::testing::ExitedWithCode(0), "");
}

// The panel's two lamps: "Active", whose magenta off colour stands for the window's colour,
// and the out-of-range lamp of a named colour. No lamp is toggled or given a third state.
TEST(LedTest, LampShowsItsColourWhenOnAndTheWindowColourWhenOff) {
    kq7000fp_led active("Active", QColor(Qt::green), QColor(Qt::magenta));
    kq7000fp_led overrange("Input Signal Out of Range", "#f80");
    for (kq7000fp_led *led : {&active, &overrange})
        EXPECT_EQ(led->lampColour(), led->palette().color(QPalette::Window));
    active.setValue(1);
    overrange.setValue(1);
    EXPECT_EQ(active.lampColour(), QColor(Qt::green));
    EXPECT_EQ(overrange.lampColour(), QColor("#f80"));
}

} // namespace
