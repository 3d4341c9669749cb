#include "PanelTest.h"

#include "../support/StoredRecording.h"
#include "AcquisitionStatus.h"
#include "DataFileReader.h"
#include "StoredFileSettings.h"
#include "acqConfig.h"
#include "axisConfig.h"
#include "kq7000fp_PTPalarm.h"
#include "kq7000fp_digitCtrl.h"
#include "kq7000fp_led.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"
#include "myQwtPlotPicker.h"
#include "plotContextMenu.h"
#include "plot_voltage.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_widget.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

// Channel 4 sees 12 V peak, beyond the 10.24 V range at gain 1.
const char kOneCardWorld[] = R"({"carriers":[{"resources":["VXI0::5::INSTR"],"interface":"VXI","slot":3,
  "logicalAddress":5,"slots":6,"cards":[{"slot":5,"signal":{"type":"sine","frequency":625,"amplitude":2.0},
  "channels":{"4":{"type":"sine","frequency":625,"amplitude":12.0}}}]}]})";
const char kTwoCardWorld[] = R"({"carriers":[{"resources":["VXI0::9::INSTR"],"interface":"VXI","slot":3,
  "logicalAddress":9,"slots":6,"cards":[{"slot":2,"serial":"0x71500002"},{"slot":4,"serial":"0x71500004"}]}]})";

// Channels 1 and 3 with timestamps, which the playback must skip, and 25 scans before the
// trigger; 100 scans a block, a length the panel does not offer. Exact in binary: block b of
// channel 1 starts at 3 - b volts.
constexpr int kScans = 100;
StoredRecording recording() {
    StoredRecording r;
    r.masks = {0x05}, r.scans = kScans, r.blocks = 3, r.timestamps = true, r.preTrigger = 25;
    r.signal = [](int k, int64_t n) {
        return 3.0 - double(n / kScans) + 0.5 * k + double(n % kScans) / 1024;
    };
    return r;
}
const StoredRecording kRecording = recording();

class WaveformTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        // A fresh program has no latched error word; earlier tests of this process leave one.
        acquisitionStatus.resetForStart();
        ASSERT_TRUE(dir.isValid());
    }
    // The stored record must outlive the window that plays it.
    void TearDown() override { app.reset(); }

    kq7150fp_Waveform *view() const { return app->waveform; }
    QAbstractButton *single() const { return app->findChild<QAbstractButton *>("singleShotButton"); }
    QAbstractButton *repetitive() const { return app->findChild<QAbstractButton *>("repetitiveButton"); }

    // Buttons (enabled, checked), status text, polling.
    auto controls() const {
        return std::tuple(single()->isEnabled(), single()->isChecked(), repetitive()->isEnabled(),
                          repetitive()->isChecked(), view()->statusLabel()->text().toStdString(),
                          view()->refreshTimer()->isActive());
    }
    static auto stopped() { return std::tuple(true, false, true, false, std::string("Idle"), false); }
    // A disabled tab disables its page.
    bool settingsOpen() const { return app->daq->isEnabled() && app->fcTab()->parentWidget()->isEnabled(); }
    void openFile(const std::string &path, uint64_t blocks) {
        ASSERT_EQ(DataFileReader::readHeader(path.c_str(), info), 0);
        ASSERT_EQ(info.blockCount, blocks);
        app = std::make_unique<kq7150fp_App>(descriptor, info.cards, true);
        StoredFileSettings::apply(*app, info);
        // The spectra and figures of the block shown are computed away from the window.
        ASSERT_TRUE(analysed());
    }
    bool analysed() const {
        return QTest::qWaitFor([this] { return !view()->analysing(); }, 10000);
    }
    // The block's samples at their times, in the unit shown: value = (volts - offset) * multiplier.
    void expectBlockShown(int block, double offset = 0.0, double multiplier = 1.0) {
        SCOPED_TRACE(block);
        const double t0 = block * kScans / 1000.0 - 0.025;
        const QwtScaleDiv &x = view()->plot()->axisScaleDiv(QwtPlot::xBottom);
        EXPECT_NEAR(x.lowerBound(), t0, 1e-12);
        EXPECT_NEAR(x.upperBound(), t0 + 0.1, 1e-12);
        EXPECT_EQ(view()->curve(0, 1)->dataSize(), 0u);
        for (auto [channel, k] : {std::pair{0, 0}, {2, 1}})
            for (int s : {0, 37, kScans - 1})
                EXPECT_EQ(view()->curve(0, channel)->sample(s),
                          QPointF(t0 + s / 1000.0,
                                  (kRecording.volts(k, block * kScans + s) - offset) * multiplier));
    }

    QTemporaryDir dir;
    fileInfo_t info{};
};

