#include "PanelTest.h"

#include "AcquisitionStatus.h"
#include "DataFileReader.h"
#include "DemoSignal.h"
#include "StoredFileSettings.h"
#include "acqConfig.h"
#include "axisConfig.h"
#include "chLabel.h"
#include "chLabelFft.h"
#include "fileInfo_t.h"
#include "kq7000fp_PTPalarm.h"
#include "kq7000fp_digitCtrl.h"
#include "kq7000fp_led.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"
#include "myQwtPlotPicker.h"
#include "plotContextMenu.h"
#include "plot_voltage.h"

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace {

namespace fs = std::filesystem;

std::string vxiWorld(const std::string &channels = "{}") {
    return R"({"carriers":[{"resources":["VXI0::5::INSTR"],"interface":"VXI","slot":3,"logicalAddress":5,
      "slots":6,"cards":[{"slot":5,"serial":"0x71500305","signal":{"type":"sine","frequency":625,
      "amplitude":2.0},"channels":)" +
           channels + "}]}]}";
}
// Two cards in one carrier, as the legend and the channel-count check see them.
const char kTwoCardWorld[] = R"({"carriers":[{"resources":["VXI0::9::INSTR"],"interface":"VXI","slot":3,
  "logicalAddress":9,"slots":6,"cards":[{"slot":2,"serial":"0x71500002"},{"slot":4,"serial":"0x71500004"}]}]})";

// A stored recording of one card with channels 1 and 3, written as the program stores it,
// timestamps included, so that the playback must skip them to find the samples.
struct Recording {
    static constexpr int kScans = 100, kBlocks = 3;
    static constexpr double kRate = 1000.0, kOffset = -0.025;
    // Exact in binary; block 1 of channel 1 starts at 3 V.
    static double sample(int block, int channel, int scan) {
        return 3.0 - block + 0.5 * channel + scan / 1024.0;
    }

    static std::string write(const QString &dir) {
        const std::string path = (dir + "/rec.bin7150").toStdString();
        std::ofstream out(path, std::ios::binary);
        out << "DEVICE=Movara 7150\nFORMAT=ViReal64\nSAMPLING_RATE_HZ=1000.000000\nNUMBER_OF_CHANNELS=2\n"
               "NUMBER_OF_SCANS_PER_BLOCK=100\nNUMBER_OF_FUNCTION_CARDS=1\nCHANNEL_MASK_FC1=0x05\n"
               "TIME_OFFSET=-0.025000\nTIMESTAMPS=1\n#\n";
        for (int b = 0; b < kBlocks; ++b) {
            out << std::string(2 * 4 * kScans, '\xFF'); // read as samples, these would be NaNs
            for (int e = 0; e < 2; ++e)
                for (int s = 0; s < kScans; ++s) {
                    const double v = sample(b, e, s);
                    out.write(reinterpret_cast<const char *>(&v), sizeof v);
                }
        }
        return path;
    }
};

class WaveformTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        // A fresh program has no latched error word; earlier tests of this process leave one.
        acquisitionStatus.resetForStart();
    }
    // The stored record must outlive the window that plays it.
    void TearDown() override { app.reset(); }

    kq7150fp_Waveform *view() const { return app->waveform; }
    QAbstractButton *single() const { return app->findChild<QAbstractButton *>("singleShotButton"); }
    QAbstractButton *repetitive() const { return app->findChild<QAbstractButton *>("repetitiveButton"); }
    static int calls(const char *name) { return kqsim_callCount(name); }

    // Polling steps at a pace faster than the refresh timer, until that many blocks were read.
    bool pollUntilRead(int blocks) {
        return QTest::qWaitFor([&] {
            view()->timerSlot();
            return calls("kq7150_readMultAcquisition") >= blocks;
        });
    }
    // Buttons (enabled, checked), status text, polling.
    auto controls() const {
        return std::tuple(single()->isEnabled(), single()->isChecked(), repetitive()->isEnabled(),
                          repetitive()->isChecked(), view()->statusLabel()->text().toStdString(),
                          view()->refreshTimer()->isActive());
    }
    static auto stopped() { return std::tuple(true, false, true, false, std::string("Idle"), false); }
    bool settingsTabsEnabled() const {
        QTabWidget *tabs = app->mainTabs();
        return tabs->isTabEnabled(tabs->indexOf(app->daq)) &&
               tabs->isTabEnabled(tabs->indexOf(app->fcTab()->parentWidget()));
    }
    void openRecording() {
        ASSERT_TRUE(dir.isValid());
        ASSERT_NO_FATAL_FAILURE(openFile(Recording::write(dir.path()), Recording::kBlocks));
    }
    void openFile(const std::string &path, uint64_t blocks) {
        ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info), 0);
        ASSERT_EQ(info.blockCount, blocks);
        app = std::make_unique<kq7150fp_App>(descriptor, info.cards, true);
        StoredFileSettings::apply(*app, info);
        ASSERT_TRUE(analysed());
    }
    // The spectra and figures of the block shown are computed away from the window.
    bool analysed() const {
        return QTest::qWaitFor([this] { return !view()->analysing(); }, 10000);
    }
    void expectBlockShown(int block) {
        SCOPED_TRACE(block);
        const QwtScaleDiv &x = view()->plot()->axisScaleDiv(QwtPlot::xBottom);
        const double t0 = block * Recording::kScans / Recording::kRate + Recording::kOffset;
        EXPECT_NEAR(x.lowerBound(), t0, 1e-12);
        EXPECT_NEAR(x.upperBound(), t0 + Recording::kScans / Recording::kRate, 1e-12);
        for (auto [channel, index] : {std::pair{0, 0}, {2, 1}}) {
            QwtPlotCurve *curve = view()->curve(0, channel);
            ASSERT_EQ(curve->dataSize(), size_t(Recording::kScans));
            EXPECT_NEAR(curve->sample(0).x(), t0, 1e-12);
            for (int s : {0, 37, Recording::kScans - 1})
                EXPECT_EQ(curve->sample(s).y(), Recording::sample(block, index, s)) << channel << " " << s;
        }
        EXPECT_EQ(view()->curve(0, 1)->dataSize(), 0u);
    }

    QTemporaryDir dir;
    fileInfo_t info{};
};

// The cards acquire in lockstep: a selection they cannot take is refused before any driver
// call, from either start button, and leaves the panel ready for another try.
TEST_F(WaveformTest, SelectionTheCardsCannotAcquireIsRefusedWithoutTouchingThem) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCardWorld));
    ASSERT_EQ(app->cards(), 2);
    const std::tuple<int, int, QAbstractButton *, std::string> rows[] = {
        {2, 3, single(), "The number of enabled channels must be the same on all function cards."},
        {0, 0, repetitive(),
         "At least one channel in first Function Card must be enabled for Data Acquisition."},
    };
    for (const auto &[first, second, start, warning] : rows) {
        SCOPED_TRACE(warning);
        for (int k = 0; k < 8; ++k) {
            app->channel(0, k)->enableBox()->setChecked(k < first);
            app->channel(1, k)->enableBox()->setChecked(k < second);
        }
        boxes.texts.clear();
        start->setChecked(true);
        EXPECT_EQ(boxes.texts.join('|').toStdString(), warning);
        EXPECT_EQ(controls(), stopped());
        EXPECT_TRUE(settingsTabsEnabled());
        for (const char *call :
             {"kq7150_setMultTrigConfig", "kq7150_multConfig", "kq7150_startMultAcquisition"})
            EXPECT_EQ(calls(call), 0) << call;
    }
}

// Channel 4 of card 1 sees 12 V peak, beyond the 10.24 V range at gain 1.
TEST_F(WaveformTest, OverrangeLightsItsChannelsLampUntilTheNextStart) {
    ASSERT_NO_FATAL_FAILURE(open(vxiWorld(R"({"4":{"type":"sine","frequency":625,"amplitude":12.0}})")));
    app->channel(0, 3)->enableBox()->setChecked(true);
    single()->setChecked(true);
    ASSERT_TRUE(pollUntilRead(1));
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(app->channel(0, k)->overrangeLed()->value(), k == 3 ? 1 : 0) << k;

    single()->setChecked(true);
    EXPECT_EQ(app->channel(0, 3)->overrangeLed()->value(), 0);
    single()->setChecked(false);
    EXPECT_EQ(controls(), stopped());
}

