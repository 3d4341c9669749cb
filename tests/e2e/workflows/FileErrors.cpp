// Stored files the program cannot read: one named on the command line that does not exist,
// and one that loses its blocks while it is viewed. Either way the program says which file it
// cannot read and ends with -1 (status 255) once the box is answered.
#include "DataFileReader.h"
#include "Steps.h"
#include "StoredRecording.h"

namespace {

// The program's box with this text; null while it is not up.
QMessageBox *box(const QString &text) {
    auto *found = qobject_cast<QMessageBox *>(Gui::window(kBoxTitle));
    return found && found->text() == text ? found : nullptr;
}

void missingFile(Gui &gui) {
    const QString text =
        QString("Cannot read '%1'.").arg(QString::fromStdString(e2eWorkDir() + "/nothing-here.bin7150"));
    gui.waitUntil("the box '" + text.toStdString() + "'", [text] { return box(text) != nullptr; });
    // Nothing else: no connection question, no splash, no window behind the box. The reader's
    // reason is there for whoever looks.
    gui.run([text] {
        E2E_EQ(box(text)->detailedText(), "No such file or directory");
        for (QWidget *w : QApplication::topLevelWidgets())
            E2E_CHECK(!w->isVisible() || w == box(text), w->windowTitle());
    });
    gui.shot("box");
    gui.press(kBoxTitle, "OK");
}

std::string recording() {
    return e2eWorkDir() + "/recording.bin7150";
}

// Two blocks of one channel, 256 scans at 1 kHz.
void writeTwoBlocks() {
    const std::string why = StoredRecording().withBlocks(2).withScans(256).write(recording());
    E2E_CHECK(why.empty(), why);
}

void truncatedFile(Gui &gui) {
    waitMainWindow(gui);
    fileInfo_t info{};
    E2E_CHECK(DataFileReader::readHeader(recording().c_str(), info) == 0 && info.blockCount == 2);
    // The blocks go (another program rewrote the file); the header stays.
    std::filesystem::resize_file(recording(), info.payloadOffset);
    // The key opens the box inside the slider's handler: queued, not waited for.
    gui.post([] {
        QWidget *waveforms = mainTab("Waveforms");
        QTest::keyClick(waveforms->findChild<QSlider *>(), Qt::Key_Right);
    });
    const QString text = QString("Cannot read: \"%1\".").arg(QString::fromStdString(recording()));
    gui.waitUntil("the box '" + text.toStdString() + "'", [text] { return box(text) != nullptr; });
    gui.shot("box");
    gui.press(kBoxTitle, "OK");
}

Registration missing{{"missing_file", "", nullptr, missingFile, nullptr}};
Registration truncated{{"truncated_file", "", writeTwoBlocks, truncatedFile, nullptr}};

} // namespace
