// The main window over simulated cards: what the workflows do not reach of the reference
// choice, driver warnings, "Apply to all channels", the spectrum legend acting through the
// waveform view, and the "SCUs" pages of the example signal conditioning unit plug-in (how a
// page follows its card's channels, its title and a real card's unit are the scu_plugin
// workflow's).
#include "PanelTest.h"

#include "chLabelFft.h"
#include "kq7000fp_About.h"
#include "kq7000fp_scuWidget.h"
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
    QTabWidget *scuTab() const { return app->findChild<QTabWidget *>("scuTab"); }
    // Installs the example plug-in where the maker's plug-ins go.
    void installExample() {
        ASSERT_TRUE(QDir().mkpath(m_root.filePath("linux64/bin")));
        ASSERT_TRUE(QFile::copy(KQ_EXAMPLE_SCU_PLUGIN, m_root.filePath("linux64/bin/kq71a0fp.so")));
        qputenv("VXIPNPPATH64", m_root.path().toLocal8Bit());
    }

    SavedVariable m_saved{"VXIPNPPATH64"};
    const bool m_unset = qunsetenv("VXIPNPPATH64"); // no plug-in until one is installed
    QTemporaryDir m_root;
};

// Demo cards have no reference module: nothing to calibrate with, and the reference source
// reaches no driver, also for a second channel. The spectrum legend's selection reaches the plot
// through the waveform view, which attaches the curves of the channels both on and selected.
// With the plug-in, each demo card gets a unit page that reports through the window.
TEST_F(WindowTest, DemoCardsReferenceWarningsSpectrumLegendAndUnitPages) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    ASSERT_EQ(app->hardware().size(), 1u); // the About dialog's one demo card
    EXPECT_EQ(app->hardware()[0].model, "7150-AA (DEMO)");
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
        secondAll = b->text() == "All" ? b : secondAll;
    ASSERT_NE(secondAll, nullptr);
    secondAll->click();
    EXPECT_EQ(attached(), "1000000010000000");
    EXPECT_EQ(spectrum->labelList()[1]->frameStyle(), chLabel::DisabledFrame); // selected, but off
    app->channel(1, 2)->enableBox()->setChecked(true);
    spectrum->deselectAll(0); // one card's "None" leaves the other's
    EXPECT_EQ(attached(), "0000000010100000");
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(spectrum->labelList()[i]->isSelected(), i >= 8) << i;
    EXPECT_TRUE(scuTab() == nullptr && app->scuHardware().empty());

    ASSERT_NO_FATAL_FAILURE(installExample());
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    QTabWidget *pages = scuTab();
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(app->mainTabs()->indexOf(pages), app->mainTabs()->count() - 1); // after "Acquisition"
    ASSERT_EQ(pages->count(), 2);
    // In the About dialog the units follow the one demo card.
    EXPECT_EQ(app->findChild<kq7000fp_About *>("aboutDialog")->pageCount(), 3);
    ASSERT_EQ(app->scuHardware().size(), 2u);
    const auto &unit = app->scuHardware()[1];
    EXPECT_EQ(std::tuple(unit.card, unit.model, unit.serial, unit.revision),
              std::tuple(1, "71A0-01", "71A00017 (DEMO)", "1.0.0"));
    emit qobject_cast<kq7000fp_scuWidget *>(pages->widget(1))
        ->masterError(VI_ERROR_TMO, "kq71a0_setGain(vi, 4, 100)");
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq71a0_setGain(vi, 4, 100) failed due to ["));
}

// Choosing a voltage by its text is the configure_channels workflow's. The output is off after
// the opening; switching to the acquisition selects the voltage closest to it, the lower on a
// tie. "Apply to all channels" copies every setting but the reference, which it refuses.
TEST_F(WindowTest, ReferenceChoiceFollowsTheOutputAndApplyToAllCopiesAllButIt) {
    // Opened by hand, to see the calls of the opening.
    ASSERT_NO_FATAL_FAILURE(sim.use(kVxiWorld));
    boxes.press("Auto Find");
    app = std::make_unique<kq7150fp_App>(descriptor, 1, false);
    EXPECT_EQ(lastSimCall("setVoltRefOutput"), "volts=0");
    QComboBox *choice = app->vrefChoice();
    ASSERT_EQ(choice->count(), 3);
    EXPECT_EQ(button("Apply to all Function Cards"), nullptr); // one card only
    EXPECT_TRUE(usable("Calibrate all channels"));
    app->setVref(1);
    app->setVref(0);
    EXPECT_EQ(lastSimCall("kq7150_setVoltRef"), "state=0");
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
    boxes.texts.clear();
    app->applyToAllChan();
    EXPECT_EQ(boxes.texts, QStringList{"Only one channel can be connected to the Voltage Reference"});
    EXPECT_EQ(kqsim_callCount("kq7150_setMultChanConfig"), calls);
    EXPECT_EQ(app->channel(0, 1)->sourceChoice()->currentIndex(), 3);
}

// The unit pages are built last of all the card's pages, with the last session request: when it
// fails there is no unit page.
TEST_F(WindowTest, NoUnitPageWithoutASession) {
    ASSERT_NO_FATAL_FAILURE(installExample());
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld));
    ASSERT_NE(scuTab(), nullptr);
    const std::string fault =
        R"({"faults":[{"call":"kq7150_getMultFCsession","status":"0xBFFC0814","from":)" +
        std::to_string(builtWith.first) + "}]}";
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld, fault));
    ASSERT_EQ(openingBoxes.size(), 2); // after the connection question, the one failure
    EXPECT_TRUE(openingBoxes[1].startsWith("kq7150_getMultFCsession(d_vi, i, &fc_vi) failed due to ["));
    EXPECT_TRUE(scuTab() == nullptr && app->scuHardware().empty());
}

} // namespace
