#include "kq7000fp_PTPalarm.h"
#include "kq7150_fc.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"

#include "../support/ScriptedBoxes.h"
#include "../support/SimWorldFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

const char kVxiWorld[] = R"({"carriers":[{"resources":["VXI0::1::INSTR"],"interface":"VXI",
  "referenceVoltages":[0.0,2.5],"cards":[{"slot":1}]}]})";
const std::string kLxiCarrier = R"({"resources":["TCPIP0::192.0.2.9::INSTR"],"interface":"TCPIP",
  "ipAddress":"192.0.2.9","hostName":"lxi9","slots":1,"cards":[{"slot":1}]})";

class DaqTest : public ::testing::Test {
protected:
    // Connects to the only card of the world through "Auto Find".
    kq7150fp_DAQ *open(const std::string &json) {
        world.use(json);
        boxes.press("Auto Find");
        window = std::make_unique<kq7150fp_App>(descriptor, 1, false);
        return window->daq;
    }
    kq7150fp_DAQ *openLxi() { return open(R"({"carriers":[)" + kLxiCarrier + "]}"); }
    // As the person does it: the trigger source is picked from the list.
    static void pickSource(kq7150fp_DAQ *daq, const QString &text) {
        const int index = daq->trgSource->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        daq->trgSource->setCurrentIndex(index);
        emit daq->trgSource->activated(index);
    }

    SimWorldFiles world;
    ScriptedBoxes boxes;
    kq7150_fc descriptor;
    std::unique_ptr<kq7150fp_App> window;
};

TEST_F(DaqTest, VxiCarrierStartsWithTheDefaultsAndNoPtpAlarm) {
    kq7150fp_DAQ *daq = open(kVxiWorld);
    EXPECT_EQ(daq->lengthChoice->currentData().toInt(), 256);
    EXPECT_EQ(daq->samplingRate->currentIndex(), 5);
    EXPECT_EQ(daq->samplingRate->currentData().toDouble(), 10000.0);
    EXPECT_EQ(daq->zeroPadding->currentData().toInt(), 1); // "Off"
    EXPECT_EQ(daq->fftWindow->currentText(), "Rectangular");
    for (QWidget *w :
         std::initializer_list<QWidget *>{daq->trgPosition, daq->trgEdge, daq->trgLvl, daq->pipeline})
        EXPECT_FALSE(w->isEnabled()) << w->metaObject()->className();
    EXPECT_EQ(daq->trgSource->itemText(daq->trgSource->count() - 1), "Front Panel Low");
    EXPECT_TRUE(daq->findChildren<kq7000fp_PTPalarm *>().isEmpty());
    EXPECT_EQ(daq->sineFitting, nullptr); // the tests run without "-acperf"
}

TEST_F(DaqTest, EachTriggerSourceEnablesItsOwnControls) {
    kq7150fp_DAQ *daq = openLxi();
    ASSERT_NE(daq->alarm, nullptr);
    EXPECT_EQ(daq->trgSource->itemData(daq->trgSource->count() - 1).toInt(), -1);
    const struct {
        const char *source;
        bool edgeAndLevel, position, pipeline, alarm;
    } rows[] = {
        {"Channel 3", true, true, false, false},         {"None", false, false, false, false},
        {"Front Panel High", false, false, true, false}, {"Front Panel Low", false, false, true, false},
        {"PTP Alarm", false, false, true, true},         {"Channel 8", true, true, false, false},
    };
    for (const auto &row : rows) {
        daq->trgPosition->setCurrentIndex(3); // what the person chose before
        pickSource(daq, row.source);
        SCOPED_TRACE(row.source);
        EXPECT_EQ(daq->trgEdge->isEnabled(), row.edgeAndLevel);
        EXPECT_EQ(daq->trgLvl->isEnabled(), row.edgeAndLevel);
        EXPECT_EQ(daq->trgPosition->isEnabled(), row.position);
        EXPECT_EQ(daq->pipeline->isEnabled(), row.pipeline);
        EXPECT_EQ(daq->alarm->isEnabled(), row.alarm);
        EXPECT_EQ(daq->alarm->isArmed(), row.alarm);
        // None and the front panel start the record at the trigger; channels and PTP keep it.
        const bool startsAtTrigger = !row.position && QString(row.source) != "PTP Alarm";
        EXPECT_EQ(daq->trgPosition->currentIndex(), startsAtTrigger ? 0 : 3);
        if (QString(row.source).startsWith("Front Panel")) {
            EXPECT_EQ(daq->trgEdge->currentText(),
                      QString(row.source).endsWith("High") ? "Rising" : "Falling");
        }
        if (row.alarm) {
            EXPECT_EQ(daq->pipeline->currentText(), "Compensated");
        }
    }
}