// The cards acquire in lockstep: a selection they cannot take is refused before any driver
// call, from either start button, and leaves the panel ready for another try.
TEST_F(WaveformTest, SelectionsTheCardsCannotTakeAreRefused) {
    ASSERT_NO_FATAL_FAILURE(open(kTwoCardWorld));
    const std::tuple<int, int, QAbstractButton *, std::string> rows[] = {
        {2, 3, single(), "The number of enabled channels must be the same on all function cards."},
        {0, 0, repetitive(),
         "At least one channel in first Function Card must be enabled for Data Acquisition."},
    };
    for (const auto &[first, second, start, warning] : rows) {
        for (int k = 0; k < 8; ++k) {
            app->channel(0, k)->enableBox()->setChecked(k < first);
            app->channel(1, k)->enableBox()->setChecked(k < second);
        }
        boxes.texts.clear();
        start->setChecked(true);
        EXPECT_EQ(
            std::tuple(boxes.texts.join('|').toStdString(), controls(), settingsOpen(),
                       kqsim_callCount("kq7150_setMultTrigConfig") + kqsim_callCount("kq7150_multConfig")),
            std::tuple(warning, stopped(), true, 0));
    }
}

// Recordings the panel itself would not make are shown as they are: cards with different
// channel counts (the first with none), and more blocks than a slider has positions.
TEST_F(WaveformTest, RecordingsOfUnevenCardsOrOfBillionsOfBlocksAreShown) {
    const std::string path = dir.filePath("rec.bin7150").toStdString();
    const auto block = [](int k, int64_t n) { return double(64 * k + n) / 128; };
    StoredRecording r;
    r.format = StorageFormat::kBinary32, r.masks = {0x00, 0x03}, r.scans = 64, r.signal = block;
    ASSERT_EQ(r.write(path), "");
    ASSERT_NO_FATAL_FAILURE(openFile(path, 1));
    EXPECT_TRUE(boxes.texts.isEmpty() && view()->curve(0, 0)->dataSize() == 0);
    for (int k : {0, 1})
        EXPECT_EQ(std::pair(view()->curve(1, k)->dataSize(), view()->curve(1, k)->sample(5).y()),
                  std::pair(size_t(64), block(k, 5)));

    // 1 kB blocks: 2^31 + 10 of them are a sparse file of 2 TB, a layout the panel writes.
    const uint64_t blocks = (uint64_t(1) << 31) + 10;
    r.masks = {0x01}, r.scans = 256, r.blocks = 0;
    ASSERT_EQ(r.write(path), "");
    const uint64_t payload = std::filesystem::file_size(path);
    std::error_code error;
    std::filesystem::resize_file(path, payload + blocks * 1024, error);
    if (error)
        GTEST_SKIP() << "no sparse file of 2 TB here: " << error.message();
    const float last = 0.75f; // the first sample of the last block
    std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
        .seekp(std::streamoff(payload + (blocks - 1) * 1024))
        .write(reinterpret_cast<const char *>(&last), sizeof last);
    ASSERT_NO_FATAL_FAILURE(openFile(path, blocks));
    EXPECT_EQ(view()->sliderLabel()->text().toStdString(), "<html><b>1 / 2147483658</b></html>");
    view()->slider()->setValue(view()->slider()->maximum());
    ASSERT_TRUE(analysed());
    EXPECT_EQ(view()->sliderLabel()->text().toStdString(), "<html><b>2147483658 / 2147483658</b></html>");
    EXPECT_EQ(view()->curve(0, 0)->sample(0), QPointF(double(blocks - 1) * 256 / 1000, 0.75));
}

