// Entry point of the 7150 front panel: an optional stored file to view offline, then the
// window, then the event loop.
#include "ConfigurationMenu.h"
#include "RecordingOpener.h"
#include "StoredFileSettings.h"
#include "TestDriverHook.h"
#include "fileInfo_t.h"
#include "kq7000fp_splashLabel.h"
#include "kq7150_fc.h"
#include "kq7150fp_App.h"

#include <QApplication>
#include <QSplashScreen>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

// The one description of the file named on the command line; the acquisition engine
// reads the offline blocks through it.
fileInfo_t fileInfo;

namespace {

const char kAcPerfOption[] = "-acperf";

// Reads the header of the file named by the first argument, when there is one.
// Returns false when a file was named but cannot be used. The name is opened as the bytes the
// system gave: a name that is not valid in the locale's encoding would not survive a QString.
bool readCommandLineFile(int argc, char *argv[], bool &headerRead) {
    headerRead = false;
    if (argc < 2 || std::strcmp(argv[1], kAcPerfOption) == 0)
        return true;
    if (!RecordingOpener::read(argv[1], fileInfo, QApplication::activeWindow()))
        return false;
    if (fileInfo.blockCount > 0)
        RecordingOpener::remember(argv[1]);
    headerRead = true;
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    // A recording into a pipe whose reader went away fails its write and is reported as a
    // failed write; the signal would end the program and lose the recording's last blocks.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    // On a scaled screen (QT_SCALE_FACTOR) icons asked for at their logical size come at the
    // screen's pixel ratio, drawn for it, rather than at 1x and blown up. At a ratio of 1 there
    // is nothing to gain, and the file dialogs' icons are left as they always were.
    if (app.devicePixelRatio() > 1.0)
        QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QCoreApplication::setOrganizationName("Travix Ltd.");
    QCoreApplication::setApplicationName("Movara 7150 Soft Front Panel");

    if (std::string error; !TestDriverHook::start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }

    kq7150_fc descriptor;
    fileInfo.cards = 2; // also the number of cards shown in demo mode

    bool headerRead = false;
    // QApplication has taken its own options out of argv by now.
    if (!readCommandLineFile(argc, argv, headerRead))
        return -1;

    // The splash stays up while the window connects to the cards; without its background
    // there is nothing worth showing.
    std::unique_ptr<QSplashScreen> splash;
    {
        // The splash's text area is narrow: the card's long name is shortened once.
        const QString longName = " Function Card";
        QString description = QString::fromStdString(descriptor.description());
        const int at = description.indexOf(longName);
        if (at >= 0)
            description.replace(at, longName.size(), " FC");
        const kq7000fp_splashLabel image(1.0f, 20, descriptor.modelCode, true,
                                         QString::fromStdString(descriptor.notice()), description);
        if (!image.isNull()) {
            splash = std::make_unique<QSplashScreen>(image);
            // Untitled, it would carry the application's name, which is the main window's
            // title: anything that looks for the window by title would find the splash.
            splash->setWindowTitle("Movara 7150 SFP: Starting");
            splash->show();
            app.processEvents();
        }
    }

    // Offline viewing needs at least one whole block; a shorter payload is no payload.
    bool offline = headerRead && fileInfo.blockCount > 0;
    for (;;) {
        auto window = std::make_unique<kq7150fp_App>(descriptor, fileInfo.cards, offline);
        // A recording opened from the menu replaces the window as if it had been named at
        // start: the event loop ends, the window and its cards go, a new one views the file.
        bool replaced = false;
        fileInfo_t next{};
        QObject::connect(
            window->recordings(), &RecordingOpener::chosen, window.get(),
            [&](const QByteArray &, const fileInfo_t &info) {
                if (!window->endSession("Opening a recording ends the running acquisition. Go on?"))
                    return;
                next = info;
                replaced = true;
                // Told to end with no loop running, Qt would end the next modal
                // box instead; a choice made before exec() is seen below.
                if (QThread::currentThread()->loopLevel() > 0)
                    QCoreApplication::exit(0);
            });
        kq7000fp_app::centerOnScreen(window.get());
        window->show();
        // Showing the first block runs events; inside the event loop, whatever they bring
        // (a close, another recording) can end it.
        if (offline)
            QTimer::singleShot(0, window.get(), [&window] { StoredFileSettings::apply(*window, fileInfo); });
        // The splash waits for the first window to be drawn, running events meanwhile.
        if (splash) {
            splash->finish(window.get());
            splash.reset();
        }
        window->configurations()->restoreAtStart();
        if (!replaced)
            app.exec();
        if (!replaced)
            break;
        window.reset();
        fileInfo = next;
        offline = true;
    }
    return 0;
}
