// Closing the program while it stores. "Close" and "No" change nothing: the acquisition and the
// recording go on and the file grows. "Close" and "Yes" stop the cards and the writer before the
// program goes, so the file ends with its last whole block, holds every scan up to it, and the
// program ends normally (the runner checks status 0).
#include "Steps.h"

namespace {

constexpr double kRate = 10000.0;

const char kFile[] = "closing.bin7150";

double storingSeconds = 0; // from the dialog's Start to "Yes"

uintmax_t fileSize() {
    std::error_code absent;
    const uintmax_t size = std::filesystem::file_size(e2eWorkDir(kFile), absent);
    return absent ? 0 : size;
}

void run(Gui &gui) {
    startStoring(gui, e2eWorkDir(kFile), "10 kHz", "1024", "Binary, ViReal64");
    const auto start = std::chrono::steady_clock::now();
    // Well into the storing: a second of blocks on disk, the writer busy with the next.
    gui.waitUntil("a second stored", [] { return fileSize() > kRate * 2 * 8; });

    askToClose(gui);
    gui.shot("question");
    gui.press(kBoxTitle, "No");
    gui.waitWindow(kBoxTitle, false);
    const uintmax_t afterNo = fileSize();
    gui.waitUntil("the file to grow after No", [afterNo] { return fileSize() > afterNo + kRate * 2 * 8; });
    E2E_CHECK(gui.run(repetitiveDown), "the repetitive button was released");
    E2E_EQ(kqsim_callCount("kq7150_stopMultAcquisition"), 0);

    closeProgram(gui);
    storingSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void afterExit() {
    fileInfo_t info{};
    const uint64_t blocks = storedRampBlocks(e2eWorkDir(kFile), &info);
    E2E_CHECK(info.channels == 2 && info.channelMasks[0] == 0x03 && info.rate == kRate);
    // Up to the close: the blocks acquired before "Yes" are all there.
    const double stored = double(blocks) * info.scansPerBlock / info.rate;
    E2E_CHECK(stored > storingSeconds - 1.5 && stored < storingSeconds + 0.5, stored);
    E2E_CHECK(kqsim_callCount("kq7150_stopMultAcquisition") >= 1, "the cards were not stopped");
}

Registration closeWhileStoring{{"close_no_then_yes_while_storing", rampWorld(), nullptr, run, afterExit}};

} // namespace
