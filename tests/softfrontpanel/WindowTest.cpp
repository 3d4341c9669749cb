#include "StoredFileSettings.h"
#include "fileInfo_t.h"
#include "kq7150_fc.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_chCfg.h"
#include "kq7150fp_vrefs.h"

#include "../support/ScriptedBoxes.h"
#include "../support/SimWorldFiles.h"

#include "kq7150.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A VXI carrier in mainframe slot 3 with one 7150 in slot 5 and a reference module.
const char kVxiWorld[] = R"({"carriers":[{"resources":["VXI0::5::INSTR"],"interface":"VXI","slot":3,
  "logicalAddress":5,"slots":6,"referenceVoltages":[0.0,2.5,5.0],"cards":[{"slot":5,"serial":"0x71500305",
  "subType":"BB","firmware":"2.4.1"}]}]})";
const char kLxiWorld[] = R"({"carriers":[{"resources":["TCPIP0::192.0.2.7::INSTR"],"interface":"TCPIP",
  "ipAddress":"192.0.2.7","hostName":"lxi7","slots":1,"cards":[{"slot":1}]}]})";

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { kq7150fp_chCfg::forgetReference(); }
    // Connects to the only card of the world through "Auto Find".
    std::unique_ptr<kq7150fp_App> connect(const char *json)
    {
        world.use(json);
        boxes.press("Auto Find");
        auto window = std::make_unique<kq7150fp_App>(descriptor, 2, false);
        boxes.texts.clear();
        return window;
    }
    std::unique_ptr<kq7150fp_App> demoWindow()
    {
        boxes.press("Run In Demo Mode");
        auto window = std::make_unique<kq7150fp_App>(descriptor, 2, false);
        boxes.texts.clear();
        return window;
    }
    static QPushButton *button(QWidget &w, const QString &text)
    {
        for (QPushButton *b : w.findChildren<QPushButton *>())
            if (b->text() == text)
                return b;
        return nullptr;
    }
    static std::string lastCall(const char *call)
    {
        char text[256] = {};
        kqsim_lastCall(call, text, sizeof text);
        return text;
    }

    SimWorldFiles world;
    ScriptedBoxes boxes;
    kq7150_fc descriptor;
};

TEST_F(WindowTest, DemoShowsTwoCardsWithoutReferenceOrCalibration)
{
    auto w = demoWindow();
    ASSERT_EQ(w->fcTab()->count(), 2);
    EXPECT_EQ(w->fcTab()->tabText(1), "Function Card #2");
    for (int c = 0; c < 2; ++c) {
        ASSERT_EQ(w->channelTabs(c)->count(), 8);
        EXPECT_EQ(w->channelTabs(c)->tabText(7), "Channel 8");
    }
    EXPECT_EQ(w->vrefChoice()->count(), 0);
    EXPECT_TRUE(w->vrefChoice()->isEnabled());
    EXPECT_FALSE(button(*w, "Calibrate all channels")->isEnabled());
    ASSERT_NE(button(*w, "Calibrate all Function Cards"), nullptr);
    EXPECT_FALSE(button(*w, "Calibrate all Function Cards")->isEnabled());
    ASSERT_EQ(w->hardware().size(), 1u);
    EXPECT_EQ(w->hardware()[0].model, "7150-AA (DEMO)");
    EXPECT_EQ(w->mainTabs()->tabText(w->mainTabs()->indexOf(w->daq)), "Acquisition");
}

TEST_F(WindowTest, ReferenceChoiceListsTheCarriersVoltagesAndReachesTheCard)
{
    auto w = connect(kVxiWorld);
    QComboBox *choice = w->vrefChoice();
    ASSERT_EQ(choice->count(), 3);
    EXPECT_EQ(choice->itemText(0), "0.0000 V");
    EXPECT_EQ(choice->itemText(2), "5.0000 V");
    EXPECT_EQ(lastCall("setVoltRefOutput"), "volts=0"); // switched off while the page was built
    EXPECT_EQ(button(*w, "Apply to all Function Cards"), nullptr); // one card only
    EXPECT_TRUE(button(*w, "Calibrate all channels")->isEnabled());

    w->setVref(1);
    EXPECT_EQ(lastCall("setVoltRefOutput"), "volts=2.5");
    EXPECT_EQ(lastCall("kq7150_setVoltRef"), "state=1");
    w->setVref(0);
    EXPECT_EQ(lastCall("kq7150_setVoltRef"), "state=0");
}

TEST_F(WindowTest, SwitchingToAcquisitionSelectsTheClosestReferenceLowerOnATie)
{
    auto w = connect(kVxiWorld);
    ViSession fc = 0;
    kq7150_instEnv *env = nullptr;
    ASSERT_EQ(kq7150_getMultFCsession(w->session(), 0, &fc), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(fc, VI_ATTR_USER_DATA, &env), VI_SUCCESS);
    const int acquisition = w->mainTabs()->indexOf(w->daq);
    for (auto [volts, expected] : {std::pair{2.4, 1}, {1.25, 0}, {4.0, 2}}) {
        env->head.ifVref->setVoltRefOutput(env->head.libEnv, volts);
        w->vrefChoice()->setCurrentIndex(-1);
        w->mainTabChanged(acquisition);
        EXPECT_EQ(w->vrefChoice()->currentIndex(), expected) << volts;
    }
    w->vrefChoice()->setCurrentIndex(-1);
    w->mainTabChanged(w->mainTabs()->indexOf(w->fcTab()->parentWidget()));
    EXPECT_EQ(w->vrefChoice()->currentIndex(), -1); // other tabs leave the choice alone
}

