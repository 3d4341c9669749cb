// Storing that meets a fault, as a person sees it: the card memory overflows behind a stalled
// driver callback, or the disk fills (and then a configuration cannot be saved either). The file then ends
// with the last whole block stored before the fault and holds every scan up to there; the window says what
// happened and how much the file holds.
#include "Steps.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

// "305 blocks (1.446 s) are stored in "…", without a gap." in the message: the blocks.
uint64_t storedBlocks(const QString &message, const std::string &path) {
    const QRegularExpression said(
        QString("\n(\\d+) blocks? \\(([0-9.,]+) s\\) (is|are) stored in \"%1\", without a gap\\.")
            .arg(QRegularExpression::escape(QString::fromStdString(path))));
    E2E_CHECK(said.match(message).hasMatch(), message);
    return said.match(message).captured(1).toULongLong();
}

// 2 channels at 50 kHz in 1024-scan blocks; card memory for 0.33 s of them, and a driver whose
// callback stalls for 2 s after block 20.
const std::string kStallWorld =
    rampWorld(R"("fifoSamples": 32768, "callbackStall": {"afterBlocks": 20, "milliseconds": 2000},)");

void overflow(Gui &gui) {
    const std::string path = e2eWorkDir("overflow.bin7150");
    startStoring(gui, path, "50 kHz", "1024", "Binary, ViReal64");
    const auto start = std::chrono::steady_clock::now();
    const QString message = messageText(gui, kErrorBoxTitle);
    const double told = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    gui.shot("told");
    // The loss shows once the callback runs again after the stall (block 20 at 0.41 s, 2 s):
    // within a refresh interval of 50 ms then, and some slack for a loaded machine.
    E2E_CHECK(told < 0.41 + 2.0 + 1.0, told);
    E2E_CHECK(
        message.startsWith("Acquisition error 0x0800: the card memory overflowed, the data could not be "
                           "read fast enough.\n"),
        message);
    const uint64_t blocks = storedBlocks(message, path);
    gui.press(kErrorBoxTitle, "No");
    gui.waitUntil("the acquisition to end", [] { return !repetitiveDown(); });

    E2E_CHECK(blocks >= 20, blocks);
    E2E_EQ(storedRampBlocks(path), blocks);
    checkStorageSummary(gui, path, blocks, 1024 / 50000.0, "ended by an error: card memory overflow");
    closeProgram(gui);
}

std::string onDisk(const char *name) {
    return e2eWorkDir(std::string("disk/") + name);
}

// The disk of the run's folder "disk" holds 256 kB (the runner mounts it): storing fills it in
// about a second. The window says so at once while the cards go on; the stop boxes it.
void fillTheDisk(Gui &gui, const char *name, const QString &format) {
    const std::string path = onDisk(name);
    startStoring(gui, path, "10 kHz", "1024", format);
    gui.waitUntil("the status line to say storing ended",
                  [] { return statusLineText().contains("Storing ended: Disk write failed!"); });
    E2E_CHECK(gui.run(repetitiveDown), "the acquisition stopped with the storing");
    const double shown = gui.run(shownFileSize);
    gui.shot("full");
    gui.click(kMainWindow, "repetitiveButton");
    const QString message = messageText(gui, kErrorBoxTitle);
    E2E_CHECK(message.startsWith("Disk write failed!\n"), message);
    const uint64_t blocks = storedBlocks(message, path);
    gui.press(kErrorBoxTitle, "No");
    checkStorageSummary(gui, path, blocks, 1024 / 10000.0, "ended by an error: the disk is full");
    const auto size = std::filesystem::file_size(path);
    // As the line rounds it: to a tenth of a kB.
    E2E_CHECK(std::abs(shown - static_cast<double>(size)) <= 103, shown, " B shown of ", size);
    E2E_EQ(storedRampBlocks(path), blocks);
}

const char kEarlier[] = "[View]\nSymbols=Large\n";

Registration overflowWorkflow{{"continuous_overflow", kStallWorld, nullptr, overflow, nullptr}};

void binaryThenConfiguration(Gui &gui) {
    fillTheDisk(gui, "full.bin7150", "Binary, ViReal64");
    // Saving a configuration over an earlier one on the full disk: the save is refused with the
    // system's reason, and the earlier file stays whole, with no partial file left beside it. The
    // writer cut the recording back to whole blocks: a file takes every byte left first.
    const int fd = ::open(onDisk("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0 || ::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
    fileMenuItem(gui, "Save Configuration...");
    answerFileDialog(gui, "Save Configuration", onDisk("setup.ini"), true);
    const QString told = acknowledgeWarning(gui, "refused");
    const QString start =
        QString("Cannot save the configuration to \"%1\": ").arg(onDisk("setup.ini").c_str());
    E2E_CHECK(told.startsWith(start) && told.size() > start.size() + 3, told);
    E2E_EQ(fileText(onDisk("setup.ini")), kEarlier);
    E2E_EQ(QDir(QString::fromStdString(e2eWorkDir("disk"))).entryList(QDir::Files),
           QStringList({"filler", "full.bin7150", "setup.ini"}));
    closeProgram(gui);
}

Registration binaryFull{{"disk_full_binary_configuration", rampWorld(),
                         [] { std::ofstream(onDisk("setup.ini")) << kEarlier; }, binaryThenConfiguration,
                         nullptr}};
void csvOnly(Gui &gui) {
    fillTheDisk(gui, "full.csv", "Text, CSV (V)");
    closeProgram(gui);
}
Registration csvFull{{"disk_full_csv", rampWorld(), nullptr, csvOnly, nullptr}};

} // namespace