// A demo single shot shows one block of the demo sines, and no spectrum of them.
TEST_F(WaveformTest, DemoSingleShotShowsOneBlockAndNoSpectrum) {
    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    single()->click();
    const double phase = DemoSignal::phase();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !single()->isChecked(); }));
    EXPECT_DOUBLE_EQ(DemoSignal::phase(), phase + DemoSignal::kPhaseStep) << "exactly one block";
    EXPECT_EQ(controls(), stopped()) << "and no more to come";
    EXPECT_EQ(calls("kq7150_startMultAcquisition"), 0);

    EXPECT_EQ(view()->curve(0, 0)->dataSize(), 256u);
    EXPECT_EQ(app->spectrum->curveList()[0]->dataSize(), 0u);
}

// A recording is played with the settings locked and the slider in place of the status line;
// moved while it plays, the playback goes on from the chosen block. The stored timestamps are
// skipped and the time offset kept.
TEST_F(WaveformTest, StoredRecordingPlaysOnFromTheChosenBlockWithTheSettingsLocked) {
    ASSERT_NO_FATAL_FAILURE(openRecording());
    EXPECT_TRUE(view()->statusLabel()->isHidden());
    EXPECT_FALSE(settingsTabsEnabled());
    QSlider *slider = view()->slider();
    slider->setValue(2);
    repetitive()->setChecked(true);
    view()->timerSlot();
    ASSERT_NO_FATAL_FAILURE(expectBlockShown(1));
    slider->setValue(1);
    EXPECT_TRUE(view()->refreshTimer()->isActive());
    view()->timerSlot();
    EXPECT_EQ(slider->value(), 2);
    ASSERT_NO_FATAL_FAILURE(expectBlockShown(0));
    EXPECT_FALSE(settingsTabsEnabled());
}

// Recordings the panel itself would not make are shown as they are: cards with different
// channel counts (the first with none), and more blocks than a slider has positions.
TEST_F(WaveformTest, RecordingsOfUnevenCardsOrOfBillionsOfBlocksAreShown) {
    ASSERT_TRUE(dir.isValid());
    const auto write = [this](const std::string &masks, int channels, int scans,
                              const std::vector<float> &samples) {
        const std::string path = (dir.path() + "/rec.bin7150").toStdString();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "FORMAT=ViReal32\nSAMPLING_RATE_HZ=1000\nNUMBER_OF_CHANNELS=" << channels
            << "\nNUMBER_OF_SCANS_PER_BLOCK=" << scans << "\n"
            << masks << "TIME_OFFSET=0\nTIMESTAMPS=0\n#\n";
        out.write(reinterpret_cast<const char *>(samples.data()), std::streamsize(4 * samples.size()));
        return path;
    };
    std::vector<float> block(2 * 64);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = float(i) / 128;
    ASSERT_NO_FATAL_FAILURE(openFile(
        write("NUMBER_OF_FUNCTION_CARDS=2\nCHANNEL_MASK_FC1=0x00\nCHANNEL_MASK_FC2=0x03\n", 2, 64, block),
        1));
    EXPECT_EQ(boxes.texts.join('|').toStdString(), "");
    EXPECT_EQ(view()->curve(0, 0)->dataSize(), 0u);
    for (int k : {0, 1}) {
        ASSERT_EQ(view()->curve(1, k)->dataSize(), 64u) << k;
        EXPECT_EQ(view()->curve(1, k)->sample(5).y(), block[64 * k + 5]) << k;
    }
    app.reset();

    // 1 kB blocks: 2^31 + 10 of them are a sparse file of 2 TB, a layout the panel writes.
    const uint64_t blocks = (uint64_t(1) << 31) + 10;
    const std::string path = write("NUMBER_OF_FUNCTION_CARDS=1\nCHANNEL_MASK_FC1=0x01\n", 1, 256, {});
    const uint64_t payload = fs::file_size(path);
    std::error_code error;
    fs::resize_file(path, payload + blocks * 1024, error);
    if (error)
        GTEST_SKIP() << "no sparse file of 2 TB here: " << error.message();
    {
        const float last = 0.75f; // the first sample of the last block
        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(std::streamoff(payload + (blocks - 1) * 1024));
        out.write(reinterpret_cast<const char *>(&last), sizeof last);
    }
    ASSERT_NO_FATAL_FAILURE(openFile(path, blocks));
    QSlider *slider = view()->slider();
    EXPECT_EQ(view()->sliderLabel()->text().toStdString(), "<html><b>1 / 2147483658</b></html>");
    slider->setValue(slider->maximum());
    ASSERT_TRUE(analysed());
    EXPECT_EQ(view()->sliderLabel()->text().toStdString(), "<html><b>2147483658 / 2147483658</b></html>");
    EXPECT_EQ(view()->plot()->axisScaleDiv(QwtPlot::xBottom).lowerBound(), double(blocks - 1) * 256 / 1000);
    EXPECT_EQ(view()->curve(0, 0)->sample(0).y(), 0.75);
}

