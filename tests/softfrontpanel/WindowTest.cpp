#include "PanelTest.h"

#include "StoredFileSettings.h"
#include "fileInfo_t.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_vrefs.h"

#include "kq7150.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>

#include <tuple>

namespace {

class WindowTest : public PanelTest {
protected:
    QPushButton *button(const QString &text) const {
        for (QPushButton *b : app->findChildren<QPushButton *>())
            if (b->text() == text)
                return b;
        return nullptr;
    }
};

TEST_F(WindowTest, DemoShowsTwoCardsSendsNothingAndLetsEveryChannelUseTheReference) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    ASSERT_EQ(app->fcTab()->count(), 2);
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(app->channelTabs(c)->count(), 8);
    ASSERT_EQ(app->hardware().size(), 1u);
    EXPECT_EQ(app->hardware()[0].model, "7150-AA (DEMO)");
    // No reference module, so nothing to calibrate with.
    EXPECT_EQ(app->vrefChoice()->count(), 0);
    EXPECT_TRUE(app->vrefChoice()->isEnabled());
    for (const char *calibrate : {"Calibrate all channels", "Calibrate all Function Cards"})
        EXPECT_TRUE(button(calibrate) && !button(calibrate)->isEnabled()) << calibrate;
    EXPECT_FALSE(app->channel(0, 0)->calibrateButton()->isEnabled());

    QSignalSpy gains(app->channel(1, 3), &kq7150fp_chCfg::gainChangedSignal);
    choose(app->channel(0, 0)->sourceChoice(), 2);
    choose(app->channel(1, 3)->sourceChoice(), 2);
    EXPECT_EQ(builtWith.second + kqsim_callCount("kq7150_setMultChanConfig"), 0);
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(gains.value(0), (QList<QVariant>{3, 1})); // plug-ins still hear the gain
}

TEST_F(WindowTest, ReferenceChoiceListsTheVoltagesReachesTheCardAndFollowsItsOutput) {
    // Opened by hand, to see the calls of the opening.
    ASSERT_NO_FATAL_FAILURE(sim.use(kVxiWorld));
    boxes.press("Auto Find");
    app = std::make_unique<kq7150fp_App>(descriptor, 1, false);
    EXPECT_EQ(lastSimCall("setVoltRefOutput"), "volts=0"); // switched off while the page was built
    QComboBox *choice = app->vrefChoice();
    ASSERT_EQ(choice->count(), 3);
    EXPECT_EQ(choice->itemText(0), "0.0000 V");
    EXPECT_EQ(choice->itemText(2), "5.0000 V");
    EXPECT_EQ(button("Apply to all Function Cards"), nullptr); // one card only
    EXPECT_TRUE(button("Calibrate all channels")->isEnabled());

    app->setVref(1);
    EXPECT_EQ(lastSimCall("setVoltRefOutput"), "volts=2.5");
    EXPECT_EQ(lastSimCall("kq7150_setVoltRef"), "state=1");
    app->setVref(0);
    EXPECT_EQ(lastSimCall("kq7150_setVoltRef"), "state=0");

    // Switching to the acquisition selects the voltage closest to the output, the lower on a tie.
    ViSession fc = 0;
    kq7150_instEnv *env = nullptr;
    ASSERT_EQ(kq7150_getMultFCsession(app->session(), 0, &fc), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(fc, VI_ATTR_USER_DATA, &env), VI_SUCCESS);
    const int acquisition = app->mainTabs()->indexOf(app->daq);
    for (auto [volts, expected] : {std::pair{2.4, 1}, {1.25, 0}, {4.0, 2}}) {
        env->head.ifVref->setVoltRefOutput(env->head.libEnv, volts);
        choice->setCurrentIndex(-1);
        app->mainTabChanged(acquisition);
        EXPECT_EQ(choice->currentIndex(), expected) << volts;
    }
    choice->setCurrentIndex(-1);
    app->mainTabChanged(app->mainTabs()->indexOf(app->fcTab()->parentWidget()));
    EXPECT_EQ(choice->currentIndex(), -1); // other tabs leave the choice alone
}

TEST_F(WindowTest, CardLabelsAndTitleFollowTheShownCard) {
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld));
    app->FCChanged(0);
    EXPECT_EQ(app->findChild<QLabel *>("carrierInfo")->text(), "Slot 3");
    EXPECT_EQ(app->findChild<QLabel *>("cardInfo")->text(), "FC #5");
    EXPECT_EQ(app->windowTitle(), "Movara 7150 Soft Front Panel: ");
    ASSERT_EQ(app->hardware().size(), 1u);
    const kq7150fp_App::CardDescription &card = app->hardware()[0];
    EXPECT_EQ(std::tuple(card.model, card.serial, card.firmware), std::tuple("7150-BB", "71500305", "2.4.1"));
}