TEST(DaqPreTrigger, StartQuartersAndEndOfTheRecord) {
    const int expected[] = {0, 256, 512, 768, 1023};
    for (int position = 0; position < 5; ++position)
        EXPECT_EQ(kq7150fp_DAQ::preTrigger(position, 1024), expected[position]) << position;
    EXPECT_EQ(kq7150fp_DAQ::preTrigger(3, 6), 4); // 3 * 6 / 4, not 6 / 4 * 3
}

TEST_F(DaqTest, ContinuousStorageRenamesTheLengthButKeepsItsValue) {
    kq7150fp_DAQ *daq = open(kVxiWorld);
    EXPECT_EQ(daq->lengthLabel->text(), "Waveform Length");
    daq->lengthChoice->setCurrentText("4096");
    daq->continuousStorage->setChecked(true);
    EXPECT_EQ(daq->lengthLabel->text(), "Scan Threshold");
    EXPECT_TRUE(daq->lengthChoice->toolTip().startsWith("<html>Defines the size of data blocks"));
    EXPECT_EQ(daq->lengthChoice->whatsThis(), daq->lengthChoice->toolTip());
    EXPECT_EQ(daq->lengthChoice->currentData().toInt(), 4096);
    daq->continuousStorage->setChecked(false);
    EXPECT_EQ(daq->lengthLabel->text(), "Waveform Length");
}

TEST_F(DaqTest, OnlyTheExactAcperfOptionAddsSineFitting) {
    open(kVxiWorld);
    kq7150fp_DAQ other(window.get(), {"kq7150fp", "-ACPERF", "--acperf"});
    EXPECT_EQ(other.sineFitting, nullptr);
    kq7150fp_DAQ daq(window.get(), {"kq7150fp", "-acperf", "-acperf"});
    EXPECT_TRUE(daq.acperf);
    ASSERT_NE(daq.sineFitting, nullptr);
    EXPECT_EQ(daq.sineFitting->count(), 8);
    EXPECT_EQ(daq.sineFitting->itemText(7), "4 parameter, 7 iterations");
    EXPECT_EQ(daq.sineFitting->itemData(7).toInt(), 7);
}

TEST_F(DaqTest, AlarmButtonsSetTheCardClockShownAsUtc) {
    kq7150fp_DAQ *daq = openLxi();
    pickSource(daq, "PTP Alarm"); // the alarm is greyed out for other sources
    QPushButton *nowPlus = daq->alarm->findChildren<QPushButton *>().last();
    ASSERT_EQ(nowPlus->text(), "Now+10s");
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    QTest::mouseClick(nowPlus, Qt::LeftButton);
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    // The simulated card counts TAI: UTC + 37 s.
    EXPECT_EQ(daq->alarm->utcOffset(), 37);
    EXPECT_GE(daq->alarm->alarmTime(), before + 37 + 10);
    EXPECT_LE(daq->alarm->alarmTime(), after + 37 + 10);

    QSignalSpy ticks(daq->alarm, &kq7000fp_PTPalarm::requestCurrentTime);
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_TRUE(daq->alarm->clockText().contains("PTP Alarm: ")) << daq->alarm->clockText().toStdString();
}

TEST_F(DaqTest, ClockFailureIsReportedOnSetAndSilentOnTheTick) {
    kq7150fp_DAQ *daq =
        open(R"({"carriers":[)" + kLxiCarrier +
             R"(],"faults":[{"call":"kq7150_getCurrentTimeEx","status":"0xBFFF0015","count":0}]})");
    const auto clockBoxes = [&] { return boxes.texts.filter("kq7150_getCurrentTimeEx"); };
    ASSERT_EQ(clockBoxes().size(), 1) << boxes.texts.join('|').toStdString();
    EXPECT_TRUE(clockBoxes()[0].startsWith(
        "kq7150_getCurrentTimeEx(fcVi, &sec, VI_NULL, &UTCoffset, NULL) failed due to ["));
    EXPECT_EQ(daq->alarm->year()->value(), 1970); // kept as it was
    QSignalSpy ticks(daq->alarm, &kq7000fp_PTPalarm::requestCurrentTime);
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_EQ(clockBoxes().size(), 1);
    EXPECT_EQ(daq->alarm->clockText(), "");
}

} // namespace
