// Space starts and stops the repetitive acquisition of the window over a simulated card, and
// is left alone while a dialog is up or a text field takes it.
#include "PanelTest.h"

#include "AcquisitionStatus.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"

namespace {

class SpaceKeyTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        acquisitionStatus.resetForStart();
        ASSERT_NO_FATAL_FAILURE(open(kVxiWorld));
        app->show();
        QApplication::setActiveWindow(app.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(app.get()));
    }

    QAbstractButton *button(const char *name) const { return app->findChild<QAbstractButton *>(name); }
    // Acquiring: the repetitive button is down and the cards were started.
    std::pair<bool, int> acquiring() const {
        return {button("repetitiveButton")->isChecked(), kqsim_callCount("kq7150_startMultAcquisition")};
    }
    static void send(QWidget *to, QEvent::Type type, Qt::KeyboardModifiers modifiers,
                     bool autoRepeat = false) {
        QKeyEvent key(type, Qt::Key_Space, modifiers, " ", autoRepeat);
        QApplication::sendEvent(to, &key);
    }
};

// Space on a focused button would click that button; here it is the repetitive start's.
TEST_F(SpaceKeyTest, SpaceTogglesTheRepetitiveAcquisitionFromAnyButton) {
    QAbstractButton *autoscale = button("autoscaleButton");
    QTest::keyClick(autoscale, Qt::Key_Space);
    EXPECT_EQ(acquiring(), std::pair(true, 1));
    EXPECT_TRUE(app->waveform->refreshTimer()->isActive() && autoscale->isChecked());
    for (const char *start : {"repetitiveButton", "singleShotButton"})
        EXPECT_TRUE(button(start)->toolTip().contains("Space starts and stops the repetitive acquisition"));

    // Held down, or with a modifier, it does nothing more.
    send(autoscale, QEvent::KeyPress, Qt::NoModifier, true);
    send(autoscale, QEvent::KeyPress, Qt::ShiftModifier);
    EXPECT_EQ(acquiring(), std::pair(true, 1));

    QTest::keyClick(autoscale, Qt::Key_Space);
    EXPECT_EQ(acquiring(), std::pair(false, 1));
    EXPECT_FALSE(app->waveform->refreshTimer()->isActive());

    // While a single shot runs the repetitive start is disabled, and so is the key.
    button("singleShotButton")->click();
    QTest::keyClick(autoscale, Qt::Key_Space);
    EXPECT_EQ(std::pair(button("repetitiveButton")->isChecked(), button("singleShotButton")->isChecked()),
              std::pair(false, true));
}

TEST_F(SpaceKeyTest, SpaceIsIgnoredWhileADialogIsOpenOrATextFieldHasIt) {
    QDialog dialog(app.get());
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    QTest::keyClick(button("autoscaleButton"), Qt::Key_Space);
    dialog.hide();
    EXPECT_EQ(acquiring(), std::pair(false, 0));

    QApplication::setActiveWindow(app.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(app.get()));
    app->mainTabs()->setCurrentWidget(app->daq);
    choose(app->daq->trgSource, app->daq->trgSource->findData(1)); // the level takes input
    QDoubleSpinBox *level = app->daq->trgLvl;
    level->setFocus();
    ASSERT_TRUE(level->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(acquiring(), std::pair(false, 0));
    // The same key once a button has the focus.
    button("autoscaleButton")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(acquiring(), std::pair(true, 1));
}

} // namespace
