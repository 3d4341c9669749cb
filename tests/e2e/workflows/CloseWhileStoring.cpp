// Closing the program while it stores: "Close" and "Yes" in the middle of a continuous
// acquisition to a binary file. The window stops the cards and the writer before it goes, so
// the file ends with its last whole block, holds every scan up to it, and the program ends
// normally (the runner checks status 0).
#include "Gui.h"
#include "RampFile.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <chrono>
#include <filesystem>

namespace {

const char kRampWorld[] = R"({"carriers":[{"resources":["VXI0::9::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":9,"slots":4,"cards":[{"slot":1,"signal":{"type":"ramp"}}]}]})";
const QString kDialogTitle = "Continuous Acquisition Configuration";
constexpr double kLsb = 10.24 / 8388608.0; // gain 1
constexpr double kRate = 10000.0;          // the panel's first choice

std::string path() { return e2eWorkDir() + "/closing.bin7150"; }

double storingSeconds = 0; // from the dialog's Start to "Yes"

void run(Gui &gui)
{
    answerConnection(gui, "Auto Find");
    waitMainWindow(gui);
    gui.showTab(kMainWindow, "Acquisition");
    gui.run([] { Gui::tick(Gui::window(kMainWindow), "Continuous Acquisition with Data Storage to File"); });
    gui.showTab(kMainWindow, "Waveforms");
    gui.click(kMainWindow, "repetitiveButton");
    gui.waitWindow(kDialogTitle);
    gui.run([] {
        QWidget *dialog = Gui::window(kDialogTitle);
        const QString format = dialog->findChild<QComboBox *>()->currentText();
        E2E_CHECK(format == "Binary, ViReal64", "the dialog offers ", format.toStdString());
        auto *edit = dialog->findChild<QLineEdit *>();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QString::fromStdString(path()));
    });
    gui.press(kDialogTitle, "Start");
    const auto start = std::chrono::steady_clock::now();
    gui.waitNoWindow(kDialogTitle);

    // Well into the storing: a second of blocks on disk, the writer busy with the next.
    gui.waitUntil("a second stored", [] {
        std::error_code absent;
        return std::filesystem::file_size(path(), absent) > kRate * 8 && !absent;
    });
    gui.shot("storing");
    closeProgram(gui);
    storingSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void afterExit()
{
    RampFile file;
    const std::string gap = rampFileGap(path(), kLsb, file);
    E2E_CHECK(gap.empty(), path(), ": ", gap);
    const fileInfo_t &info = file.info;
    E2E_CHECK(info.channels == 1 && info.channelMasks[0] == 0x01 && info.rate == kRate, "header: ", info.channels,
              " channels, mask ", int(info.channelMasks[0]), ", ", info.rate, " Hz");
    const auto size = std::filesystem::file_size(path());
    E2E_CHECK(size == info.payloadOffset + file.blocks * info.blockLength, size, " bytes for ", file.blocks,
              " blocks of ", info.blockLength, " after a header of ", info.payloadOffset);
    // Up to the close: the blocks acquired before "Yes" are all there.
    const double stored = static_cast<double>(file.blocks) * info.scansPerBlock / info.rate;
    E2E_CHECK(stored > storingSeconds - 1.5 && stored < storingSeconds + 0.5, stored, " s stored in ", storingSeconds,
              " s of storing");
    E2E_CHECK(kqsim_callCount("kq7150_stopMultAcquisition") >= 1, "the cards were not stopped");
}

Registration closeWhileStoring{{"close_while_storing", kRampWorld, nullptr, run, afterExit}};

} // namespace
