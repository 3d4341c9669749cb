// The axis range dialogs of the voltage and spectrum plots: which ranges OK refuses and with
// which box, what OK does to the owner's autoscale control, "Max", and the custom unit read-out.
#include "axisConfig.h"
#include "axisConfigFft.h"
#include "kq7000fp_digitCtrl.h"

#include "../support/ScriptedBoxes.h"

#include "../support/WidgetTest.h"

namespace {

// Both dialogs share their range part; a case talks to it without knowing which one it has.
std::unique_ptr<axisRangeDialog> makeDialog(bool spectrum, bool withUnits) {
    if (spectrum)
        return std::make_unique<axisConfigFft>(nullptr);
    return std::make_unique<axisConfig>(nullptr, withUnits);
}

// An unchecked y group means autoscale: its limits do not count. The spectrum dialog's box
// carries the 7140's title.
TEST(AxisDialogs, OkRefusesOnlyARangeThatCounts) {
    const struct {
        bool spectrum, checkable, checked;
        double lower, upper;
        bool refused;
    } cases[] = {{false, true, true, 2, 2, true},     {false, true, false, 2, 2, false},
                 {false, false, false, 1, 0.5, true}, {false, false, false, 0.5, 1, false},
                 {true, true, true, -20, -20, true},  {true, true, false, -20, -20, false},
                 {true, false, false, 200, 100, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.spectrum << c.checkable << c.checked << " " << c.lower << ".." << c.upper);
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
        EXPECT_EQ(accepted.count(), c.refused ? 0 : 1);
        EXPECT_EQ(boxes.texts,
                  c.refused ? QStringList{"The lower limit must be below the upper limit."} : QStringList{});
        if (c.refused) {
            EXPECT_EQ(boxes.titles.value(0), c.spectrum ? "Movara 7140 SFP" : "Movara 7150 SFP");
        }
    }
}

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

// Each input of the linear law reaches the read-out, shown with the unit group only, and a
// sign must not survive a zero multiplier at the end below the offset; converting back to volts
// never divides by a zero multiplier.
TEST(AxisConfig, UnitReadoutFollowsTheLinearLawAndZeroIsNeverADivisor) {
    axisConfig dialog(nullptr, true);
    for (QDoubleSpinBox *limit : {dialog.lowerLimit(), dialog.upperLimit()}) {
        limit->setRange(-10.24, 10.24);
        limit->setDecimals(9);
    }
    dialog.unitName()->setText("mV");
    dialog.unitGroup()->setChecked(true);
    EXPECT_FALSE(dialog.rangeReadout()->isHidden());
    dialog.unitGroup()->setChecked(false);
    EXPECT_TRUE(dialog.rangeReadout()->isHidden());
    dialog.lowerLimit()->setValue(-10);
    dialog.upperLimit()->setValue(10);
    dialog.offset()->setValue(1);
    dialog.multiplier()->setValue(-0.5);
    EXPECT_EQ(dialog.rangeReadout()->text(), "Range:  5.500000 .. -4.500000  mV");
    dialog.unitName()->setText("bar");
    dialog.multiplier()->setValue(0.0);
    EXPECT_EQ(dialog.rangeReadout()->text(), "Range:  0.000000 .. 0.000000  bar");

    EXPECT_EQ(axisConfig::toUnits(3.0, 1.0, 2.0), 4.0);
    EXPECT_EQ(axisConfig::toVolts(4.0, 1.0, 2.0), 3.0);
    EXPECT_EQ(axisConfig::toVolts(7.5, 1.0, 0.0), 7.5);
}

} // namespace