// The marker read-out is whole at the window's opening size, also with two markers on curves at
// six-digit frequencies; it does not run under the controls beside it.
TEST_F(WaveformTest, MarkerReadoutIsWholeAtTheOpeningSize) {
    ASSERT_NO_FATAL_FAILURE(open(vxiWorld()));
    choose(app->daq->samplingRate, app->daq->samplingRate->findData(216000.0));
    single()->setChecked(true);
    ASSERT_TRUE(pollUntilRead(1));
    ASSERT_TRUE(analysed());
    app->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app.get()));
    app->mainTabs()->setCurrentWidget(app->spectrum);
    app->spectrum->selectAll(0);
    QwtPlot *plot = app->spectrum->plot();
    const double fEnd = plot->axisScaleDiv(QwtPlot::xBottom).upperBound();
    ASSERT_GT(fEnd, 100000.0);
    for (auto [button, at] : {std::pair{Qt::LeftButton, 0.99}, {Qt::RightButton, 0.91}}) {
        const QPoint point(qRound(plot->transform(QwtPlot::xBottom, at * fEnd)),
                           plot->canvas()->height() / 2);
        QTest::mousePress(plot->canvas(), button, Qt::ControlModifier, point);
        QTest::mouseRelease(plot->canvas(), button, Qt::ControlModifier, point);
    }
    QLabel *readout = app->spectrum->readout();
    ASSERT_EQ(readout->text().count("[Ch 1]"), 2) << readout->text().toStdString();
    ASSERT_TRUE(readout->text().contains(QRegularExpression(R"(df = \d{4,}\.\d Hz)")))
        << readout->text().toStdString();
    EXPECT_GE(readout->width(), readout->fontMetrics().horizontalAdvance(readout->text()));
    EXPECT_LE(readout->geometry().right(), app->spectrum->snapToSample()->geometry().left());
}

// A zoom of the spectrum switches autoscale off and becomes the spectrum's base; "Reset Zoom"
// brings either plot back to the whole, autoscaled view.
TEST_F(WaveformTest, ResetZoomReturnsEitherPlotToTheAutoscaledView) {
    ASSERT_NO_FATAL_FAILURE(openRecording());
    auto *autoscale = app->findChild<QAbstractButton *>("autoscaleButton");
    ASSERT_TRUE(autoscale->isChecked());
    QwtPlot *spectrum = app->spectrum->plot();
    const auto xRange = [](QwtPlot *plot) {
        const QwtScaleDiv &x = plot->axisScaleDiv(QwtPlot::xBottom);
        return std::pair(x.lowerBound(), x.upperBound());
    };
    const auto whole = xRange(spectrum);
    app->spectrum->zoomer()->zoom(
        QRectF(QPointF(whole.second / 4, -150.0), QPointF(whole.second / 2, -50.0)));
    EXPECT_FALSE(autoscale->isChecked());
    app->spectrum->contextMenu()->resetZoom();
    EXPECT_TRUE(autoscale->isChecked());
    EXPECT_EQ(xRange(spectrum), whole);

    autoscale->click();
    view()->zoomer()->zoom(QRectF(QPointF(0.01, -1.0), QPointF(0.02, 1.0)));
    view()->contextMenu()->resetZoom();
    EXPECT_TRUE(autoscale->isChecked());
    ASSERT_NO_FATAL_FAILURE(expectBlockShown(0));
}

