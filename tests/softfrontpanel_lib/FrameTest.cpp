// The frame around every panel, in demo mode. The exit question, the start buttons locking each
// other and their release after a stop are the workflows'; the message box titles too.
#include "../support/ScriptedBoxes.h"
#include "kq7000fp_AppFC.h"
#include "kq7150_fc.h"

#include "../support/WidgetTest.h"

namespace {

// Boxes are closed unanswered (neither Yes nor No) unless the test says. The second user break
// finds nothing pressed: nothing to stop, and the buttons stay usable.
TEST(FrameTest, DemoFrameBreaksOnceAndItsErrorBoxAsksToExit) {
    ScriptedBoxes boxes;
    kq7150_fc descriptor;
    kq7000fp_AppFC frame{descriptor, true, true, "6.1.4", true};
    const auto button = [&](const char *name) { return frame.findChild<QPushButton *>(name); };
    EXPECT_EQ(std::tuple(frame.session(), frame.demo() != 0, frame.cardCount(), frame.isLxi()),
              std::tuple(ViSession(0), true, 1, false));
    QSignalSpy stopCont(&frame, &kq7000fp_app::stopCont), breakSingle(&frame, &kq7000fp_app::breakSingle);
    QPushButton *single = button("singleShotButton"), *repetitive = button("repetitiveButton");
    repetitive->toggle();
    for (int i = 0; i < 2; ++i) {
        frame.userBreak();
        EXPECT_EQ(std::pair(stopCont.count(), breakSingle.count()), std::pair(1, 0));
        EXPECT_FALSE(single->isChecked() || repetitive->isChecked());
        EXPECT_TRUE(single->isEnabled() && repetitive->isEnabled());
    }

    kq7000fp_app::showErrorMessage("e"); // not answered Yes: the program goes on
    EXPECT_EQ(boxes.texts.value(0), "e\nDo you want to exit?");
    boxes.press("Yes");
    EXPECT_EXIT(kq7000fp_app::showErrorMessage("kq7150_multConfig(...) failed due to [x]"),
                ::testing::ExitedWithCode(0), "");
}

} // namespace
