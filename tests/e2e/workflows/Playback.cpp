// Viewing a stored recording: the program named with a .bin7150 file (or a FLAC recording's
// .flac7150 description) opens it without asking how to connect, shows its first block, and a
// person steps through the blocks with the block slider (a click beside the handle, the arrow
// keys) and plays them all with the repetitive button. Every block has content of its own, so
// the curves show which block is drawn.
#include "Steps.h"
#include "StoredRecording.h"

namespace {

constexpr int kBlocks = 4;
constexpr int kScans = 512;
constexpr double kRate = 1000.0;
constexpr uint8_t kMask = 0x05; // channels 1 and 3

// Set before the program starts: the recording is FLAC (counts), else doubles.
std::atomic<bool> flac{false};

// Not UTF-8: the program must open the bytes it was given (and find the FLAC streams by them).
const char kName[] = "/r\xe9"
                     "cording.";

// Channel 1 of block b: b + 1 periods of a sine of b + 1 volts; channel 3: a slope from
// -1 - b volts upwards, steeper from block to block. A FLAC recording holds the nearest counts
// of kRampLsb volts, read back as count x kRampLsb.
StoredRecording recording() {
    return StoredRecording()
        .withFormat(flac ? StorageFormat::kFlacCounts : StorageFormat::kBinary64)
        .withRate(kRate)
        .withScans(kScans)
        .withBlocks(kBlocks)
        .withMasks({kMask})
        .withLsb({kRampLsb, kRampLsb})
        .withSignal([](int k, int64_t n) {
            const int b = int(n / kScans), s = int(n % kScans);
            return k == 0 ? (b + 1) * std::sin(2 * M_PI * (b + 1) * s / kScans)
                          : -1.0 - b + 0.5 * (b + 1) * s / kScans;
        });
}

double sample(int block, int channel, int scan) {
    static const StoredRecording stored = recording();
    return stored.volts(channel, int64_t(block) * kScans + scan);
}

void writeRecording(bool inFlac) {
    flac = inFlac;
    E2E_EQ(recording().write(e2eWorkDir() + kName + (flac ? "flac7150" : "bin7150")), "");
}

QSlider *slider() {
    return mainTab("Waveforms")->findChild<QSlider *>();
}

// The block (from 0) the voltage curves draw, with its time axis; -1 when they draw anything else.
int drawnBlock() {
    const std::vector<Curve> curves = curvesOn("Waveforms");
    if (curves.size() != 8 || !curves[1].y.empty())
        return -1; // channel 2 is not in the file
    const Curve &first = curves[0], &third = curves[2];
    if (first.y.size() != kScans || third.y.size() != kScans)
        return -1;
    for (int b = 0; b < kBlocks; ++b) {
        bool same = true;
        for (int s = 0; s < kScans && same; ++s)
            same = first.y[s] == sample(b, 0, s) && third.y[s] == sample(b, 1, s) &&
                   std::abs(first.x[s] - (b * kScans + s) / kRate) < 1e-9;
        if (same)
            return b;
    }
    return -1;
}

// Block b (from 0) is drawn and the slider and its label stand at it.
void expectBlock(Gui &gui, int b) {
    const QString label = QString("%1 / %2").arg(b + 1).arg(kBlocks);
    gui.waitUntil("block " + std::to_string(b + 1) + " drawn", [=] {
        const QLabel *position = nullptr;
        for (QLabel *l : mainTab("Waveforms")->findChildren<QLabel *>())
            if (l->isVisible() && l->text().contains(" / "))
                position = l;
        return drawnBlock() == b && slider()->value() == b + 1 && position &&
               position->text().contains(label);
    });
}

void run(Gui &gui) {
    waitMainWindow(gui);
    E2E_EQ(kqsim_callCount("kq7150_multInit"), 0);
    E2E_CHECK(gui.run(
        [] { return slider()->isVisible() && slider()->minimum() == 1 && slider()->maximum() == kBlocks; }));
    expectBlock(gui, 0);

    // A click right of the handle: the next block.
    gui.run([] {
        QTest::mouseClick(slider(), Qt::LeftButton, {},
                          QPoint(slider()->width() - 3, slider()->height() / 2));
    });
    expectBlock(gui, 1);
    gui.shot("block2");
    for (const auto &[key, block] : {std::pair{Qt::Key_Right, 2}, {Qt::Key_End, 3}, {Qt::Key_Home, 0}}) {
        gui.run([key = key] { QTest::keyClick(slider(), key); });
        expectBlock(gui, block);
    }

    // Played through: the view draws every block in turn and stops at the last. The blocks come
    // from the view's refresh timer; a listener after the view's own records each one drawn.
    auto drawn = std::make_shared<std::vector<int>>();
    afterEachRefresh(gui, [drawn] { drawn->push_back(drawnBlock()); });
    gui.click(kMainWindow, "repetitiveButton");
    waitPlayedToEnd(gui);
    expectBlock(gui, kBlocks - 1);
    E2E_CHECK(gui.run([drawn] { return *drawn; }) == (std::vector<int>{0, 1, 2, 3}));
    closeProgram(gui);
}

Registration playback{{"playback_blocks", "", [] { writeRecording(false); }, run, nullptr}};
Registration playbackFlac{{"playback_blocks_flac", "", [] { writeRecording(true); }, run, nullptr}};

} // namespace
