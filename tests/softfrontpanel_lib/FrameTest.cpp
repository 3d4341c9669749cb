#include "kq7000fp_AppFC.h"
#include "kq7000fp_led.h"
#include "kq7000fp_msgBox.h"
#include "kq7150_fc.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// Answers every box with one standard button and remembers what was asked.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kq7000fp_msgBox::setAnswerer([this](QMessageBox &box) -> QAbstractButton * {
            shown.push_back({box.windowTitle(), box.text(), box.icon()});
            return box.button(answer);
        });
    }
    void TearDown() override { kq7000fp_msgBox::setAnswerer(nullptr); }

    QPushButton *button(const char *name) { return frame.findChild<QPushButton *>(name); }
    QLabel *label(const char *name) { return frame.findChild<QLabel *>(name); }

    kq7150_fc descriptor;
    kq7000fp_AppFC frame{descriptor, true, true, "6.1.4", true};
    QMessageBox::StandardButton answer = QMessageBox::No;
    std::vector<ShownBox> shown;
};

TEST_F(FrameTest, DemoFrameIsDarkUnlabelledAndTitledWithTheModel)
{
    EXPECT_EQ(frame.windowTitle(), "Movara 7150 Soft Front Panel");
    EXPECT_EQ(label("banner")->text(),
              "<html>Movara 7150<br><font size='2'>8-Channel, 24-bit Sigma-Delta ADC Function Card</font></html>");
    EXPECT_EQ(frame.findChild<kq7000fp_led *>("activeLed")->value(), 0);
    EXPECT_TRUE(label("carrierInfo")->isHidden());
    EXPECT_TRUE(label("cardInfo")->isHidden());
    EXPECT_EQ(frame.session(), 0u);
    EXPECT_NE(frame.demo(), 0);
    EXPECT_EQ(frame.cardCount(), 1);
    EXPECT_FALSE(frame.isLxi());
}

TEST_F(FrameTest, SingleShotButtonLocksTheOtherUntilTheAcquisitionHasEnded)
{
    QSignalSpy start(&frame, &kq7000fp_app::startSingle), stop(&frame, &kq7000fp_app::breakSingle);
    QPushButton *single = button("singleShotButton"), *repetitive = button("repetitiveButton");

    single->toggle();
    EXPECT_EQ(start.count(), 1);
    EXPECT_FALSE(repetitive->isEnabled());
    EXPECT_EQ(single->toolTip(), "Breaks the Single-Shot Data Acquisition");

    single->toggle();
    EXPECT_EQ(stop.count(), 1);
    EXPECT_FALSE(single->isEnabled());
    EXPECT_FALSE(repetitive->isEnabled());
    EXPECT_EQ(single->toolTip(), "Starts the Single-Shot Data Acquisition");

    frame.enableStart();
    EXPECT_TRUE(single->isEnabled());
    EXPECT_TRUE(repetitive->isEnabled());
}

TEST_F(FrameTest, RepetitiveButtonLocksTheSingleShotOne)
{
    QSignalSpy start(&frame, &kq7000fp_app::startCont), stop(&frame, &kq7000fp_app::stopCont);
    QPushButton *single = button("singleShotButton"), *repetitive = button("repetitiveButton");

    repetitive->toggle();
    EXPECT_EQ(start.count(), 1);
    EXPECT_FALSE(single->isEnabled());
    EXPECT_EQ(repetitive->toolTip(), "Stops the Data Acquisition process");

    repetitive->toggle();
    EXPECT_EQ(stop.count(), 1);
    EXPECT_FALSE(single->isEnabled());
    EXPECT_FALSE(repetitive->isEnabled());
}

TEST_F(FrameTest, UserBreakReleasesAPressedButtonOnceAndEnablesBoth)
{
    QSignalSpy stopCont(&frame, &kq7000fp_app::stopCont), breakSingle(&frame, &kq7000fp_app::breakSingle);
    QPushButton *single = button("singleShotButton"), *repetitive = button("repetitiveButton");

    repetitive->toggle();
    frame.userBreak();
    EXPECT_EQ(stopCont.count(), 1);
    EXPECT_EQ(breakSingle.count(), 0);
    for (QPushButton *b : {single, repetitive}) {
        EXPECT_FALSE(b->isChecked());
        EXPECT_TRUE(b->isEnabled());
    }

    // Nothing pressed: nothing to stop, and the buttons stay usable.
    frame.userBreak();
    EXPECT_EQ(stopCont.count(), 1);
    EXPECT_EQ(breakSingle.count(), 0);
    EXPECT_TRUE(single->isEnabled());
}

TEST_F(FrameTest, AutoscaleButtonNamesItsStateAndTellsTheView)
{
    QSignalSpy toggled(&frame, &kq7000fp_app::autoscaleToggled);
    button("autoscaleButton")->toggle();
    EXPECT_EQ(button("autoscaleButton")->text(), "OFF");
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_FALSE(toggled.at(0).at(0).toBool());
}

TEST_F(FrameTest, CloseAsksFirstAndStaysOpenOnNo)
{
    frame.show();
    answer = QMessageBox::No;
    EXPECT_FALSE(frame.close());
    EXPECT_TRUE(frame.isVisible());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Movara 7150 SFP");
    EXPECT_EQ(shown[0].text, "Do you really want to exit?");

    answer = QMessageBox::Yes;
    EXPECT_TRUE(frame.close());
    EXPECT_FALSE(frame.isVisible());
}

TEST_F(FrameTest, MessageBoxesCarryTheModelInTheirTitles)
{
    kq7000fp_app::showInfoMessage("i");
    kq7000fp_app::showWarningMessage("w");
    kq7000fp_app::showErrorMessage("e"); // answered No: the program goes on
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].title, "Movara 7150 SFP Info message");
    EXPECT_EQ(shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(shown[1].title, "Movara 7150 SFP Warning message");
    EXPECT_EQ(shown[1].icon, QMessageBox::Warning);
    EXPECT_EQ(shown[2].title, "Movara 7150 SFP Error message");
    EXPECT_EQ(shown[2].text, "e\nDo you want to exit?");
    EXPECT_EQ(shown[2].icon, QMessageBox::Critical);
}

TEST_F(FrameTest, YesInTheErrorBoxEndsTheProgramWithCodeZero)
{
    answer = QMessageBox::Yes;
    EXPECT_EXIT(kq7000fp_app::showErrorMessage("kq7150_multConfig(...) failed due to [x]"),
                ::testing::ExitedWithCode(0), "");
}

TEST_F(FrameTest, CenterOnScreenUsesTheAvailableAreaOfThePrimaryScreen)
{
    QWidget w;
    w.resize(300, 200);
    kq7000fp_app::centerOnScreen(&w);
    const QSize area = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(w.pos(), QPoint((area.width() - w.frameGeometry().width()) / 2,
                              (area.height() - w.frameGeometry().height()) / 2));
}

} // namespace