// Shown value = (volts - offset) * multiplier, for the samples and for the zoom's full range.
TEST_F(WaveformTest, CustomUnitConvertsSamplesZoomBaseAndTitles) {
    ASSERT_NO_FATAL_FAILURE(openRecording());
    ASSERT_EQ(view()->curve(0, 0)->sample(0).y(), 3.0);
    axisConfig *dialog = view()->yAxisDialog();
    QString title;
    QTimer::singleShot(0, dialog, [dialog, &title] {
        title = dialog->windowTitle();
        // A range to the nanovolt.
        dialog->rangeGroup()->setChecked(true);
        dialog->lowerLimit()->setValue(-1.000000001);
        dialog->upperLimit()->setValue(1.000000002);
        dialog->unitGroup()->setChecked(true);
        dialog->offset()->setValue(1.0);
        dialog->multiplier()->setValue(2.0);
        dialog->unitName()->setText("g");
        dialog->okButton()->click();
        if (dialog->isVisible())
            dialog->reject();
    });
    QTest::mouseRelease(view()->plot()->axisWidget(QwtPlot::yLeft), Qt::LeftButton);

    EXPECT_EQ(view()->curve(0, 0)->sample(0).y(), 4.0);
    EXPECT_EQ(view()->curve(0, 2)->sample(0).y(), 5.0); // 3.5 V
    const QRectF base = view()->zoomer()->zoomBase();
    EXPECT_NEAR(base.top(), -22.48, 1e-9);
    EXPECT_NEAR(base.bottom(), 18.48, 1e-9);
    EXPECT_EQ(view()->plot()->axisTitle(QwtPlot::yLeft).text().toStdString(), "g");
    EXPECT_EQ(view()->picker()->unitName().toStdString(), "g");
    EXPECT_EQ(title, "Axis Configuration");
    const QwtScaleDiv &y = view()->plot()->axisScaleDiv(QwtPlot::yLeft);
    EXPECT_NEAR(y.lowerBound(), (-1.000000001 - 1.0) * 2.0, 1e-12);
    EXPECT_NEAR(y.upperBound(), (1.000000002 - 1.0) * 2.0, 1e-12);

    view()->slider()->setValue(2); // the next block is converted as well: 2 V
    EXPECT_EQ(view()->curve(0, 0)->sample(0).y(), 2.0);
}

TEST_F(WaveformTest, LegendAndSymbolsFollowTheCardsAndTheirChoices) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCardWorld));
    EXPECT_TRUE(view()->legend(1, 0)->isChannelEnabled());
    EXPECT_FALSE(view()->legend(1, 4)->isChannelEnabled());
    app->channel(1, 4)->enableBox()->setChecked(true);
    EXPECT_TRUE(view()->legend(1, 4)->isChannelEnabled());
    app->channel(1, 0)->enableBox()->setChecked(false);
    EXPECT_FALSE(view()->legend(1, 0)->isChannelEnabled());
    EXPECT_TRUE(view()->legend(0, 0)->isChannelEnabled()) << "the other card's entry stays";

    // Without "-acperf" there is no measurement page.
    for (int i = 0; i < app->mainTabs()->count(); ++i)
        EXPECT_NE(app->mainTabs()->tabText(i), "Measurements");

    ASSERT_NO_FATAL_FAILURE(open("", "", "Run In Demo Mode", 2));
    EXPECT_EQ(view()->legendHeading(1)->text().toStdString(),
              "<html><font size='2'>Function Card #2 Channels:</font></html>");

    // The symbol choice reaches every curve of every card.
    QComboBox *symbols = view()->symbolChoice();
    for (auto [text, size, style] :
         {std::tuple{"Large", 8, QwtSymbol::Ellipse}, {"None", 0, QwtSymbol::NoSymbol}}) {
        choose(symbols, symbols->findText(text));
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < 8; ++k) {
                const QwtSymbol *symbol = view()->curve(c, k)->symbol();
                ASSERT_NE(symbol, nullptr);
                EXPECT_EQ(std::pair(symbol->size(), symbol->style()), std::pair(QSize(size, size), style))
                    << text << " " << c << " " << k;
            }
    }
}

