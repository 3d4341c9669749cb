#include "kq7000fp_led.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

// The panel's two lamps: "Active", whose magenta off colour stands for the window's colour,
// and the out-of-range lamp of a named colour.
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

TEST(LedTest, ToggleFromTheThirdStateTurnsTheLampOff) {
    kq7000fp_led led("Active", QColor(Qt::green), QColor(Qt::blue));
    QSignalSpy toggled(&led, &kq7000fp_led::valueToggled);
    led.setValue(2);
    led.toggleValue();
    EXPECT_EQ(led.value(), 0);
    EXPECT_EQ(toggled.count(), 1);
}
