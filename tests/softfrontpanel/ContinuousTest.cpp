// Continuous acquisition with storage through the window, as a person runs it: the storage
// box, the dialog, a start button, a while of acquiring, the stop; then the file is read back.
#include "PanelTest.h"

#include "../support/RampFileCheck.h"

#include "AcquisitionStatus.h"
#include "DataFileReader.h"
#include "StoredFileSettings.h"
#include "acqConfig.h"
#include "kq7000fp_PTPalarm.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"

#include <qwt_plot_curve.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <fstream>

namespace {

constexpr double kLsb = 10.24 / 8388608.0; // gain 1
constexpr int64_t kTaiMinusUtc = 37;

// The size of the process's address space, in bytes.
rlim_t virtualMemory() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0)
            return static_cast<rlim_t>(std::stoull(line.substr(7))) * 1024;
    return 0;
}

std::string rampLxiWorld(int cards) {
    std::string list;
    for (int c = 1; c <= cards; ++c)
        list += std::string(c > 1 ? "," : "") + R"({"slot":)" + std::to_string(c) +
                R"(,"signal":{"type":"ramp"}})";
    return R"({"carriers":[{"resources":["TCPIP0::192.0.2.7::INSTR"],"interface":"TCPIP","ipAddress":"192.0.2.7",
      "hostName":"lxi7","slots":)" +
           std::to_string(cards) + R"(,"cards":[)" + list + "]}]}";
}

class ContinuousTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    void select(QComboBox *choice, const QVariant &data) {
        const int index = choice->findData(data);
        ASSERT_GE(index, 0) << data.toString().toStdString();
        choose(choice, index);
    }
    // Channels 1..channels of every card on, the others off.
    void enable(int channels) {
        for (int c = 0; c < app->cards(); ++c)
            for (int k = 0; k < 8; ++k)
                app->channel(c, k)->enableBox()->setChecked(k < channels);
    }
    void settings(double rate, int scans, int source) {
        kq7150fp_DAQ *daq = app->daq;
        daq->continuousStorage->setChecked(true);
        ASSERT_NO_FATAL_FAILURE(select(daq->samplingRate, rate));
        ASSERT_NO_FATAL_FAILURE(select(daq->lengthChoice, scans));
        ASSERT_NO_FATAL_FAILURE(select(daq->trgSource, source));
        if (source == -1)
            daq->alarm->setTime(static_cast<int64_t>(std::time(nullptr)) + kTaiMinusUtc + 1);
    }
    // Fills the dialog when it shows and presses "Start" (or "Cancel").
    void answerDialog(const QString &path, int format, bool timestamps, bool start = true) {
        QTimer::singleShot(0, [=] {
            acqConfig *d = app->acqDialog;
            if (!d->isVisible())
                return;
            d->pathEdit()->setText(path);
            d->formatChoice()->setCurrentIndex(format);
            d->timestampsBox()->setChecked(timestamps);
            (start ? d->startButton() : d->cancelButton())->click();
        });
    }
    QAbstractButton *button(const char *name) { return app->findChild<QAbstractButton *>(name); }
    // Acquires for ms milliseconds with the repetitive button, then releases it.
    void runFor(int ms) {
        button("repetitiveButton")->click();
        QTest::qWait(ms);
        button("repetitiveButton")->click();
    }

    QTemporaryDir dir;
};

// Two cards, all 16 channels at the highest rate, with timestamps: every scan reaches the
// file once and in order, and the scan times advance by exactly one sampling period.
TEST_F(ContinuousTest, TwentySecondsAtTheHighestRateAreStoredWithoutAGap) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(2)));
    enable(8);
    ASSERT_NO_FATAL_FAILURE(settings(216000.0, 16384, -1));
    const QString path = dir.filePath("gapfree.bin7150");
    answerDialog(path, 0, true);
    runFor(20000);

    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path.toStdString(), kLsb, file));
    EXPECT_EQ(file.info.channels, 16);
    EXPECT_EQ(file.info.timestamps, 1);
    EXPECT_GE(file.blocks, 19u * 216000 / 16384); // the whole 20 s less the start
    EXPECT_EQ(file.blocks, acquisitionStatus.blocksRead.load());
    EXPECT_EQ(app->waveform->statusLabel()->text(), "Idle");
}

