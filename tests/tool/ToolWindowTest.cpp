// kq7150-tool against the window it stands in for: the measurement table, its clipboard text
// and the spectra of a block the window plays back (`kq7150fp FILE -acperf`), with the same
// settings on "Acquisition".
#include "ToolRun.h"

#include "AcquisitionStatus.h"
#include "DataFileReader.h"
#include "ScriptedBoxes.h"
#include "StoredFileSettings.h"
#include "kq7150_fc.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"
#include "kq7150fp_chCfg.h"
#include "measurement.h"
#include "measurementText.h"
#include "plot_voltage.h"

#include <qwt_plot_curve.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <charconv>
#include <limits>
#include <memory>
#include <random>

namespace {

// What is chosen on "Acquisition" and which block the slider shows (from 1).
struct Settings {
    int zeroPadding, fit, window, block;
};

class ToolWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        kq7150fp_chCfg::forgetReference();
        acquisitionStatus.resetForStart();
    }
    void TearDown() override { app.reset(); } // before the record it plays

    // The window as `kq7150fp FILE -acperf` opens it, with the settings chosen, at the block.
    void open(const std::string &file, const Settings &s) {
        ASSERT_EQ(DataFileReader::readHeader(file.c_str(), info), 0);
        app = std::make_unique<kq7150fp_App>(descriptor, info.cards, true);
        select(app->daq->zeroPadding, s.zeroPadding);
        select(app->daq->sineFitting, s.fit);
        select(app->daq->fftWindow, s.window);
        StoredFileSettings::apply(*app, info);
        app->waveform->slider()->setValue(s.block);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !app->waveform->analysing(); }, 10000));
    }
    static void select(QComboBox *choice, int value) {
        const int index = choice->findData(value);
        ASSERT_GE(index, 0) << value;
        choice->setCurrentIndex(index);
    }
    // The cells of one row of the measurement page, comma-separated.
    QString row(int k) const {
        const QAbstractItemModel *model = app->measurements->findChild<QTableView *>()->model();
        QStringList cells;
        for (int col = 0; col < measurement::columns; ++col)
            cells << model->index(k, col).data().toString();
        return cells.join(',');
    }

    ScriptedBoxes boxes;
    kq7150_fc descriptor;
    fileInfo_t info{};
    std::unique_ptr<kq7150fp_App> app;
    QTemporaryDir dir;
};

std::vector<double> numbers(const std::string &line) {
    std::vector<double> values;
    for (std::size_t at = 0, end; at <= line.size(); at = end + 1) {
        end = std::min(line.find(',', at), line.size());
        double v = std::numeric_limits<double>::quiet_NaN();
        std::from_chars(line.data() + at, line.data() + end, v);
        values.push_back(v);
    }
    return values;
}