// The lamp of the channel beyond its range is lit by the block until the next start. The marker
// read-out is whole at the window's opening size, also with two markers on curves at six-digit
// frequencies; it does not run under the controls beside it.
TEST_F(WaveformTest, OverrangeLampAndAWholeMarkerReadout) {
    ASSERT_NO_FATAL_FAILURE(open(kOneCardWorld));
    app->channel(0, 3)->enableBox()->setChecked(true);
    choose(app->daq->samplingRate, app->daq->samplingRate->findData(216000.0));
    single()->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        view()->timerSlot(); // faster than the refresh timer
        return kqsim_callCount("kq7150_readMultAcquisition") >= 1;
    }));
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(app->channel(0, k)->overrangeLed()->value(), k == 3 ? 1 : 0) << k;
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
    const QString text = readout->text();
    ASSERT_EQ(text.count("[Ch "), 2) << text.toStdString();
    ASSERT_TRUE(text.contains(QRegularExpression(R"(df = \d{4,}\.\d Hz)"))) << text.toStdString();
    EXPECT_GE(readout->width(), readout->fontMetrics().horizontalAdvance(text));
    EXPECT_LE(readout->geometry().right(), app->spectrum->snapToSample()->geometry().left());

    single()->setChecked(true);
    EXPECT_EQ(app->channel(0, 3)->overrangeLed()->value(), 0);
    single()->setChecked(false);
    EXPECT_EQ(controls(), stopped());
}

// A recording is played with its length and channels chosen, the settings locked and the slider
// in place of the status line; moved while it plays, the playback goes on from the chosen block.
// A zoom of the spectrum switches autoscale off; "Reset Zoom" brings either plot back to the
// whole, autoscaled view. A custom unit converts the samples, the zoom base and the titles, also
// of the next block.
TEST_F(WaveformTest, RecordingPlaysZoomsAndShowsACustomUnit) {
    const std::string path = dir.filePath("rec.bin7150").toStdString();
    ASSERT_EQ(kRecording.write(path), "");
    ASSERT_NO_FATAL_FAILURE(openFile(path, 3));
    const QComboBox *length = app->daq->lengthChoice, *rate = app->daq->samplingRate;
    EXPECT_EQ(std::tuple(length->currentText(), length->currentData().toInt(), rate->currentText()),
              std::tuple(QString("100"), 100, QString("1 kHz"))); // the length added, the rate offered
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(app->channel(0, k)->enableBox()->isChecked(), k == 0 || k == 2) << k;
    EXPECT_TRUE(view()->statusLabel()->isHidden());
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
    EXPECT_FALSE(settingsOpen());
    repetitive()->setChecked(false);
    auto *autoscale = app->findChild<QAbstractButton *>("autoscaleButton");
    QwtPlot *spectrum = app->spectrum->plot();
    const auto xRange = [spectrum] { return spectrum->axisInterval(QwtPlot::xBottom); };
    const auto whole = xRange();
    app->spectrum->zoomer()->zoom(
        QRectF(QPointF(whole.maxValue() / 4, -150.0), QPointF(whole.maxValue() / 2, -50.0)));
    EXPECT_FALSE(autoscale->isChecked());
    app->spectrum->contextMenu()->resetZoom();
    EXPECT_EQ(std::pair(autoscale->isChecked(), xRange()), std::pair(true, whole));
    autoscale->click();
    view()->zoomer()->zoom(QRectF(QPointF(0.01, -1.0), QPointF(0.02, 1.0)));
    view()->contextMenu()->resetZoom();
    EXPECT_TRUE(autoscale->isChecked());
    ASSERT_NO_FATAL_FAILURE(expectBlockShown(0));

    axisConfig *dialog = view()->yAxisDialog();
    QString title;
    QTimer::singleShot(0, dialog, [dialog, &title] {
        title = dialog->windowTitle();
        dialog->rangeGroup()->setChecked(true); // a range to the nanovolt
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
    ASSERT_NO_FATAL_FAILURE(expectBlockShown(0, 1.0, 2.0));
    const QRectF base = view()->zoomer()->zoomBase();
    EXPECT_NEAR(base.top(), -22.48, 1e-9);
    EXPECT_NEAR(base.bottom(), 18.48, 1e-9);
    EXPECT_EQ(
        std::tuple(title, view()->plot()->axisTitle(QwtPlot::yLeft).text(), view()->picker()->unitName()),
        std::tuple(QString("Axis Configuration"), QString("g"), QString("g")));
    const QwtScaleDiv &y = view()->plot()->axisScaleDiv(QwtPlot::yLeft);
    EXPECT_NEAR(y.lowerBound(), (-1.000000001 - 1.0) * 2.0, 1e-12);
    EXPECT_NEAR(y.upperBound(), (1.000000002 - 1.0) * 2.0, 1e-12);
    view()->slider()->setValue(3);
    ASSERT_NO_FATAL_FAILURE(expectBlockShown(2, 1.0, 2.0));
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
        app->daq->alarm->setTime(static_cast<int64_t>(std::time(nullptr)) + 37 + 2); // the card clock is TAI
        bool offeredAndLocked = false;
        QTimer::singleShot(300, [&] {
            offeredAndLocked = view()->cancelWaitButton()->isVisible() && !single()->isEnabled() &&
                               !repetitive()->isEnabled();
            escape ? QTest::keyClick(app.get(), Qt::Key_Escape) : view()->cancelWaitButton()->click();
        });
        repetitive()->click();
        EXPECT_EQ(std::tuple(offeredAndLocked, view()->cancelWaitButton()->isVisible(), controls(),
                             boxes.texts.join('|').toStdString()),
                  std::tuple(true, false, stopped(), std::string()))
            << (escape ? "Esc" : "Cancel");
    }
}

// Space starts and stops the repetitive acquisition from whatever button has the focus (which
// it would click otherwise), but not held down or with a modifier, not while a single shot
// runs, a modal dialog is up or a field that takes text has the focus.
TEST_F(WaveformTest, SpaceTogglesTheRepetitiveAcquisitionWhereNothingElseTakesIt) {
    ASSERT_NO_FATAL_FAILURE(open(kVxiWorld));
    app->show();
    QApplication::setActiveWindow(app.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(app.get()));
    auto *focused = app->findChild<QAbstractButton *>("autoscaleButton");
    const auto space = [&](QWidget *to, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                           bool repeat = false) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, modifiers, " ", repeat);
        QApplication::sendEvent(to, &press);
        if (!repeat && modifiers == Qt::NoModifier) // a focused button clicks on the release
            QTest::keyRelease(to, Qt::Key_Space);
        return std::pair(repetitive()->isChecked(), kqsim_callCount("kq7150_startMultAcquisition"));
    };
    QDialog dialog(app.get());
    dialog.setModal(true);
    dialog.show();
    EXPECT_EQ(space(focused), std::pair(false, 0)) << "under a modal dialog";
    dialog.hide();
    QApplication::setActiveWindow(app.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(app.get()));
    choose(app->daq->trgSource, app->daq->trgSource->findData(1)); // the level takes input
    EXPECT_EQ(space(app->daq->trgLvl), std::pair(false, 0)) << "in the trigger level";
    for (QAbstractButton *start : {single(), repetitive()})
        EXPECT_TRUE(start->toolTip().contains("Space starts and stops the repetitive acquisition"));
    const bool autoscale = focused->isChecked();
    EXPECT_EQ(space(focused), std::pair(true, 1));
    EXPECT_EQ(space(focused, Qt::NoModifier, true), std::pair(true, 1)) << "held down";
    EXPECT_EQ(space(focused, Qt::ShiftModifier), std::pair(true, 1));
    EXPECT_EQ(focused->isChecked(), autoscale) << "the focused button was clicked";
    EXPECT_EQ(space(focused), std::pair(false, 1));
    single()->click();
    const int started = kqsim_callCount("kq7150_startMultAcquisition");
    EXPECT_EQ(space(focused), std::pair(false, started)) << "during a single shot";
}

