// Channel pages of a real window over simulated cards: what the driver receives, the one
// motherboard reference of all cards, the card variant, start states, and calibration where
// the calibrate_channel and calibrate_all workflows do not go (a failure in the middle of the
// sequence). What calibrating does to the measured signal is the simulation's
// own test (CalibrationTest.RemovesTheOffsetAndGainErrorsItReports).
#include "PanelTest.h"

#include "kq7000fp_led.h"

namespace {

const char *const kConfig = "kq7150_setMultChanConfig";

// Cards on a VXI carrier (two with a reference module, or one without an amplifier); a
// calibration takes 5 ms.
const std::string kCarrier =
    R"({"calibrationMs":5,"carriers":[{"resources":["VXI0::1::INSTR"],"interface":"VXI",)";
const std::string kTwoCards = kCarrier + R"("referenceVoltages":[0,2.5],"cards":[{"slot":1},{"slot":2}]}]})";
// Two cards of different variants, the one without an amplifier ("BA") first or second.
std::string mixedCards(bool gainOneFirst) {
    const std::string first = gainOneFirst ? "BA" : "BB", second = gainOneFirst ? "BB" : "BA";
    return kCarrier + R"("cards":[{"slot":1,"variant":")" + first + R"("},{"slot":2,"variant":")" + second +
           R"("}]}]})";
}

class ChannelConfigTest : public PanelTest {
protected:
    kq7150fp_chCfg *panel(int card, int channel) const { return app->channel(card, channel); }
    static int calls(const char *name = kConfig) { return kqsim_callCount(name); }
    static std::string sent(int ch, int source, const char *rest = "gain=1 highPass=0 antiRinging=0") {
        return "channel=" + std::to_string(ch) + " source=" + std::to_string(source) + " " + rest;
    }
};

// Source codes and couplings the configure_channels workflow does not choose: each accepted
// source sends one call with its code, the coupling usable for the front panel's only.
TEST_F(ChannelConfigTest, EachSourceSendsItsCodeAndFixesTheCouplingOfTheOthers) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards));
    // Source, coupling set before, driver code, coupling shown after.
    const int cases[][4] = {{1, 1, 3, 1}, {1, 0, 1, 0}, {0, 1, 2, 1}, {3, 1, 5, 0},
                            {0, 0, 0, 0}, {4, 1, 6, 0}, {2, 0, 4, 1}};
    kq7150fp_chCfg *ch = panel(1, 2);
    ch->enableBox()->setChecked(true);
    for (const auto &c : cases) {
        SCOPED_TRACE(c[0]);
        ch->couplingChoice()->setCurrentIndex(c[1]);
        choose(ch->sourceChoice(), c[0]);
        EXPECT_EQ(lastSimCall(kConfig), sent(11, c[2]));
        EXPECT_EQ(ch->couplingChoice()->isEnabled(), c[0] < 2);
        EXPECT_EQ(ch->couplingChoice()->currentIndex(), c[3]);
    }
    EXPECT_EQ(calls(), 7);
}

