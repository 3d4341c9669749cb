// Saving a configuration over an earlier one on a full disk: the save is refused with the
// system's reason, and the earlier file stays whole, with no partial file left beside it.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include <QDir>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace {

const char kEarlier[] = "[View]\nSymbols=Large\n";

std::string onDisk(const char *name) {
    return e2eWorkDir() + "/disk/" + name;
}

// The earlier configuration, then a file that takes every byte left.
void prepare() {
    std::ofstream(onDisk("setup.ini")) << kEarlier;
    const int fd = ::open(onDisk("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
}

void saveOnFullDisk(Gui &gui) {
    connectOneCard(gui);
    fileMenuItem(gui, "Save Configuration...");
    answerFileDialog(gui, "Save Configuration", onDisk("setup.ini"), true);
    const QString told = acknowledgeWarning(gui, "refused");
    E2E_CHECK(told.startsWith("Cannot save the configuration to \"" +
                              QString::fromStdString(onDisk("setup.ini")) + "\": ") &&
                  told.size() > 40 + static_cast<int>(onDisk("setup.ini").size()),
              "told: ", told.toStdString());
    const std::string text = fileText(onDisk("setup.ini"));
    E2E_CHECK(text == kEarlier, "the earlier file now holds:\n", text);
    const QStringList left = QDir(QString::fromStdString(e2eWorkDir() + "/disk")).entryList(QDir::Files);
    E2E_CHECK(left == QStringList({"filler", "setup.ini"}),
              "files on the disk: ", left.join(", ").toStdString());
    closeProgram(gui);
}

} // namespace

static Registration configurationDiskFull{
    {"disk_full_configuration", rampWorld(), prepare, saveOnFullDisk, nullptr}};
