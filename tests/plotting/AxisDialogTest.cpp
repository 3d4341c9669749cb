// The axis range dialogs of the voltage and spectrum plots: which ranges OK refuses and with
// which box, what OK does to the owner's autoscale control, "Max", and the custom unit read-out.
#include "axisConfig.h"
#include "axisConfigFft.h"
#include "kq7000fp_digitCtrl.h"

#include "../support/ScriptedBoxes.h"

#include "../support/WidgetTest.h"

namespace {

// An unchecked y group means autoscale: its limits do not count. The spectrum dialog's box
// carries the 7140's title. "Max" then sets the ends of the allowed range, where they count. Both dialogs
// share their range part; a case talks to it without knowing which one it has.
TEST(AxisDialogs, OkRefusesOnlyARangeThatCountsAndMaxTakesTheWholeRange) {
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
        std::unique_ptr<axisRangeDialog> d;
        if (c.spectrum)
            d = std::make_unique<axisConfigFft>(nullptr);
        else
            d = std::make_unique<axisConfig>(nullptr, c.checkable);
        d->lowerLimit()->setRange(-1000, 1000);
        d->upperLimit()->setRange(-1000, 1000);
        d->rangeGroup()->setCheckable(c.checkable);
        d->rangeGroup()->setChecked(c.checked);
        d->lowerLimit()->setValue(c.lower);
        d->upperLimit()->setValue(c.upper);
        ScriptedBoxes boxes({"OK"});
        QSignalSpy accepted(d.get(), &QDialog::accepted);
        d->okButton()->click();
        EXPECT_EQ(accepted.count(), c.refused ? 0 : 1);
        EXPECT_EQ(boxes.texts,
                  c.refused ? QStringList{"The lower limit must be below the upper limit."} : QStringList{});
        EXPECT_EQ(boxes.titles.value(0), !c.refused   ? ""
                                         : c.spectrum ? "Movara 7140 SFP"
                                                      : "Movara 7150 SFP");
        d->maxButton()->click();
        const bool counts = !c.checkable || c.checked;
        EXPECT_EQ(std::pair(d->lowerLimit()->value(), d->upperLimit()->value()),
                  counts ? std::pair(-1000.0, 1000.0) : std::pair(c.lower, c.upper));
    }
}

// The view takes the plot's current time range whenever its autoscale is switched; OK must
// switch autoscale to match the group and still leave the view with the range it kept before.
TEST(AxisConfig, OkSwitchesAutoscaleAndKeepsTheTimeRange) {
    for (const bool customRange : {true, false}) {
        SCOPED_TRACE(customRange ? "custom range" : "autoscale");
        axisConfig dialog(nullptr, true);
        dialog.upperLimit()->setValue(1);
        dialog.rangeGroup()->setCheckable(true);
        dialog.rangeGroup()->setChecked(customRange);
        QPushButton autoscale;
        autoscale.setCheckable(true);
        autoscale.setChecked(customRange); // the opposite of what OK asks for
        double kept[2] = {0.25, 0.75};
        QObject::connect(&autoscale, &QPushButton::toggled, [&] { kept[0] = kept[1] = 5; });
        dialog.setAutoscaleControl(&autoscale);
        dialog.setKeptXRange(&kept[0], &kept[1]);
        ScriptedBoxes boxes;
        dialog.okButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(std::tuple(autoscale.isChecked(), kept[0], kept[1]), std::tuple(!customRange, 0.25, 0.75));
    }
}

// Each input of the linear law reaches the read-out, and a sign must not survive a zero multiplier at the end
// below the offset; converting back to volts never divides by a zero multiplier.
TEST(AxisConfig, UnitReadoutFollowsTheLinearLawAndZeroIsNeverADivisor) {
    axisConfig dialog(nullptr, true);
    for (QDoubleSpinBox *limit : {dialog.lowerLimit(), dialog.upperLimit()}) {
        limit->setRange(-10.24, 10.24);
        limit->setDecimals(9);
    }
    dialog.unitName()->setText("mV");
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
