// Stored files the program cannot read: one named on the command line that does not exist,
// and one that loses its blocks while it is viewed. Either way the program says which file it
// cannot read and ends with -1 (status 255) once the box is answered.
#include "DataFileReader.h"
#include "Steps.h"
#include "StoredRecording.h"

namespace {

void missingFile(Gui &gui) {
    E2E_EQ(messageText(gui, kBoxTitle),
           QString("Cannot read '%1'.").arg(QString::fromStdString(e2eWorkDir("nothing-here.bin7150"))));
    // Nothing else: no connection question, no splash, no window behind the box. The reader's
    // reason is there for whoever looks.
    gui.run([] {
        auto *box = qobject_cast<QMessageBox *>(Gui::window(kBoxTitle));
        E2E_EQ(box->detailedText(), "No such file or directory");
        for (QWidget *w : QApplication::topLevelWidgets())
            E2E_CHECK(!w->isVisible() || w == box, w->windowTitle());
    });
    gui.shot("box");
    gui.press(kBoxTitle, "OK");
}

// Two blocks of one channel, 256 scans at 1 kHz.
void writeTwoBlocks() {
    E2E_EQ(StoredRecording().withBlocks(2).withScans(256).write(e2eWorkDir("recording.bin7150")), "");
}

void truncatedFile(Gui &gui) {
    waitMainWindow(gui);
    fileInfo_t info{};
    E2E_CHECK(DataFileReader::readHeader(e2eWorkDir("recording.bin7150").c_str(), info) == 0 &&
              info.blockCount == 2);
    // The blocks go (another program rewrote the file); the header stays.
    std::filesystem::resize_file(e2eWorkDir("recording.bin7150"), info.payloadOffset);
    // The key opens the box inside the slider's handler: queued, not waited for.
    gui.post([] {
        QWidget *waveforms = mainTab("Waveforms");
        QTest::keyClick(waveforms->findChild<QSlider *>(), Qt::Key_Right);
    });
    E2E_EQ(messageText(gui, kBoxTitle),
           QString("Cannot read: \"%1\".").arg(QString::fromStdString(e2eWorkDir("recording.bin7150"))));
    gui.shot("box");
    gui.press(kBoxTitle, "OK");
}

Registration missing{{"missing_file", "", nullptr, missingFile, nullptr}};
Registration truncated{{"truncated_file", "", writeTwoBlocks, truncatedFile, nullptr}};

} // namespace
