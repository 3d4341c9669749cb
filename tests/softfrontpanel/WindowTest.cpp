// The main window over simulated cards: what the workflows do not reach of the reference choice,
// the acquisition page's trigger controls, driver warnings, "Apply to all channels", the spectrum
// legend acting through the waveform view, and the "SCUs" pages of the example signal conditioning unit
// plug-in (how a page follows its card's channels, its title and a real card's unit are the scu_plugin
// workflow's).
#include "PanelTest.h"

#include "chLabelFft.h"
#include "kq7000fp_About.h"
#include "kq7000fp_PTPalarm.h"
#include "kq7000fp_scuWidget.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_vrefs.h"
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

// Demo cards have no reference module: nothing to calibrate with. The spectrum legend's selection reaches the
// plot through the waveform view, which attaches the curves of the channels both on and selected. With the
// plug-in, each demo card gets a unit page that reports through the window.
TEST_F(WindowTest, DemoCardsReferenceWarningsSpectrumLegendAndUnitPages) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    EXPECT_EQ(
        std::tuple(app->hardware().size(), app->hardware().at(0).model, app->vrefChoice()->count(),
                   app->vrefChoice()->isEnabled(),
                   usable("Calibrate all channels") || usable("Calibrate all Function Cards") ||
                       app->channel(0, 0)->calibrateButton()->isEnabled()),
        std::tuple(size_t(1), QString("7150-AA (DEMO)"), 0, true, false)); // the About dialog's one card
    // Warnings reach the window from the card's clock; errors are the driver's own text
    // (DriverErrorReporterTest, and every failure the channel pages show).
    for (ViStatus status :
         {ViStatus(kq7150_WARN_CAL_DUE), ViStatus(kq7150_WARN_FW_NEWER), ViStatus(0x3FFC0A04)})
        app->displayError(status, "x");
    EXPECT_TRUE(boxes.texts.size() == 1 && boxes.texts[0].startsWith("Warning: ["))
        << boxes.texts.join('|').toStdString();

    // Per channel: 1 for a curve on the plot, 2 for a selected legend entry.
    plot_voltage *spectrum = app->spectrum;
    const auto shown = [spectrum] {
        QString on;
        for (int i = 0; i < 16; ++i)
            on += QString::number(int(spectrum->curveList()[i]->plot() != nullptr) +
                                  2 * spectrum->labelList()[i]->isSelected());
        return on;
    };
    EXPECT_EQ(shown(), "0000000000000000");
    spectrum->selectAll(0);
    QPushButton *secondAll = nullptr; // the buttons are made card by card: the last is card 2's
    for (QPushButton *b : spectrum->findChildren<QPushButton *>())
        secondAll = b->text() == "All" ? b : secondAll;
    ASSERT_NE(secondAll, nullptr);
    secondAll->click();
    EXPECT_EQ(shown(), "3222222232222222");
    EXPECT_EQ(spectrum->labelList()[1]->frameStyle(), chLabel::DisabledFrame); // selected, but off
    app->channel(1, 2)->enableBox()->setChecked(true);
    spectrum->deselectAll(0); // one card's "None" leaves the other's
    EXPECT_EQ(shown(), "0000000032322222");
    EXPECT_TRUE(scuTab() == nullptr && app->scuHardware().empty());

    ASSERT_NO_FATAL_FAILURE(installExample());
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    ASSERT_TRUE(scuTab() && scuTab()->count() == 2 && app->scuHardware().size() == 2u);
    const auto &unit = app->scuHardware()[1];
    // In the About dialog the units follow the one demo card.
    EXPECT_EQ(std::tuple(app->findChild<kq7000fp_About *>("aboutDialog")->pageCount(), unit.card, unit.model,
                         unit.serial, unit.revision),
              std::tuple(3, 1, "71A0-01", "71A00017 (DEMO)", "1.0.0"));
    emit qobject_cast<kq7000fp_scuWidget *>(scuTab()->widget(1))
        ->masterError(VI_ERROR_TMO, "kq71a0_setGain(vi, 4, 100)");
    EXPECT_TRUE(boxes.texts.size() == 1 &&
                boxes.texts[0].startsWith("kq71a0_setGain(vi, 4, 100) failed due to ["))
        << boxes.texts.join('|').toStdString();

    // The unit pages are built last of all the card's pages, with the last session request:
    // when it fails there is no unit page.
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld));
    ASSERT_NE(scuTab(), nullptr);
    ASSERT_NO_FATAL_FAILURE(
        open(kVxiWorld, R"({"faults":[{"call":"kq7150_getMultFCsession","status":"0xBFFC0814","from":)" +
                            std::to_string(builtWith.first) + "}]}"));
    ASSERT_EQ(openingBoxes.size(), 2); // after the connection question, the one failure
    EXPECT_TRUE(openingBoxes[1].startsWith("kq7150_getMultFCsession(d_vi, i, &fc_vi) failed due to ["));
    EXPECT_TRUE(scuTab() == nullptr && app->scuHardware().empty());
}

