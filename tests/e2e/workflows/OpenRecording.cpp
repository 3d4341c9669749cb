// Demo mode: no cards, the demo signals of two function cards in the waveform view.
// Opening recordings from inside the program: from demo mode through "Open Recording..." and
// the file dialog, a refused file that leaves the window as it was, another recording, and the
// first again from "Open Recent". The opened recording is played at real time, paused, and
// played on at twice the speed; the times between the blocks drawn prove the pace.
#include "Steps.h"
#include "StoredRecording.h"

namespace {

constexpr int kRealTimeMs = 400; // blocks of 400 scans at 1 kHz

// Blocks of 0.01 V times the block's number on channel 1, at 1 kHz.
void writeRecording(const char *name, int blocks, int scans) {
    E2E_EQ(StoredRecording()
               .withBlocks(blocks)
               .withScans(scans)
               .withSignal([scans](int, int64_t n) { return 0.01 * double(n / scans); })
               .write(e2eWorkDir(name)),
           "");
}

void prepare() {
    writeRecording("first.bin7150", 6, kRealTimeMs);
    writeRecording("second.bin7150", 3, 100);
    std::ofstream(e2eWorkDir("comma.bin7150")) << "SAMPLING_RATE_HZ=10000,5\n#\n";
}

// Chooses the file in the program's own file dialog, as a person types its name.
void openFromMenu(Gui &gui, const std::string &path) {
    gui.post([] { Gui::child<QAction>(Gui::window(kMainWindow), "openRecordingAction")->trigger(); });
    answerFileDialog(gui, "Open Recording", path);
}

void run(Gui &gui) {
    answerConnection(gui, "Run In Demo Mode");
    waitMainWindow(gui);
    kqsim_clearCallLog();
    // Nothing is drawn before the first start: 2 cards x 8 channels of empty curves.
    E2E_CHECK(gui.run([] { return curvesOn("Waveforms").size() == 16 && drawnCurves("Waveforms").empty(); }));
    // Channel 1 of each card is enabled by default; the block replaces both curves at once.
    singleShot(gui, "the demo block",
               [] { return !curvesOn("Waveforms")[0].y.empty() && !curvesOn("Waveforms")[8].y.empty(); });
    const std::vector<Curve> curves = gui.run([] { return curvesOn("Waveforms"); });
    // 256 scans each (the demo signals themselves: the waveform view's unit tests).
    for (int i = 0; i < 16; ++i)
        E2E_EQ(curves[i].y.size(), i % 8 ? 0u : 256u);
    E2E_CHECK(gui.run(statusLineText).startsWith("Idle"), gui.run(statusLineText));
    // Demo mode never reaches for cards.
    for (const char *call :
         {"kq7150_multConfig", "kq7150_startMultAcquisition", "kq7150_readMultAcquisition"})
        E2E_EQ(kqsim_callCount(call), 0);
    gui.shot("waveforms");

    openFromMenu(gui, e2eWorkDir("first.bin7150"));
    waitViewing(gui, "first.bin7150", 6);
    // Played at real time, paused, played on at twice the speed.
    auto times = std::make_shared<std::vector<qint64>>();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    afterEachRefresh(gui, [times, clock] { times->push_back(clock->elapsed()); });
    gui.run([] {
        auto *speed = Gui::child<QComboBox>(mainTab("Waveforms"), "playbackSpeed");
        E2E_CHECK(speed && speed->isVisible() && speed->currentText() == "As fast as possible");
        speed->setCurrentText("Real time");
    });
    gui.click(kMainWindow, "repetitiveButton");
    gui.waitUntil("three blocks played", [times] { return times->size() >= 3; });
    const size_t paused = gui.run([times] {
        Gui::child<QAbstractButton>(mainTab("Waveforms"), "pauseButton")->click();
        return times->size();
    });
    gui.shot("paused");
    Gui::pause(milliseconds(3 * kRealTimeMs));
    gui.run([times, paused] {
        E2E_EQ(times->size(), paused);
        Gui::child<QComboBox>(mainTab("Waveforms"), "playbackSpeed")->setCurrentText("2x");
        Gui::child<QAbstractButton>(mainTab("Waveforms"), "pauseButton")->click();
    });
    waitPlayedToEnd(gui);
    const std::vector<qint64> t = gui.run([times] { return *times; });
    E2E_EQ(t.size(), 6u);
    // Within 20 %: two intervals at real time, two at twice the speed after the first block
    // that followed the pause.
    for (size_t i : {1u, 2u, 4u, 5u}) {
        const double expected = i < paused ? kRealTimeMs : kRealTimeMs / 2.0;
        const double took = double(t[i] - t[i - 1]);
        E2E_CHECK(took > 0.8 * expected && took < 1.2 * expected, "block ", i + 1, ": ", took, " ms");
    }

    // Refused: the reason is given and the recording stays in view.
    openFromMenu(gui, e2eWorkDir("comma.bin7150"));
    gui.waitUntil("the refusal", [] {
        auto *box = qobject_cast<QMessageBox *>(Gui::window(kBoxTitle));
        return box && box->text().startsWith("Cannot read '") &&
               box->detailedText().startsWith("SAMPLING_RATE_HZ=10000,5: the rate must be");
    });
    gui.press(kBoxTitle, "OK");
    waitViewing(gui, "first.bin7150", 6);

    openFromMenu(gui, e2eWorkDir("second.bin7150"));
    waitViewing(gui, "second.bin7150", 3);
    // The recent list: newest first.
    gui.run([] {
        QMenu *recent = Gui::child<QMenu>(Gui::window(kMainWindow), "recentRecordingsMenu");
        emit recent->aboutToShow();
        const QList<QAction *> entries = recent->actions();
        E2E_CHECK(entries.size() == 2 && entries[0]->text().endsWith("/second.bin7150") &&
                  entries[1]->text().endsWith("/first.bin7150"));
    });
    gui.post(
        [] { Gui::child<QMenu>(Gui::window(kMainWindow), "recentRecordingsMenu")->actions()[1]->trigger(); });
    waitViewing(gui, "first.bin7150", 6);
    closeProgram(gui);
}

Registration openRecording{{"open_recording", "", prepare, run, nullptr}};

} // namespace