// A start at the PTP alarm locks the start buttons while it waits; "Cancel" beside the status
// line and Esc give it up as a stop would.
TEST_F(WaveformTest, CancelOrEscapeGivesUpAStartThatWaitsForItsAlarm) {
    ASSERT_NO_FATAL_FAILURE(open(kLxiWorld));
    choose(app->daq->trgSource, app->daq->trgSource->findData(TriggerPlan::kPtpAlarm));
    app->show(); // Esc reaches the window that is active
    QApplication::setActiveWindow(app.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(app.get()));
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Esc" : "Cancel");
        app->daq->alarm->setTime(static_cast<int64_t>(std::time(nullptr)) + 37 + 2); // the card clock is TAI
        bool offered = false, locked = false;
        QTimer::singleShot(300, [&] {
            offered = view()->cancelWaitButton()->isVisible();
            locked = !single()->isEnabled() && !repetitive()->isEnabled();
            if (escape)
                QTest::keyClick(app.get(), Qt::Key_Escape);
            else
                view()->cancelWaitButton()->click();
        });
        repetitive()->click();
        EXPECT_TRUE(offered && locked);
        EXPECT_FALSE(view()->cancelWaitButton()->isVisible());
        EXPECT_EQ(controls(), stopped());
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
    }
}

// A file that cannot be opened is boxed and starts nothing. While the disk still takes the last
// blocks of a recording after a stop, the status line says so and the start buttons stay locked;
// they come back when the writer is done.
TEST_F(WaveformTest, StopBehindAStalledDiskLocksTheStartUntilTheWriterIsDone) {
    ASSERT_NO_FATAL_FAILURE(open(kLxiWorld));
    app->daq->continuousStorage->setChecked(true);
    choose(app->daq->samplingRate, app->daq->samplingRate->findData(50000.0));
    choose(app->daq->lengthChoice, app->daq->lengthChoice->findData(1024));
    const auto answer = [this](const QString &path) {
        QTimer::singleShot(0, [this, path] {
            app->acqDialog->pathEdit()->setText(path);
            app->acqDialog->startButton()->click();
        });
    };
    answer("/proc/data.bin7150");
    repetitive()->click();
    EXPECT_EQ(boxes.texts, QStringList{"Cannot open file: \"/proc/data.bin7150\" for writing."});
    EXPECT_EQ(controls(), stopped());
    ASSERT_TRUE(dir.isValid());
    const QString pipe = dir.filePath("pipe.bin7150");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    answer(pipe);
    boxes.press("Yes"); // "File already exists, overwrite?"
    repetitive()->click();
    // The pipe takes less than a block, the ring 15: the writer then waits for the reader.
    ASSERT_TRUE(QTest::qWaitFor([] { return acquisitionStatus.blocksRead.load() >= 16; }, 5000));
    repetitive()->click();
    EXPECT_TRUE(view()->waitingForDisk());
    EXPECT_EQ(view()->statusLabel()->text(), "Waiting for the disk to take the last blocks...");
    EXPECT_FALSE(single()->isEnabled() || repetitive()->isEnabled() || repetitive()->isChecked());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            char chunk[65536];
            while (::read(reader, chunk, sizeof chunk) > 0) {
            }
            return !view()->waitingForDisk();
        },
        10000));
    ::close(reader);
    EXPECT_EQ(controls(), stopped());
}

} // namespace