// Choosing a voltage by its text is the configure_channels workflow's. The output is off after
// the opening; switching to the acquisition selects the voltage closest to it, the lower on a
// tie. "Apply to all channels" copies every setting but the reference, which it refuses.
TEST_F(WindowTest, ReferenceChoiceFollowsTheOutputAndApplyToAllCopiesAllButIt) {
    // Opened by hand, to see the calls of the opening.
    ASSERT_NO_FATAL_FAILURE(sim.use(kVxiWorld));
    boxes.press("Auto Find");
    app = std::make_unique<kq7150fp_App>(descriptor, 1, false);
    QComboBox *choice = app->vrefChoice();
    ASSERT_EQ(choice->count(), 3);
    // No "Apply to all Function Cards" for one card.
    EXPECT_EQ(std::tuple(lastSimCall("setVoltRefOutput"), button("Apply to all Function Cards"),
                         usable("Calibrate all channels")),
              std::tuple(std::string("volts=0"), nullptr, true));
    // Only an LXI box has a PTP clock.
    EXPECT_TRUE(app->daq->findChildren<kq7000fp_PTPalarm *>().isEmpty() && !app->daq->pipeline->isEnabled() &&
                app->daq->trgSource->findText("PTP Alarm") == -1);
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

    kq7150fp_chCfg *first = app->channel(0, 0);
    first->sourceChoice()->setCurrentIndex(3); // ICP sensor
    first->gain->setCurrentIndex(4);           // 20
    first->fir->setChecked(true);
    first->setChCfg();
    app->applyToAllChan();
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

// An LXI box has no reference module to choose or calibrate with. Each trigger source enables
// its own controls (the alarm set with "Now+10s" on the card's clock is the repetitive_ptp_alarm
// workflow's).
TEST_F(WindowTest, LxiBoxHasNoReferenceAndEachTriggerSourceEnablesItsOwnControls) {
    ASSERT_NO_FATAL_FAILURE(open(kLxiWorld));
    EXPECT_EQ(std::tuple(app->vrefChoice()->count(), app->vrefChoice()->isEnabled(), vrefs.count),
              std::tuple(0, false, 0));
    EXPECT_FALSE(usable("Calibrate all channels"));
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
        const QString edge = QString(source).endsWith("High") ? "Rising" : "Falling";
        EXPECT_TRUE(!QString(source).startsWith("Front Panel") || daq->trgEdge->currentText() == edge);
        EXPECT_TRUE(!alarm || daq->pipeline->currentText() == "Compensated");
    }
}

// A clock that cannot be read is reported as the alarm is set up, and silently on each tick.
TEST_F(WindowTest, ClockFailureIsReportedOnSetAndSilentOnTheTick) {
    ASSERT_NO_FATAL_FAILURE(open(
        kLxiWorld, R"({"faults":[{"call":"kq7150_getCurrentTimeEx","status":"0xBFFF0015","count":0}]})"));
    kq7000fp_PTPalarm *alarm = app->daq->alarm;
    QSignalSpy ticks(alarm, &kq7000fp_PTPalarm::requestCurrentTime);
    ASSERT_TRUE(ticks.wait(2000));
    const QStringList told = openingBoxes.filter("kq7150_getCurrentTimeEx");
    EXPECT_EQ(std::tuple(told.size(), told.value(0).section(" failed due to [", 0, 0), alarm->year()->value(),
                         boxes.texts.isEmpty(), alarm->clockText()),
              std::tuple(1, QString("kq7150_getCurrentTimeEx(fcVi, &sec, VI_NULL, &UTCoffset, NULL)"), 1970,
                         true,
                         QString())); // the year kept as it was
}

} // namespace
