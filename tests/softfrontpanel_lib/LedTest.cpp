#include "kq7000fp_led.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(LedTest, ToggleTurnsEveryLitStateOffAndOffOn)
{
    kq7000fp_led led("Active", QColor(Qt::green), QColor(Qt::blue));
    QSignalSpy toggled(&led, &kq7000fp_led::valueToggled);
    led.setValue(2);
    led.toggleValue();
    EXPECT_EQ(led.value(), 0);
    EXPECT_EQ(toggled.count(), 1);
    led.toggleValue();
    EXPECT_EQ(led.value(), 1);
}

TEST(LedTest, LampColourFollowsValueMagentaMeaningTheWindowColour)
{
    kq7000fp_led led("Active", QColor(Qt::green), QColor(Qt::magenta));
    EXPECT_EQ(led.lampColour(), led.palette().color(QPalette::Window));
    led.setValue(1);
    EXPECT_EQ(led.lampColour(), QColor(Qt::green));
    led.setValue(2);
    EXPECT_EQ(led.lampColour(), QColor(Qt::green)); // no third colour set yet
    led.setThirdColour(Qt::yellow);
    EXPECT_EQ(led.lampColour(), QColor(Qt::yellow));
}

TEST(LedTest, NamedColourDefaultsToRed)
{
    kq7000fp_led led("Input Signal Out of Range", nullptr);
    led.setValue(1);
    EXPECT_EQ(led.lampColour(), QColor("#FF0000"));
}