TEST_F(WindowTest, CardLabelsAndTitleFollowTheShownCard)
{
    auto w = connect(kVxiWorld);
    w->FCChanged(0);
    EXPECT_EQ(w->findChild<QLabel *>("carrierInfo")->text(), "Slot 3");
    EXPECT_EQ(w->findChild<QLabel *>("cardInfo")->text(), "FC #5");
    EXPECT_EQ(w->windowTitle(), "Movara 7150 Soft Front Panel: ");
    ASSERT_EQ(w->hardware().size(), 1u);
    EXPECT_EQ(w->hardware()[0].model, "7150-BB");
    EXPECT_EQ(w->hardware()[0].serial, "71500305");
    EXPECT_EQ(w->hardware()[0].firmware, "2.4.1");
}

TEST_F(WindowTest, LxiCardHasNoReferenceToChooseOrCalibrateWith)
{
    auto w = connect(kLxiWorld);
    EXPECT_EQ(w->vrefChoice()->count(), 0);
    EXPECT_FALSE(w->vrefChoice()->isEnabled());
    EXPECT_FALSE(button(*w, "Calibrate all channels")->isEnabled());
    EXPECT_EQ(vrefs.count, 0);
}

TEST_F(WindowTest, DriverWarningsThePanelKnowsAreIgnoredOthersShown)
{
    auto w = demoWindow();
    w->displayError(kq7150_WARN_CAL_DUE, "kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL)");
    w->displayError(kq7150_WARN_FW_NEWER, "kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL)");
    EXPECT_TRUE(boxes.texts.isEmpty());
    w->displayError(0x3FFC0A04, "x");
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("Warning: [")) << boxes.texts[0].toStdString();
    boxes.press("No");
    w->displayError(kq7150_ERROR_GAIN, "kq7150_setMultChanConfig (d_vi, ...)");
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_TRUE(boxes.texts[1].startsWith("kq7150_setMultChanConfig (d_vi, ...) failed due to [Gain"));
}

TEST_F(WindowTest, ApplyToAllChannelsCopiesEverySettingButNotTheReference)
{
    auto w = connect(kVxiWorld);
    kq7150fp_chCfg *first = w->channel(0, 0);
    first->sourceChoice()->setCurrentIndex(3); // ICP sensor
    first->gain->setCurrentIndex(4);           // 20
    first->fir->setChecked(true);
    first->setChCfg();
    w->applyToAllChan();
    for (int ch = 1; ch < 8; ++ch) {
        kq7150fp_chCfg *c = w->channel(0, ch);
        EXPECT_EQ(c->sourceChoice()->currentIndex(), 3) << ch;
        EXPECT_EQ(c->gain->currentIndex(), 4) << ch;
        EXPECT_TRUE(c->fir->isChecked()) << ch;
        EXPECT_TRUE(c->enableBox()->isChecked()) << ch;
    }
    EXPECT_EQ(lastCall("kq7150_setMultChanConfig"), "channel=8 source=5 gain=20 highPass=0 antiRinging=1");

    first->sourceChoice()->setCurrentIndex(2); // the reference
    first->setChCfg();
    const int calls = kqsim_callCount("kq7150_setMultChanConfig");
    w->applyToAllChan();
    EXPECT_EQ(boxes.texts.value(0), "Only one channel can be connected to the Voltage Reference");
    EXPECT_EQ(kqsim_callCount("kq7150_setMultChanConfig"), calls);
    EXPECT_EQ(w->channel(0, 1)->sourceChoice()->currentIndex(), 3);
}

TEST_F(WindowTest, AStoredFileSetsLengthRateAndChannelsAndLocksTheSettings)
{
    kq7150fp_App w(descriptor, 2, true); // offline: no connection question
    EXPECT_TRUE(boxes.texts.isEmpty());
    fileInfo_t info{};
    info.cards = 2;
    info.channelMasks[0] = 0x05;
    info.channelMasks[1] = 0x80;
    info.scansPerBlock = 1000;  // not offered by the panel
    info.rate = 1234.5;         // neither
    StoredFileSettings::apply(w, info);
    EXPECT_EQ(w.daq->lengthChoice->currentText(), "1000");
    EXPECT_EQ(w.daq->lengthChoice->currentData().toInt(), 1000);
    EXPECT_EQ(w.daq->samplingRate->currentText(), "1234.5");
    const bool expected[2][8] = {{1, 0, 1, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 1}};
    for (int c = 0; c < 2; ++c)
        for (int ch = 0; ch < 8; ++ch)
            EXPECT_EQ(w.channel(c, ch)->enableBox()->isChecked(), expected[c][ch]) << c << "/" << ch;
    EXPECT_FALSE(w.mainTabs()->isTabEnabled(w.mainTabs()->indexOf(w.daq)));
    EXPECT_FALSE(w.mainTabs()->isTabEnabled(w.mainTabs()->indexOf(w.fcTab()->parentWidget())));

    info.scansPerBlock = 1024; // offered: selected, nothing added
    const int items = w.daq->lengthChoice->count();
    StoredFileSettings::apply(w, info);
    EXPECT_EQ(w.daq->lengthChoice->count(), items);
    EXPECT_EQ(w.daq->lengthChoice->currentText(), "1024");
}

} // namespace
