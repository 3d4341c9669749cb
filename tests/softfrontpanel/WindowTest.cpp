// The main window over simulated cards: what the workflows do not reach of the reference
// choice, the card labels, driver warnings, "Apply to all channels", a stored file's settings
// and the spectrum legend acting through the waveform view.
#include "PanelTest.h"

#include "StoredFileSettings.h"
#include "chLabelFft.h"
#include "fileInfo_t.h"
#include "kq7150fp_DAQ.h"
#include "plot_voltage.h"

#include "kq7150.h"

#include <qwt_plot_curve.h>

namespace {

class WindowTest : public PanelTest {
protected:
    QPushButton *button(const QString &text) const {
        for (QPushButton *b : app->findChildren<QPushButton *>())
            if (b->text() == text)
                return b;
        return nullptr;
    }
    bool usable(const QString &text) const { return button(text) && button(text)->isEnabled(); }
};

TEST_F(WindowTest, DemoSendsNothingLetsEveryChannelUseTheReferenceAndShowsUnknownWarnings) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    ASSERT_EQ(app->hardware().size(), 1u); // the About dialog's one demo card
    EXPECT_EQ(app->hardware()[0].model, "7150-AA (DEMO)");
    // No reference module, so nothing to calibrate with.
    EXPECT_EQ(std::pair(app->vrefChoice()->count(), app->vrefChoice()->isEnabled()), std::pair(0, true));
    EXPECT_FALSE(usable("Calibrate all channels") || usable("Calibrate all Function Cards"));
    EXPECT_FALSE(app->channel(0, 0)->calibrateButton()->isEnabled());
    QSignalSpy gains(app->channel(1, 3), &kq7150fp_chCfg::gainChangedSignal);
    choose(app->channel(0, 0)->sourceChoice(), 2);
    choose(app->channel(1, 3)->sourceChoice(), 2);
    EXPECT_EQ(builtWith.second + kqsim_callCount("kq7150_setMultChanConfig"), 0);
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(gains.value(0), (QList<QVariant>{3, 1})); // plug-ins still hear the gain
    // Warnings reach the window from the card's clock; errors are the driver's own text
    // (DriverErrorReporterTest, and every failure the channel pages show).
    app->displayError(kq7150_WARN_CAL_DUE, "x");
    app->displayError(kq7150_WARN_FW_NEWER, "x");
    app->displayError(0x3FFC0A04, "x");
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("Warning: [")) << boxes.texts[0].toStdString();
}