// While the disk still takes the last blocks of a recording after a stop, the status line says
// so and the start buttons stay locked; they come back when the writer is done.
TEST_F(WaveformTest, StopBehindAStalledDiskLocksTheStartUntilTheWriterIsDone) {
    ASSERT_NO_FATAL_FAILURE(open(kLxiWorld));
    app->daq->continuousStorage->setChecked(true);
    choose(app->daq->samplingRate, app->daq->samplingRate->findData(50000.0));
    choose(app->daq->lengthChoice, app->daq->lengthChoice->findData(1024));
    const QString pipe = dir.filePath("pipe.bin7150");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    QTimer::singleShot(0, [this, pipe] {
        app->acqDialog->pathEdit()->setText(pipe);
        app->acqDialog->startButton()->click();
    });
    boxes.press("Yes"); // "File already exists, overwrite?"
    repetitive()->click();
    // The pipe takes less than a block, the ring 15: the writer then waits for the reader.
    ASSERT_TRUE(QTest::qWaitFor([] { return acquisitionStatus.blocksRead.load() >= 16; }, 5000));
    repetitive()->click();
    EXPECT_EQ(view()->statusLabel()->text(), "Waiting for the disk to take the last blocks...");
    EXPECT_FALSE(single()->isEnabled() || repetitive()->isEnabled() || repetitive()->isChecked());
    char chunk[65536];
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ::read(reader, chunk, sizeof chunk), !view()->waitingForDisk(); }, 10000));
    ::close(reader);
    EXPECT_EQ(controls(), stopped());
}

} // namespace
