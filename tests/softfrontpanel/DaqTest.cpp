#include "PanelTest.h"

#include "kq7000fp_PTPalarm.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_vrefs.h"

namespace {

using DaqTest = PanelTest;

// An LXI box has no reference module to choose or calibrate with. Each trigger source enables
// its own controls (the alarm set with "Now+10s" on the card's clock is the repetitive_ptp_alarm
// workflow's).
TEST_F(DaqTest, LxiBoxHasNoReferenceAndEachTriggerSourceEnablesItsOwnControls) {
    ASSERT_NO_FATAL_FAILURE(open(kLxiWorld));
    EXPECT_EQ(std::tuple(app->vrefChoice()->count(), app->vrefChoice()->isEnabled(), vrefs.count),
              std::tuple(0, false, 0));
    for (QPushButton *b : app->findChildren<QPushButton *>())
        EXPECT_FALSE(b->text() == "Calibrate all channels" && b->isEnabled());
    kq7150fp_DAQ *daq = app->daq;
    ASSERT_NE(daq->alarm, nullptr);
    EXPECT_EQ(daq->trgSource->itemData(daq->trgSource->count() - 1).toInt(), -1);
    // Source; edge and level, position, pipeline and alarm enabled.
    const std::tuple<const char *, bool, bool, bool, bool> rows[] = {
        {"Channel 3", true, true, false, false},         {"None", false, false, false, false},
        {"Front Panel High", false, false, true, false}, {"Front Panel Low", false, false, true, false},
        {"PTP Alarm", false, false, true, true},         {"Channel 8", true, true, false, false},
    };
    for (const auto &[source, edgeAndLevel, position, pipeline, alarm] : rows) {
        SCOPED_TRACE(source);
        daq->trgPosition->setCurrentIndex(3); // what the person chose before
        choose(daq->trgSource, daq->trgSource->findText(source));
        EXPECT_EQ(std::tuple(daq->trgEdge->isEnabled(), daq->trgLvl->isEnabled(),
                             daq->trgPosition->isEnabled(), daq->pipeline->isEnabled(),
                             daq->alarm->isEnabled(), daq->alarm->isArmed()),
                  std::tuple(edgeAndLevel, edgeAndLevel, position, pipeline, alarm, alarm));
        // None and the front panel start the record at the trigger; channels and PTP keep it.
        EXPECT_EQ(daq->trgPosition->currentIndex(), !position && QString(source) != "PTP Alarm" ? 0 : 3);
        if (QString(source).startsWith("Front Panel")) {
            EXPECT_EQ(daq->trgEdge->currentText(), QString(source).endsWith("High") ? "Rising" : "Falling");
        }
        if (alarm) {
            EXPECT_EQ(daq->pipeline->currentText(), "Compensated");
        }
    }
}

} // namespace
