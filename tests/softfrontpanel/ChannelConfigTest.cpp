// Channel pages of a real window over simulated cards: what the driver receives, the one
// motherboard reference of all cards, the card variant, start states, and calibration where
// the calibrate_channel and calibrate_all workflows do not go (a failure in the middle of the
// sequence). What calibrating does to the measured signal is the simulation's
// own test (CalibrationTest.RemovesTheOffsetAndGainErrorsItReports).
#include "PanelTest.h"

#include "kq7000fp_led.h"

namespace {

const char *const kConfig = "kq7150_setMultChanConfig";

// Two cards on a VXI carrier, with a reference module; a calibration takes 5 ms.
const std::string kCarrier =
    R"({"calibrationMs":5,"carriers":[{"resources":["VXI0::1::INSTR"],"interface":"VXI",)";
const std::string kTwoCards = kCarrier + R"("referenceVoltages":[0,2.5],"cards":[{"slot":1},{"slot":2}]}]})";

std::string sent(int ch, int source) {
    return QString("channel=%1 source=%2 gain=1 highPass=0 antiRinging=0").arg(ch).arg(source).toStdString();
}

using ChannelConfigTest = PanelTest;

// Each card's pages follow that card's variant: an 'A' variant has no amplifier.
TEST_F(ChannelConfigTest, EachCardsPagesOfferThatCardsGains) {
    for (const char *variants : {R"("BA"},{"slot":2,"variant":"BB")", R"("BB"},{"slot":2,"variant":"BA")"}) {
        ASSERT_NO_FATAL_FAILURE(open(kCarrier + R"("cards":[{"slot":1,"variant":)" + variants + "}]}]}"));
        const int gainOne = variants[2] == 'A' ? 0 : 1;
        EXPECT_EQ(app->channel(gainOne, 5)->gain->count(), 1) << variants;
        EXPECT_EQ(app->channel(1 - gainOne, 5)->gain->itemData(9), 1000) << variants;
    }
}

// Pages start with channel 1 only; on or off counts for the next acquisition, the driver hears
// nothing then. Source codes and couplings the configure_channels workflow does not choose: each
// accepted source sends one call with its code, the coupling usable for the front panel's only.
// The reference's refusal and "TEDS" releasing it are the workflow's; the holder (the last
// source chosen) may choose it again, and switching the holder off frees it too.
TEST_F(ChannelConfigTest, StartStatesSourcesAndTheReferenceHolder) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards));
    for (int i = 0; i < 16; ++i) {
        kq7150fp_chCfg *p = app->channel(i / 8, i % 8);
        EXPECT_EQ(std::tuple(p->enableBox()->isChecked(), p->frontEndGroup()->isEnabled(),
                             p->overrangeLed()->isEnabled(), p->hpf->isHidden()),
                  std::tuple(i % 8 == 0, i % 8 == 0, i % 8 == 0, i % 2 == 1))
            << i;
    }
    QSignalSpy enabled(app->channel(1, 1), &kq7150fp_chCfg::channelEnabledSignal);
    app->channel(1, 1)->enableBox()->click();
    app->channel(1, 1)->enableBox()->click();
    EXPECT_EQ(enabled.value(1), (QList<QVariant>{1, 0}));
    EXPECT_EQ(kqsim_callCount(kConfig), 0);

    // Source, coupling set before, driver code, coupling shown after.
    const int cases[][4] = {{1, 1, 3, 1}, {1, 0, 1, 0}, {0, 1, 2, 1}, {3, 1, 5, 0},
                            {0, 0, 0, 0}, {4, 1, 6, 0}, {2, 0, 4, 1}};
    kq7150fp_chCfg *ch = app->channel(1, 2);
    ch->enableBox()->setChecked(true);
    for (const auto &c : cases) {
        SCOPED_TRACE(c[0]);
        ch->couplingChoice()->setCurrentIndex(c[1]);
        choose(ch->sourceChoice(), c[0]);
        EXPECT_EQ(lastSimCall(kConfig), sent(11, c[2]));
        EXPECT_EQ(std::pair(ch->couplingChoice()->isEnabled(), ch->couplingChoice()->currentIndex()),
                  std::pair(c[0] < 2, c[3]));
    }
    EXPECT_EQ(kqsim_callCount(kConfig), 7);

    choose(ch->sourceChoice(), 2);      // it holds the reference already
    ch->enableBox()->setChecked(false); // "Front Panel Diff", still DC
    EXPECT_EQ(lastSimCall(kConfig), sent(11, 2));
    choose(app->channel(0, 0)->sourceChoice(), 2);
    EXPECT_EQ(lastSimCall(kConfig), sent(1, 4));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

// The first session request, calibration and configuration after the window is built fail
// once each (a calibration that succeeds is the calibrate_channel workflow's); a configuration
// the card refused puts the page back to what the card still has. The user declines to exit
// after a failure on channel 3: the remaining channels are still calibrated, on the card shown
// or on every card.
TEST_F(ChannelConfigTest, CalibrationAndConfigurationFailuresNameTheCallAndTheRestFollows) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards)); // counts the calls a window makes while it is built
    auto fault = [](const char *call, int from) {
        return QString(R"({"status":"0xBFFC0814","call":"%1","from":%2})").arg(call).arg(from).toStdString();
    };
    ASSERT_NO_FATAL_FAILURE(open(kTwoCards, R"({"faults":[)" +
                                                fault("kq7150_getMultFCsession", builtWith.first + 1) + "," +
                                                fault("kq7150_calibrateChannel", 1) + "," +
                                                fault(kConfig, builtWith.second + 1) + "]}"));
    app->channel(1, 2)->calibrate();
    app->channel(1, 2)->calibrate();
    choose(app->channel(1, 2)->gain, 3);
    ASSERT_EQ(boxes.texts.size(), 3);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq7150_getMultFCsession(d_vi, d_FC, &fc_vi) failed due to ["));
    EXPECT_TRUE(
        boxes.texts[1].startsWith("kq7150_calibrateChannel(fc_vi, d_ch+1, NULL, NULL) failed due to ["));
    EXPECT_TRUE(boxes.texts[2].startsWith(
        "kq7150_setMultChanConfig (d_vi, d_ch+d_FC*8+1, source, gain->itemData("
        "gain->currentIndex()).toInt(), hpf->isChecked(), fir->isChecked()) failed"));
    EXPECT_EQ(kqsim_callCount("kq7150_calibrateChannel"), 1); // none with the session that failed
    EXPECT_EQ(app->channel(1, 2)->gain->currentData(), 1);

    ASSERT_NO_FATAL_FAILURE(open(kTwoCards, R"({"faults":[{"call":"kq7150_calibrateChannel",
        "status":"0xBFFC0814","count":1,"channel":3}]})"));
    boxes.press("No");
    app->calibrateAllChan();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq7150_calibrateChannel(fc_vi, i+1, NULL, NULL) failed due to ["))
        << boxes.texts[0].toStdString();
    EXPECT_EQ(std::pair(kqsim_callCount("kq7150_calibrateChannel"), lastSimCall("kq7150_calibrateChannel")),
              std::pair(8, std::string("channel=8")));
    app->calibrateAllFC();
    EXPECT_EQ(std::pair(kqsim_callCount("kq7150_calibrateChannel"), lastSimCall("kq7150_calibrateChannel")),
              std::pair(8 + 16, std::string("channel=8")));
}

} // namespace