// Nothing to store: the acquisition runs and shows its blocks, and the file size stays 0 B.
TEST_F(ContinuousTest, EmptyFileNameAcquiresWithoutAFile) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1)));
    ASSERT_NO_FATAL_FAILURE(settings(10000.0, 1024, 0));
    answerDialog("", 0, false);
    button("repetitiveButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return acquisitionStatus.blocksRead.load() >= 3; }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return app->waveform->fileSizeLine()->text().startsWith("File size: 0 B, sample backlog: ");
    }));
    EXPECT_TRUE(app->waveform->fileSizeLine()->isVisible() || !app->isVisible());
    button("repetitiveButton")->click();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

// A single shot with storage stores its block, says so, and releases the button by itself; the
// file then opens for viewing like any stored file.
TEST_F(ContinuousTest, SingleShotStoresABlockThatOpensForViewing) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1)));
    ASSERT_NO_FATAL_FAILURE(settings(10000.0, 1024, 0));
    const QString path = dir.filePath("single.bin7150");
    answerDialog(path, 0, false);
    ::testing::internal::CaptureStdout();
    button("singleShotButton")->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !button("singleShotButton")->isChecked() && button("singleShotButton")->isEnabled(); },
        5000));
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("Single - done\n"), std::string::npos) << said;
    EXPECT_NE(said.find("* Stopped\n"), std::string::npos) << said;
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path.toStdString(), kLsb, file));
    EXPECT_GE(file.blocks, 1u);

    fileInfo_t info{};
    ASSERT_EQ(DataFileReader::readHeader(path.toLocal8Bit().constData(), info), 0);
    app = std::make_unique<kq7150fp_App>(descriptor, info.cards, true);
    StoredFileSettings::apply(*app, info);
    EXPECT_EQ(app->waveform->slider()->maximum(), static_cast<int>(file.blocks));
    const QwtSeriesData<QPointF> *shown = app->waveform->curve(0, 0)->data();
    ASSERT_EQ(shown->size(), 1024u);
    EXPECT_NEAR(shown->sample(1).y() - shown->sample(0).y(), kLsb, 1e-12); // the ramp, one count a scan
}

// Where nothing can be stored, nothing starts, and the user is told why.
TEST_F(ContinuousTest, BadPathsStartNothing) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1)));
    ASSERT_NO_FATAL_FAILURE(settings(10000.0, 1024, 0));
    answerDialog(dir.filePath("missing/data.bin7150"), 0, false);
    button("repetitiveButton")->click();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0], QString("Directory: \"%1\" does not exist.").arg(dir.filePath("missing")));
    EXPECT_EQ(kqsim_callCount("kq7150_startMultAcquisitionEx"), 0);

    answerDialog("/proc/data.bin7150", 0, false); // a folder nobody may create files in
    button("repetitiveButton")->click();
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(boxes.texts[1], "Cannot open file: \"/proc/data.bin7150\" for writing.");
    EXPECT_EQ(kqsim_callCount("kq7150_startMultAcquisitionEx"), 0);

    // A pipe nobody reads would block the opening for good.
    const QString pipe = dir.filePath("unread.bin7150");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    answerDialog(pipe, 0, false);
    boxes.press("Yes"); // "File already exists, overwrite?"
    button("repetitiveButton")->click();
    ASSERT_EQ(boxes.texts.size(), 4);
    EXPECT_EQ(boxes.texts[3], QString("Cannot open file: \"%1\" for writing.").arg(pipe));
    EXPECT_EQ(kqsim_callCount("kq7150_startMultAcquisitionEx"), 0);
    EXPECT_TRUE(button("repetitiveButton")->isEnabled() && !button("repetitiveButton")->isChecked());
}

// A read failing inside the callback ends the storing while the cards go on: the status line
// says so at the next refresh, and the box at the stop tells what the file holds.
TEST_F(ContinuousTest, ReadFailureIsShownAtOnceAndBoxedAtTheStop) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1), R"({"faults": [{"call": "kq7150_readMultAcquisition",
        "status": "0xBFFC080E", "from": 3, "count": 0, "inCallback": true}]})"));
    ASSERT_NO_FATAL_FAILURE(settings(10000.0, 1024, 0));
    const QString path = dir.filePath("failing.bin7150");
    answerDialog(path, 0, false);
    button("repetitiveButton")->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return app->waveform->statusLabel()->text().contains(
                "Storing ended: kq7150_readMultAcquisitionEx failed due to [");
        },
        2000));
    EXPECT_TRUE(button("repetitiveButton")->isChecked());
    EXPECT_TRUE(boxes.texts.isEmpty());
    button("repetitiveButton")->click();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("kq7150_readMultAcquisitionEx failed due to ["))
        << boxes.texts[0].toStdString();
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(path.toStdString(), kLsb, file));
    EXPECT_LE(file.blocks, 2u);
    EXPECT_TRUE(
        boxes.texts[0].contains(QString("\n%1 block%2 (").arg(file.blocks).arg(file.blocks == 1 ? "" : "s")))
        << boxes.texts[0].toStdString();
}