// The refusal and "TEDS" releasing the reference are the workflow's; the holder may choose it
// again, and switching the holder off frees it too.
TEST_F(ChannelConfigTest, SwitchingTheHolderOffReleasesTheReference) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards));
    kq7150fp_chCfg *first = panel(0, 0), *holder = panel(1, 4);
    holder->enableBox()->setChecked(true);
    choose(holder->sourceChoice(), 2);
    choose(holder->sourceChoice(), 2);
    EXPECT_TRUE(boxes.texts.isEmpty());
    holder->enableBox()->setChecked(false); // "Front Panel Diff", still DC
    EXPECT_EQ(lastSimCall(kConfig), sent(13, 2));
    choose(first->sourceChoice(), 2);
    EXPECT_EQ(lastSimCall(kConfig), sent(1, 4));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(ChannelConfigTest, PagesOfferWhatTheCardHasAndStartWithChannelOneOnly) {
    // Each card's pages follow that card's variant: an 'A' variant has no amplifier.
    for (const bool gainOneFirst : {true, false}) {
        ASSERT_NO_FATAL_FAILURE(open(mixedCards(gainOneFirst)));
        const int gainOne = gainOneFirst ? 0 : 1;
        EXPECT_EQ(panel(gainOne, 5)->gain->count(), 1) << gainOneFirst;
        EXPECT_EQ(panel(1 - gainOne, 5)->gain->itemData(9), 1000) << gainOneFirst;
    }
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards));
    for (int i = 0; i < 16; ++i) {
        kq7150fp_chCfg *p = panel(i / 8, i % 8);
        EXPECT_EQ(std::tuple(p->enableBox()->isChecked(), p->frontEndGroup()->isEnabled(),
                             p->overrangeLed()->isEnabled(), p->hpf->isHidden()),
                  std::tuple(i % 8 == 0, i % 8 == 0, i % 8 == 0, i % 2 == 1))
            << i;
    }
    EXPECT_EQ(panel(0, 2)->hpf->toolTip(), "Switches on the High-Pass Filter for Channel 3 and Channel 4");
    // On or off counts for the next acquisition: the driver hears nothing now.
    QSignalSpy enabled(panel(1, 1), &kq7150fp_chCfg::channelEnabledSignal);
    panel(1, 1)->enableBox()->click();
    panel(1, 1)->enableBox()->click();
    EXPECT_EQ(enabled.value(1), (QList<QVariant>{1, 0}));
    EXPECT_EQ(calls(), 0);
}

// The first session request, calibration and configuration after the window is built fail
// once each (a calibration that succeeds is the calibrate_channel workflow's); a configuration
// the card refused puts the page back to what the card still has.
TEST_F(ChannelConfigTest, CalibrationAndConfigurationFailuresNameTheCall) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards)); // counts the calls a window makes while it is built
    auto fault = [](const char *call, int from) {
        return QString(R"({"status":"0xBFFC0814","call":"%1","from":%2})").arg(call).arg(from).toStdString();
    };
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards, R"({"faults":[)" +
                                                fault("kq7150_getMultFCsession", builtWith.first + 1) + "," +
                                                fault("kq7150_calibrateChannel", 1) + "," +
                                                fault(kConfig, builtWith.second + 1) + "]}"));
    panel(1, 2)->calibrate();
    panel(1, 2)->calibrate();
    choose(panel(1, 2)->gain, 3);
    ASSERT_EQ(boxes.texts.size(), 3);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq7150_getMultFCsession(d_vi, d_FC, &fc_vi) failed due to ["));
    EXPECT_TRUE(
        boxes.texts[1].startsWith("kq7150_calibrateChannel(fc_vi, d_ch+1, NULL, NULL) failed due to ["));
    EXPECT_TRUE(boxes.texts[2].startsWith(
        "kq7150_setMultChanConfig (d_vi, d_ch+d_FC*8+1, source, gain->itemData("
        "gain->currentIndex()).toInt(), hpf->isChecked(), fir->isChecked()) failed"));
    EXPECT_EQ(calls("kq7150_calibrateChannel"), 1); // none with the session that failed
    EXPECT_EQ(panel(1, 2)->gain->currentData(), 1);
}

// The user declines to exit after a failure: the remaining channels are still calibrated, on
// the card shown or on every card.
TEST_F(ChannelConfigTest, CalibrationFailureOnChannelThreeIsShownAndTheRestFollows) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards, R"({"faults":[{"call":"kq7150_calibrateChannel",
        "status":"0xBFFC0814","count":1,"channel":3}]})"));
    boxes.press("No");
    app->calibrateAllChan();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL) failed due to ["))
        << boxes.texts[0].toStdString();
    EXPECT_EQ(calls("kq7150_calibrateChannel"), 8);
    EXPECT_EQ(lastSimCall("kq7150_calibrateChannel"), "channel=8");
    app->calibrateAllFC();
    EXPECT_EQ(calls("kq7150_calibrateChannel"), 8 + 16);
    EXPECT_EQ(lastSimCall("kq7150_calibrateChannel"), "channel=8");
}

} // namespace