TEST_F(WindowTest, LxiCardHasNoReferenceToChooseOrCalibrateWith) {
    ASSERT_NO_FATAL_FAILURE(open(kLxiWorld));
    EXPECT_EQ(app->vrefChoice()->count(), 0);
    EXPECT_FALSE(app->vrefChoice()->isEnabled());
    EXPECT_FALSE(button("Calibrate all channels")->isEnabled());
    EXPECT_EQ(vrefs.count, 0);
}

TEST_F(WindowTest, DriverWarningsThePanelKnowsAreIgnoredOthersShown) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode"));
    app->displayError(kq7150_WARN_CAL_DUE, "kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL)");
    app->displayError(kq7150_WARN_FW_NEWER, "kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL)");
    EXPECT_TRUE(boxes.texts.isEmpty());
    app->displayError(0x3FFC0A04, "x");
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("Warning: [")) << boxes.texts[0].toStdString();
    boxes.press("No");
    app->displayError(kq7150_ERROR_GAIN, "kq7150_setMultChanConfig (d_vi, ...)");
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_TRUE(boxes.texts[1].startsWith("kq7150_setMultChanConfig (d_vi, ...) failed due to [Gain"));
}

TEST_F(WindowTest, ApplyToAllChannelsCopiesEverySettingButNotTheReference) {
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld));
    kq7150fp_chCfg *first = app->channel(0, 0);
    first->sourceChoice()->setCurrentIndex(3); // ICP sensor
    first->gain->setCurrentIndex(4);           // 20
    first->fir->setChecked(true);
    first->setChCfg();
    app->applyToAllChan();
    for (int ch = 1; ch < 8; ++ch) {
        kq7150fp_chCfg *c = app->channel(0, ch);
        EXPECT_EQ(std::tuple(c->sourceChoice()->currentIndex(), c->gain->currentIndex(), c->fir->isChecked(),
                             c->enableBox()->isChecked()),
                  std::tuple(3, 4, true, true))
            << ch;
    }
    EXPECT_EQ(lastSimCall("kq7150_setMultChanConfig"), "channel=8 source=5 gain=20 highPass=0 antiRinging=1");

    first->sourceChoice()->setCurrentIndex(2); // the reference
    first->setChCfg();
    const int calls = kqsim_callCount("kq7150_setMultChanConfig");
    app->applyToAllChan();
    EXPECT_EQ(boxes.texts.value(0), "Only one channel can be connected to the Voltage Reference");
    EXPECT_EQ(kqsim_callCount("kq7150_setMultChanConfig"), calls);
    EXPECT_EQ(app->channel(0, 1)->sourceChoice()->currentIndex(), 3);
}

TEST_F(WindowTest, AStoredFileSetsLengthRateAndChannelsAndLocksTheSettings) {
    kq7150fp_App w(descriptor, 2, true); // offline: no connection question
    EXPECT_TRUE(boxes.texts.isEmpty());
    fileInfo_t info{};
    info.cards = 2;
    info.channelMasks[0] = 0x05;
    info.channelMasks[1] = 0x80;
    info.scansPerBlock = 1000; // not offered by the panel
    info.rate = 1234.5;        // neither
    StoredFileSettings::apply(w, info);
    EXPECT_EQ(w.daq->lengthChoice->currentText(), "1000");
    EXPECT_EQ(w.daq->lengthChoice->currentData().toInt(), 1000);
    EXPECT_EQ(w.daq->samplingRate->currentText(), "1234.5");
    for (int c = 0; c < 2; ++c)
        for (int ch = 0; ch < 8; ++ch)
            EXPECT_EQ(w.channel(c, ch)->enableBox()->isChecked(), bool(info.channelMasks[c] >> ch & 1))
                << c << ch;
    EXPECT_FALSE(w.mainTabs()->isTabEnabled(w.mainTabs()->indexOf(w.daq)));
    EXPECT_FALSE(w.mainTabs()->isTabEnabled(w.mainTabs()->indexOf(w.fcTab()->parentWidget())));

    info.scansPerBlock = 1024; // offered: selected, nothing added
    const int items = w.daq->lengthChoice->count();
    StoredFileSettings::apply(w, info);
    EXPECT_EQ(w.daq->lengthChoice->count(), items);
    EXPECT_EQ(w.daq->lengthChoice->currentText(), "1024");
}

} // namespace
