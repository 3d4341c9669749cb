// How long the window stops answering while the largest analyses run: a stored recording of 8
// channels x 131072 scans played at "100 x" zero padding with the measurement page ("-acperf"),
// against the same block's display spectra and measurements computed on their own (the named
// baseline: the computation the window has to get done somewhere).
//
// The longest stall is the longest gap between two firings of a 2 ms timer on the window's
// thread while the blocks are played and until every result is shown: everything the event
// loop did in one piece (drawing the curves included) counts. Needs a real X server: without
// DISPLAY it starts itself again under xvfb-run. It reports; it never fails.
#include "BenchDisplay.h"
#include "DataFileReader.h"
#include "StoredFileSettings.h"
#include "blockMeasurement.h"
#include "displaySpectrum.h"
#include "fftWindow.h"
#include "fileInfo_t.h"
#include "kq7150_fc.h"
#include "kq7150fp_App.h"
#include "kq7150fp_DAQ.h"
#include "kq7150fp_Waveform.h"
#include "measurement.h"
#include "plot_voltage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr int kChannels = 8;
constexpr int kScans = 131072;
constexpr int kBlocks = 3;
constexpr double kRate = 128000.0;
constexpr int kZeroPadding = 100;

// Sines of a few hundred periods per block with a little noise, as a converter test records them.
double sample(int channel, long scan, std::mt19937 &noise) {
    std::normal_distribution<double> n(0.0, 20e-6);
    return (1.0 + 0.1 * channel) *
               std::sin(kTwoPi * (997.0 + 101.0 * channel) / kRate * scan + 0.2 * channel) +
           n(noise);
}

std::string writeRecording(const QString &dir) {
    const std::string path = (dir + "/large.bin7150").toStdString();
    std::ofstream out(path, std::ios::binary);
    out << "DEVICE=Movara 7150\nFORMAT=ViReal64\nSAMPLING_RATE_HZ=128000.000000\nNUMBER_OF_CHANNELS=8\n"
           "NUMBER_OF_SCANS_PER_BLOCK=131072\nNUMBER_OF_FUNCTION_CARDS=1\nCHANNEL_MASK_FC1=0xFF\n"
           "TIME_OFFSET=0.000000\nTIMESTAMPS=0\n#\n";
    std::mt19937 noise(7);
    std::vector<double> block(kScans);
    for (int b = 0; b < kBlocks; ++b)
        for (int k = 0; k < kChannels; ++k) {
            for (int s = 0; s < kScans; ++s)
                block[s] = sample(k, long(b) * kScans + s, noise);
            out.write(reinterpret_cast<const char *>(block.data()), sizeof(double) * kScans);
        }
    return path;
}

// The longest time between two firings of a short timer on this thread.
class StallMeter : public QObject {
public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start() {
        m_clock.start();
        m_last = 0;
        m_longest = 0;
        m_timer.start(2);
    }
    double longestMs() const { return m_longest / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_longest = 0;
};

// The first block's display spectra and measurement figures, as the window computes them.
double computationMs(const std::vector<double> &data, int windowType) {
    std::vector<const double *> blocks;
    for (int k = 0; k < kChannels; ++k)
        blocks.push_back(data.data() + long(k) * kScans);
    std::vector<double> window(kScans), time(kScans);
    fftWindow(windowType, kScans, window.data());
    for (int s = 0; s < kScans; ++s)
        time[s] = s / kRate;
    QElapsedTimer clock;
    clock.start();
    std::vector<SpectrumCurve> curves;
    displaySpectra(kScans, kRate, kZeroPadding, window.data(), blocks, curves);
    blockMeasurement::input in;
    in.N = kScans;
    in.blocks = blocks;
    in.timeAxis = time.data();
    in.rate = kRate;
    in.zeroPadding = kZeroPadding;
    const blockMeasurement figures(in);
    const double ms = clock.nsecsElapsed() / 1e6;
    if (!figures.measured() || curves.size() != kChannels)
        std::printf("[WARNING: the baseline computation did not produce every result]\n");
    return ms;
}

} // namespace

int main(int argc, char **argv) {
    ensureDisplay(argv);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    std::vector<char *> args(argv, argv + argc);
    char acperf[] = "-acperf";
    args.push_back(acperf);
    int count = int(args.size());
    args.push_back(nullptr);
    QApplication application(count, args.data());
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    QTemporaryDir dir;
    fileInfo_t info{};
    if (!dir.isValid() || DataFileReader::readHeader(writeRecording(dir.path()).c_str(), info) != 0) {
        std::printf("cannot write the recording\n");
        return 0;
    }
    kq7150_fc descriptor;
    kq7150fp_App app(descriptor, info.cards, true);
    StoredFileSettings::apply(app, info);
    QComboBox *padding = app.daq->zeroPadding;
    padding->setCurrentIndex(padding->findData(kZeroPadding));
    // The spectrum in front, every curve shown: what the user waits for is drawn too.
    app.mainTabs()->setCurrentWidget(app.spectrum);
    app.spectrum->selectAll(0);
    waitUntilExposed(&app);

    kq7150fp_Waveform *view = app.waveform;
    auto *repetitive = app.findChild<QAbstractButton *>("repetitiveButton");
    StallMeter meter;
    QElapsedTimer wall;
    wall.start();
    meter.start();
    repetitive->click();
    // The window's own event loop, as in the program, until the last results are shown.
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, &application, [&] {
        if (!repetitive->isChecked() && !view->analysing())
            application.quit();
    });
    done.start(10);
    application.exec();
    const double playedMs = wall.nsecsElapsed() / 1e6;
    const double stallMs = meter.longestMs();

    std::vector<double> first(long(kChannels) * kScans);
    std::ifstream in(info.path, std::ios::binary);
    in.seekg(long(info.payloadOffset));
    in.read(reinterpret_cast<char *>(first.data()), long(sizeof(double) * first.size()));
    const double computeMs = computationMs(first, app.daq->fftWindow->currentData().toInt());

    std::printf("%d blocks of 8 x %d scans at %d x zero padding with measurements played in %.0f ms\n",
                kBlocks, kScans, kZeroPadding, playedMs);
    std::printf("longest stall of the window's event loop: %.1f ms = %.4f of the one block's spectra and "
                "measurements computed alone (%.0f ms)%s\n",
                stallMs, stallMs / computeMs, computeMs,
                stallMs <= 100.0 ? "" : "  [above the 100 ms target]");
    return 0;
}
