// The axis range dialogs of the voltage and spectrum plots: which ranges OK refuses and with
// which box, what OK does to the owner's autoscale control, "Max", and the custom unit read-out.
#include "axisConfig.h"
#include "axisConfigFft.h"
#include "kq7000fp_digitCtrl.h"

#include "../support/ScriptedBoxes.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Both dialogs share their range part; a case talks to it without knowing which one it has.
std::unique_ptr<axisRangeDialog> makeDialog(bool spectrum, bool withUnits) {
    if (spectrum)
        return std::make_unique<axisConfigFft>(nullptr);
    return std::make_unique<axisConfig>(nullptr, withUnits);
}

struct RangeCase {
    const char *name;
    bool spectrum;  // axisConfigFft, else axisConfig
    bool checkable; // a y axis dialog, where an unchecked group means autoscale
    bool checked;
    double lower, upper;
    bool refused;
};

class AxisRangeCheck : public ::testing::TestWithParam<RangeCase> {};

TEST_P(AxisRangeCheck, RefusesOnlyARangeThatCounts) {
    const RangeCase c = GetParam();
    auto d = makeDialog(c.spectrum, c.checkable);
    d->lowerLimit()->setRange(-1000, 1000);
    d->upperLimit()->setRange(-1000, 1000);
    d->rangeGroup()->setCheckable(c.checkable);
    if (c.checkable)
        d->rangeGroup()->setChecked(c.checked);
    d->lowerLimit()->setValue(c.lower);
    d->upperLimit()->setValue(c.upper);

    ScriptedBoxes boxes({"OK"});
    QSignalSpy accepted(d.get(), &QDialog::accepted);
    d->okButton()->click();

    if (c.refused) {
        EXPECT_EQ(accepted.count(), 0);
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_EQ(boxes.texts[0], "The lower limit must be below the upper limit.");
        EXPECT_EQ(boxes.titles[0], c.spectrum ? "Movara 7140 SFP" : "Movara 7150 SFP");
        EXPECT_EQ(boxes.icons[0], QMessageBox::Warning);
    } else {
        EXPECT_EQ(accepted.count(), 1);
        EXPECT_TRUE(boxes.texts.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, AxisRangeCheck,
    ::testing::Values(RangeCase{"VoltageYCheckedEqual", false, true, true, 2, 2, true},
                      RangeCase{"VoltageYCheckedReversed", false, true, true, 3, 2, true},
                      RangeCase{"VoltageYCheckedValid", false, true, true, 2, 3, false},
                      RangeCase{"VoltageYAutoscaleIgnoresLimits", false, true, false, 2, 2, false},
                      RangeCase{"VoltageXEqual", false, false, false, 0.5, 0.5, true},
                      RangeCase{"VoltageXReversed", false, false, false, 1, 0.5, true},
                      RangeCase{"VoltageXValid", false, false, false, 0.5, 1, false},
                      RangeCase{"SpectrumYCheckedEqual", true, true, true, -20, -20, true},
                      RangeCase{"SpectrumYAutoscaleIgnoresLimits", true, true, false, -20, -20, false},
                      RangeCase{"SpectrumXEqual", true, false, false, 100, 100, true},
                      RangeCase{"SpectrumXReversed", true, false, false, 200, 100, true},
                      RangeCase{"SpectrumXValid", true, false, false, 100, 200, false}),
    [](const ::testing::TestParamInfo<RangeCase> &info) { return std::string(info.param.name); });

// The view takes the plot's current time range whenever its autoscale is switched; OK must
// switch autoscale to match the group and still leave the view with the range it kept before.
TEST(AxisConfig, OkSwitchesAutoscaleAndKeepsTheTimeRange) {
    for (const bool customRange : {true, false}) {
        SCOPED_TRACE(customRange ? "custom range" : "autoscale");
        axisConfig dialog(nullptr, true);
        dialog.lowerLimit()->setRange(-10.24, 10.24);
        dialog.upperLimit()->setRange(-10.24, 10.24);
        dialog.lowerLimit()->setValue(-1);
        dialog.upperLimit()->setValue(1);
        dialog.rangeGroup()->setCheckable(true);
        dialog.rangeGroup()->setChecked(customRange);

        QPushButton autoscale;
        autoscale.setCheckable(true);
        autoscale.setChecked(customRange); // the opposite of what OK asks for
        double keptLower = 0.25, keptUpper = 0.75;
        QObject::connect(&autoscale, &QPushButton::toggled, [&] {
            keptLower = -5;
            keptUpper = 5;
        });
        dialog.setAutoscaleControl(&autoscale);
        dialog.setKeptXRange(&keptLower, &keptUpper);

        ScriptedBoxes boxes;
        dialog.okButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(autoscale.isChecked(), !customRange);
        EXPECT_EQ(keptLower, 0.25);
        EXPECT_EQ(keptUpper, 0.75);
    }
}

TEST(AxisDialogs, MaxSetsTheEndsOfTheAllowedRange) {
    for (const bool spectrum : {false, true}) {
        SCOPED_TRACE(spectrum ? "axisConfigFft" : "axisConfig");
        auto d = makeDialog(spectrum, true);
        d->lowerLimit()->setRange(-300, 30);
        d->upperLimit()->setRange(-300, 30);
        d->lowerLimit()->setValue(-50);
        d->upperLimit()->setValue(-10);
        d->maxButton()->click();
        EXPECT_EQ(d->lowerLimit()->value(), -300);
        EXPECT_EQ(d->upperLimit()->value(), 30);
    }
}

class UnitReadout : public ::testing::Test {
protected:
    void SetUp() override {
        dialog.lowerLimit()->setRange(-10.24, 10.24);
        dialog.upperLimit()->setRange(-10.24, 10.24);
        dialog.lowerLimit()->setDecimals(9);
        dialog.upperLimit()->setDecimals(9);
        dialog.unitName()->setText("mV");
    }
    void setRange(double lower, double upper) {
        dialog.lowerLimit()->setValue(lower);
        dialog.upperLimit()->setValue(upper);
    }
    QString readout() const { return dialog.rangeReadout()->text(); }

    axisConfig dialog{nullptr, true};
};

TEST_F(UnitReadout, FollowsEveryInputOfTheLinearLaw) {
    setRange(-10, 10);
    dialog.offset()->setValue(1);
    dialog.multiplier()->setValue(2.0);
    // (-10 - 1) * 2 and (10 - 1) * 2
    EXPECT_EQ(readout(), "Range:  -22.000000 .. 18.000000  mV");
    dialog.multiplier()->setValue(-0.5);
    EXPECT_EQ(readout(), "Range:  5.500000 .. -4.500000  mV");
    dialog.unitName()->setText("bar");
    EXPECT_EQ(readout(), "Range:  5.500000 .. -4.500000  bar");
}

TEST_F(UnitReadout, ZeroMultiplierReadsZeroAtBothEnds) {
    // The lower end is below the offset: a sign must not survive the zero.
    setRange(-10.24, 10.24);
    dialog.offset()->setValue(0.5);
    dialog.multiplier()->setValue(0.0);
    EXPECT_EQ(readout(), "Range:  0.000000 .. 0.000000  mV");
}

TEST_F(UnitReadout, ShownOnlyWhileTheUnitGroupIsChecked) {
    EXPECT_TRUE(dialog.rangeReadout()->isHidden());
    dialog.unitGroup()->setChecked(true);
    EXPECT_FALSE(dialog.rangeReadout()->isHidden());
    dialog.unitGroup()->setChecked(false);
    EXPECT_TRUE(dialog.rangeReadout()->isHidden());

    setRange(-3, 4);
    EXPECT_EQ(readout(), "Range:  -3.000000 .. 4.000000  mV");
    EXPECT_TRUE(dialog.rangeReadout()->isHidden());
}

TEST(AxisConfig, ConversionBackToVoltsSkipsAZeroMultiplier) {
    const double volts = 3.0;
    const double shown = axisConfig::toUnits(volts, 1.0, 2.0);
    EXPECT_EQ(shown, 4.0);
    EXPECT_EQ(axisConfig::toVolts(shown, 1.0, 2.0), volts);
    // Every voltage reads 0 with a zero multiplier; the value is left as it is, never divided.
    EXPECT_EQ(axisConfig::toVolts(7.5, 1.0, 0.0), 7.5);
}

} // namespace