// Choosing a voltage by its text is the configure_channels workflow's.
TEST_F(WindowTest, ReferenceChoiceIsOffAtFirstAndFollowsTheOutputOnTheAcquisitionTab) {
    // Opened by hand, to see the calls of the opening.
    ASSERT_NO_FATAL_FAILURE(sim.use(kVxiWorld));
    boxes.press("Auto Find");
    app = std::make_unique<kq7150fp_App>(descriptor, 1, false);
    EXPECT_EQ(lastSimCall("setVoltRefOutput"), "volts=0"); // switched off while the page was built
    QComboBox *choice = app->vrefChoice();
    ASSERT_EQ(choice->count(), 3);
    EXPECT_EQ(button("Apply to all Function Cards"), nullptr); // one card only
    EXPECT_TRUE(usable("Calibrate all channels"));
    app->setVref(1);
    app->setVref(0);
    EXPECT_EQ(lastSimCall("kq7150_setVoltRef"), "state=0");

    // Switching to the acquisition selects the voltage closest to the output, the lower on a tie.
    ViSession fc = 0;
    kq7150_instEnv *env = nullptr;
    ASSERT_EQ(kq7150_getMultFCsession(app->session(), 0, &fc), VI_SUCCESS);
    ASSERT_EQ(viGetAttribute(fc, VI_ATTR_USER_DATA, &env), VI_SUCCESS);
    for (auto [volts, expected] : {std::pair{2.4, 1}, {1.25, 0}, {4.0, 2}}) {
        env->head.ifVref->setVoltRefOutput(env->head.libEnv, volts);
        choice->setCurrentIndex(-1);
        app->mainTabChanged(app->mainTabs()->indexOf(app->daq));
        EXPECT_EQ(choice->currentIndex(), expected) << volts;
    }
    choice->setCurrentIndex(-1);
    app->mainTabChanged(app->mainTabs()->indexOf(app->fcTab()->parentWidget()));
    EXPECT_EQ(choice->currentIndex(), -1); // other tabs leave the choice alone

    // The carrier label names the VXI slot (the card's is the auto_find_vxi workflow's).
    app->FCChanged(0);
    EXPECT_EQ(app->findChild<QLabel *>("carrierInfo")->text(), "Slot 3");
    EXPECT_EQ(app->windowTitle(), "Movara 7150 Soft Front Panel: ");
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

// Lengths and rates the panel does not offer are added to its choices.
TEST_F(WindowTest, AStoredFileSetsLengthRateAndChannelsAndLocksTheSettings) {
    kq7150fp_App w(descriptor, 2, true); // offline: no connection question
    fileInfo_t info{};
    info.cards = 2;
    info.channelMasks[0] = 0x05;
    info.channelMasks[1] = 0x80;
    info.scansPerBlock = 1000;
    info.rate = 1234.5;
    StoredFileSettings::apply(w, info);
    EXPECT_EQ(std::tuple(w.daq->lengthChoice->currentText(), w.daq->lengthChoice->currentData().toInt(),
                         w.daq->samplingRate->currentText()),
              std::tuple(QString("1000"), 1000, QString("1234.5")));
    for (int c = 0; c < 16; ++c)
        EXPECT_EQ(w.channel(c / 8, c % 8)->enableBox()->isChecked(),
                  bool(info.channelMasks[c / 8] >> c % 8 & 1))
            << c;
    EXPECT_FALSE(w.mainTabs()->isTabEnabled(w.mainTabs()->indexOf(w.daq)));
    EXPECT_FALSE(w.mainTabs()->isTabEnabled(w.mainTabs()->indexOf(w.fcTab()->parentWidget())));
    info.scansPerBlock = 1024; // offered: selected, nothing added
    const int items = w.daq->lengthChoice->count();
    StoredFileSettings::apply(w, info);
    EXPECT_EQ(std::pair(w.daq->lengthChoice->count(), w.daq->lengthChoice->currentText()),
              std::pair(items, QString("1024")));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

// The legend's selection reaches the plot through the waveform view, which attaches the curves
// of the channels both on and selected, as they are when the legend changes.
TEST_F(WindowTest, SpectrumLegendAttachesTheSelectedChannelsThatAreOn) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    plot_voltage *spectrum = app->spectrum;
    const auto attached = [spectrum] {
        QString on;
        for (QwtPlotCurve *curve : spectrum->curveList())
            on += curve->plot() ? '1' : '0';
        return on;
    };
    EXPECT_EQ(attached(), "0000000000000000");
    spectrum->selectAll(0);
    QPushButton *secondAll = nullptr; // the buttons are made card by card: the last is card 2's
    for (QPushButton *b : spectrum->findChildren<QPushButton *>())
        if (b->text() == "All")
            secondAll = b;
    ASSERT_NE(secondAll, nullptr);
    secondAll->click();
    EXPECT_EQ(attached(), "1000000010000000");
    EXPECT_EQ(spectrum->labelList()[1]->frameStyle(), chLabel::DisabledFrame); // selected, but off
    app->channel(1, 2)->enableBox()->setChecked(true);
    spectrum->deselectAll(0); // one card's "None" leaves the other's
    EXPECT_EQ(attached(), "0000000010100000");
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(spectrum->labelList()[i]->isSelected(), i >= 8) << i;
}

} // namespace