TEST_F(ToolWindowTest, MeasureAndSpectrumGiveTheWindowsFiguresForTheSameBlockAndSettings) {
    const Settings settings[] = {{1, 0, 0, 2}, {2, 3, 1, 2}, {5, 7, 5, 3}, {10, 1, 3, 1}};
    const std::vector<StoredRecording> recordings = programRecordings();
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        const StoredRecording &r = recordings[i];
        const Settings &s = settings[i];
        SCOPED_TRACE("recording " + std::to_string(i));
        const std::string file = (dir.path() + "/rec.bin7150").toStdString();
        ASSERT_EQ(r.write(file), "");
        ASSERT_NO_FATAL_FAILURE(open(file, s));
        const QString f = QString::fromStdString(file);
        const QStringList options{"--zero-padding", QString::number(s.zeroPadding), "--fit",
                                  QString::number(s.fit)};
        const ToolRun one = runTool(QStringList{"measure", f, "--block", QString::number(s.block)} + options);
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(one.err, "");
        const std::vector<std::string> tool = lines(one.out);

        // Card by card, as chosen at the bottom of the page. A stored file plays in demo mode,
        // where "Copy to Clipboard" copies nothing; a twin page fed with the window's inputs
        // outside demo mode gives the clipboard's text.
        measurement twin(
            nullptr,
            [this] {
                measurementInputs in = app->waveform->measurementState();
                in.demo = false;
                return in;
            },
            info.cards);
        auto *card = app->measurements->findChild<QComboBox *>();
        std::size_t next = 3; // after the heading, the empty line and the column line
        for (int c = 0; c < info.cards; ++c) {
            card->setCurrentIndex(c);
            twin.findChild<QComboBox *>()->setCurrentIndex(c);
            twin.recalculate();
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return !app->waveform->analysing() && !twin.calculating(); }, 10000));
            twin.findChild<QPushButton *>()->click();
            const std::vector<std::string> copied = lines(QApplication::clipboard()->text().toStdString());
            ASSERT_GE(copied.size(), 3u);
            EXPECT_EQ(tool[0], copied[0]);
            EXPECT_EQ(tool[1], "");
            EXPECT_EQ(tool[2], "Block, Card, " + copied[2]);
            for (int k = 0, e = 0; k < 8; ++k) {
                if (!(info.channelMasks[c] >> k & 1))
                    continue;
                const std::string cells = row(k).toStdString();
                const std::string channel = std::to_string(k + 1);
                ASSERT_LT(next, tool.size());
                EXPECT_EQ(tool[next++], std::to_string(s.block) + "," + std::to_string(c + 1) + "," +
                                            channel + ",,," + cells);
                EXPECT_EQ(copied[3 + e++], channel + ",0,0," + cells) << "the gain index of a fresh panel";
            }
        }
        EXPECT_EQ(tool.size(), next);
        EXPECT_NEAR(numbers(tool[3])[5], 0.5, 1e-2) << "the first channel's amplitude: a real measurement";

        // Every block on every core: the same lines, in block order.
        const ToolRun all = runTool(QStringList{"measure", f, "--all"} + options);
        ASSERT_EQ(all.status, 0) << all.err;
        const std::vector<std::string> every = lines(all.out);
        ASSERT_EQ(every.size(), 3 + std::size_t(r.blocks * r.channels()));
        const std::size_t first = 3 + std::size_t((s.block - 1) * r.channels());
        EXPECT_EQ(std::vector<std::string>(every.begin() + first, every.begin() + first + r.channels()),
                  std::vector<std::string>(tool.begin() + 3, tool.end()));
        for (std::size_t l = 3; l < every.size(); ++l)
            EXPECT_EQ(every[l].substr(0, 2), std::to_string((l - 3) / r.channels() + 1) + ",") << l;

        // The spectra: the window's curves point for point. The window goes by name or number.
        const QStringList windowNames = {
            "rectangular", "hann", "hamming", "blackman", "blackman-harris-4", "blackman-harris-7"};
        const QString window = s.window % 2 ? windowNames[s.window] : QString::number(s.window);
        const ToolRun spectrum = runTool({"spectrum", f, "--block", QString::number(s.block), "--window",
                                          window, "--zero-padding", QString::number(s.zeroPadding)});
        ASSERT_EQ(spectrum.status, 0) << spectrum.err;
        const std::vector<std::string> points = lines(spectrum.out);
        std::string titles = "Frequency (Hz)";
        std::vector<const QwtPlotCurve *> curves;
        for (int c = 0; c < info.cards; ++c)
            for (int k = 0; k < 8; ++k)
                if (info.channelMasks[c] >> k & 1) {
                    titles += ", FC" + std::to_string(c + 1) + "_CH" + std::to_string(k + 1) + " (dB)";
                    curves.push_back(app->spectrum->curveList()[c * 8 + k]);
                }
        EXPECT_EQ(points[0], titles);
        const std::size_t size = std::size_t(r.scans) * s.zeroPadding / 2;
        ASSERT_EQ(points.size(), size + 1);
        for (std::size_t p = 0; p < size; ++p) {
            const std::vector<double> v = numbers(points[p + 1]);
            ASSERT_EQ(v.size(), curves.size() + 1) << points[p + 1];
            for (std::size_t e = 0; e < curves.size(); ++e) {
                ASSERT_EQ(curves[e]->dataSize(), size);
                const QPointF point = curves[e]->sample(p);
                ASSERT_EQ(std::pair(v[0], v[e + 1]), std::pair(point.x(), point.y()))
                    << "point " << p << ", " << e;
            }
        }
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
    }
}

// The window's cells, its clipboard and the tool write figures through measurementText, which
// must write them as the table always has: as Qt's QString::number(value, 'f', decimals).
TEST(MeasurementTextTest, FiguresReadAsQtWritesThem) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    std::vector<std::pair<double, int>> values;
    for (const double special :
         {0.125, -0.125, 100.0625, 2.5,  -2.5,   9.5,   1048576.5, 999.9995, 0.0, -0.0,
          -1e-4, 1e-7,   -1e-7,    1e20, 99.995, 0.375, nan,       -nan,     inf, -inf})
        for (int d = 0; d <= 6; ++d)
            values.emplace_back(special, d);
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> decimals(0, 6);
    for (int i = 0; i < 20000; ++i) {
        const int d = decimals(random);
        // Odd multiples of 2^-(d+1): a half at d decimals, the case to_chars and Qt round apart.
        const double half = std::ldexp(double(2 * (random() % 100000) + 1), -(d + 1)) * (i % 2 ? 1 : -1);
        values.emplace_back(half, d);
        values.emplace_back(std::ldexp(double(random() % (1ull << 53)), -int(random() % 70)) - 10.0, d);
    }
    for (const auto &[value, d] : values)
        ASSERT_EQ(measurementText::number(value, d), QString::number(value, 'f', d).toStdString())
            << value << " with " << d << " decimals";
}

} // namespace