// A recording into a pipe whose reader stopped reading, as a hung network drive would: the stop
// stops the cards at once and returns, the window waits for the disk without freezing, and
// once the reader goes on the file gets every block the ring held, whole.
TEST_F(ContinuousTest, StopBehindAStalledDiskKeepsTheWindowResponsive) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1)));
    enable(8);
    ASSERT_NO_FATAL_FAILURE(settings(50000.0, 1024, 0));
    const QString pipe = dir.filePath("pipe.bin7150");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    answerDialog(pipe, 0, false);
    boxes.press("Yes"); // "File already exists, overwrite?"
    button("repetitiveButton")->click();
    // The pipe takes less than a block of 64 KiB, the ring 15: the callback then waits for the
    // writer, which waits for the reader.
    ASSERT_TRUE(QTest::qWaitFor([&] { return acquisitionStatus.blocksRead.load() >= 16; }, 5000));

    QElapsedTimer stopping;
    stopping.start();
    button("repetitiveButton")->click();
    EXPECT_LT(stopping.elapsed(), 4000);
    EXPECT_GE(kqsim_callCount("kq7150_stopMultAcquisition"), 1);
    EXPECT_TRUE(app->waveform->waitingForDisk());
    EXPECT_EQ(app->waveform->statusLabel()->text(), "Waiting for the disk to take the last blocks...");
    EXPECT_FALSE(button("repetitiveButton")->isEnabled() || button("singleShotButton")->isEnabled());
    EXPECT_FALSE(button("repetitiveButton")->isChecked());

    // The reader comes back: it takes what the writer still had to write.
    std::string bytes;
    QElapsedTimer reading;
    reading.start();
    while (app->waveform->waitingForDisk() && reading.elapsed() < 10000) {
        char chunk[65536];
        const ssize_t n = ::read(reader, chunk, sizeof chunk);
        if (n > 0)
            bytes.append(chunk, static_cast<size_t>(n));
        QTest::qWait(5);
    }
    for (;;) { // what is left after the writer closed
        char chunk[65536];
        const ssize_t n = ::read(reader, chunk, sizeof chunk);
        if (n <= 0)
            break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(reader);
    EXPECT_FALSE(app->waveform->waitingForDisk());
    EXPECT_EQ(app->waveform->statusLabel()->text(), "Idle");
    EXPECT_TRUE(button("repetitiveButton")->isEnabled() && button("singleShotButton")->isEnabled());
    EXPECT_EQ(boxes.texts, QStringList{"File already exists, overwrite?"});
    const QString copy = dir.filePath("copy.bin7150");
    QFile out(copy);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes.data(), static_cast<qint64>(bytes.size()));
    out.close();
    RampFile file;
    ASSERT_TRUE(rampFileIsGapFree(copy.toStdString(), kLsb, file));
    EXPECT_GE(file.blocks, 15u);
    EXPECT_EQ(bytes.size(), file.info.payloadOffset + file.blocks * file.info.blockLength);
}

// Ring buffers that cannot be had are reported in the error box; nothing starts.
TEST_F(ContinuousTest, BuffersThatCannotBeHadAreReported) {
    ASSERT_NO_FATAL_FAILURE(open(rampLxiWorld(1)));
    enable(8);
    ASSERT_NO_FATAL_FAILURE(settings(10000.0, 131072, 0));
    answerDialog(dir.filePath("big.bin7150"), 0, false);
    // The ring's 17 blocks of 8 MB do not fit into 16 MB more than the process has now.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
    rlimit small = old;
    small.rlim_cur = virtualMemory() + (16 << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &small), 0);
    button("singleShotButton")->click();
    setrlimit(RLIMIT_AS, &old);

    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("Unable to allocate memory.")) << boxes.texts[0].toStdString();
    EXPECT_EQ(kqsim_callCount("kq7150_startMultAcquisitionEx"), 0);
    EXPECT_TRUE(button("singleShotButton")->isEnabled() && !button("singleShotButton")->isChecked());
}

} // namespace
