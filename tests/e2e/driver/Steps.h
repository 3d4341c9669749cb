// Steps many workflows share: the connection question and the card tree, the main window with
// its channel pages and plots, closing the program, and what the simulated driver was asked.
#pragma once

#include "Gui.h"

#include "FlacRecordingFiles.h"
#include "RampFile.h"
#include "fileInfo_t.h"
#include "kqsim_control.h"

// Qwt comes with the program; the plots are read through it.
#include <qwt/qwt_plot.h>
#include <qwt/qwt_plot_canvas.h>
#include <qwt/qwt_plot_curve.h>
#include <qwt/qwt_plot_marker.h>
#include <qwt/qwt_plot_zoomer.h>
#include <qwt/qwt_scale_widget.h>

#include <cstdint>
#include <map>

inline const QString kMainTitle = "Movara 7150 Soft Front Panel";
// The main window as found at any time: its title gets ": <host>" on an LXI box, and ": " (a
// VXI carrier has no host) once another card page has been shown.
inline const QString kMainWindow = kMainTitle + "(: .*)?";
inline const QString kSelectTitle = "Movara 7150 SFP: Select Function Card";
inline const QString kBoxTitle = "Movara 7150 SFP"; // the program's message boxes
inline const QString kWarningTitle = "Movara 7150 SFP Warning message";
inline const QString kErrorBoxTitle = "Movara 7150 SFP Error message"; // the frame's error box

// The page behind the main window's tab with this text.
inline QWidget *mainTab(const QString &tab) {
    return Gui::tabPage(Gui::window(kMainWindow), tab);
}

// Answers the connection question with one of its buttons ("Auto Find", "Run In Demo Mode",
// "Enter Address").
inline void answerConnection(Gui &gui, const QString &choice) {
    gui.waitWindow(kSelectTitle);
    gui.press(kSelectTitle, choice);
}
// The tree of the card question (on the program's thread); null while it is not up.
inline QTreeWidget *cardTree() {
    QWidget *dialog = Gui::window(kSelectTitle);
    return dialog ? dialog->findChild<QTreeWidget *>() : nullptr;
}
// "Auto Find" in a world of several cards: waits for the tree that asks which to take.
inline void openCardTree(Gui &gui) {
    answerConnection(gui, "Auto Find");
    gui.waitUntil("the card tree", [] {
        QTreeWidget *tree = cardTree();
        return tree && tree->isVisible() && tree->topLevelItemCount() > 0;
    });
}
// Waits for the main window and for the splash to be gone.
inline void waitMainWindow(Gui &gui) {
    gui.waitWindow(kMainWindow, true, seconds(30));
    gui.waitWindow("Movara 7150 SFP: Starting", false);
}
// "Auto Find", every card the tree offers taken with Ctrl+A (expecting `cards` of them), "OK",
// and the main window.
inline void takeEveryCard(Gui &gui, int cards) {
    openCardTree(gui);
    const int taken = gui.run([] {
        QTreeWidget *tree = cardTree();
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_A, Qt::ControlModifier);
        return tree->selectedItems().size();
    });
    E2E_EQ(taken, cards);
    gui.press(kSelectTitle, "OK");
    waitMainWindow(gui);
}
// "Auto Find" in a world of one card, which opens without a choice, and the main window.
inline void connectOneCard(Gui &gui) {
    answerConnection(gui, "Auto Find");
    waitMainWindow(gui);
}
// A shortcut, sent to the main window once it has the keyboard; returns at once, since it may
// open a modal dialog.
inline void pressShortcut(Gui &gui, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    gui.run([] { Gui::window(kMainWindow)->activateWindow(); });
    gui.waitUntil("the window to have the keyboard",
                  [] { return QApplication::activeWindow() == Gui::window(kMainWindow); });
    gui.post([=] { QTest::keyClick(Gui::window(kMainWindow), key, modifiers); });
}
// The text of the message box with this title once one is up.
inline QString messageText(Gui &gui, const QString &title) {
    gui.waitUntil(describe("a message titled ", title),
                  [=] { return qobject_cast<QMessageBox *>(Gui::window(title)) != nullptr; });
    return gui.run([=] { return qobject_cast<QMessageBox *>(Gui::window(title))->text(); });
}
// "Close", and the question "Do you really want to exit?" up.
inline void askToClose(Gui &gui) {
    gui.press(kMainWindow, "Close");
    E2E_EQ(messageText(gui, kBoxTitle), "Do you really want to exit?");
}
// "Close", then "Yes" to "Do you really want to exit?".
inline void closeProgram(Gui &gui) {
    askToClose(gui);
    gui.press(kBoxTitle, "Yes");
}

// The pages of the "Function Cards" tab, found afresh at each look. Cards and channels count
// from 1, as the tabs name them.
inline QTabWidget *channelTabs(int card) {
    auto *cards = Gui::child<QTabWidget>(Gui::window(kMainWindow), "fcTab");
    return cards && card <= cards->count() ? cards->widget(card - 1)->findChild<QTabWidget *>() : nullptr;
}
inline QWidget *channelPage(int card, int channel) {
    QTabWidget *channels = channelTabs(card);
    return channels ? channels->widget(channel - 1) : nullptr;
}
// Shows that page by clicking its tabs.
inline void showChannel(Gui &gui, int card, int channel) {
    gui.showTab(kMainWindow, "Function Cards");
    gui.showTab(kMainWindow, QString("Function Card #%1").arg(card));
    // Every card's page has tabs of the same names: the card's own bar is clicked.
    gui.run([=] {
        QTabBar *bar = channelTabs(card)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(channel - 1).center());
    });
    gui.waitUntil(describe("channel ", channel, " of card ", card, " shown"),
                  [=] { return channelTabs(card)->currentIndex() == channel - 1; });
}

// Clicks the enabled item with this text in the open popup menu; returns at once, since the
// item may open a modal dialog.
inline void clickMenuItem(Gui &gui, const QString &item) {
    gui.post([=] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        for (QAction *action : menu->actions())
            if (action->text().remove('&') == item) {
                E2E_CHECK(action->isEnabled(), item);
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        throw E2eFailure(describe("no '", item, "' in the menu"));
    });
}
// Opens the main window's "File" menu with a click on the menu bar and clicks one of its items
// ("Save Configuration..."); returns at once, since the item may open a modal dialog.
inline void fileMenuItem(Gui &gui, const QString &item) {
    const auto openMenu = [] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); };
    gui.clickUntil(
        "the File menu",
        [] {
            auto *bar = Gui::child<QMenuBar>(Gui::window(kMainWindow), "menuBar");
            for (QAction *menu : bar->actions())
                if (menu->text().remove('&') == "File")
                    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu).center());
        },
        [=] { return openMenu() && openMenu()->isVisible(); });
    gui.shot("file-menu");
    clickMenuItem(gui, item);
}
// Opens the context menu of the widget (found on the program's thread) as a right click does,
// and returns the texts of its items.
inline QStringList openContextMenu(Gui &gui, std::function<QWidget *()> target) {
    gui.run([=] {
        QWidget *widget = target();
        const QPoint at = widget->rect().center();
        // What the window system sends for a right click.
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &request);
    });
    gui.waitUntil("the context menu",
                  [] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); });
    return gui.run([] {
        QStringList texts;
        for (QAction *action : qobject_cast<QMenu *>(QApplication::activePopupWidget())->actions())
            if (!action->isSeparator())
                texts << action->text();
        return texts;
    });
}
// Answers the file dialog with this title as a person would: types the path, then Return, and
// "Yes" when the dialog asks whether to replace a file of that name (replace).
inline void answerFileDialog(Gui &gui, const QString &title, const std::string &path, bool replace = false) {
    gui.waitWindow(title);
    gui.post([=] {
        auto *name = Gui::window(title)->findChild<QLineEdit *>("fileNameEdit");
        E2E_CHECK(name, title);
        // Set, not typed: typed, the dialog's completer may take the Return for its own list
        // and leave the name at what it completed.
        name->setFocus();
        name->setText(QString::fromStdString(path));
        QTest::keyClick(name, Qt::Key_Return);
    });
    if (replace) {
        const auto question = [] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); };
        gui.waitUntil("the question whether to replace",
                      [=] { return question() && question()->text().contains("already exists"); });
        gui.post([=] { Gui::clickWidget(question()->button(QMessageBox::Yes)); });
    }
    gui.waitWindow(title, false);
}
// The text of the program's warning box once one is up, shot as the step `shot`, then "OK".
inline QString acknowledgeWarning(Gui &gui, const std::string &shot) {
    const QString text = messageText(gui, kWarningTitle);
    gui.shot(shot);
    gui.press(kWarningTitle, "OK");
    gui.waitWindow(kWarningTitle, false);
    return text;
}
// Types into the field as a person replaces its text: all selected, the text, Return (enter).
inline void typeInto(QWidget *field, const QString &text, bool enter = true) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    if (enter)
        QTest::keyClick(field, Qt::Key_Return);
}
// The whole text of a file; empty when there is none.
inline std::string fileText(const std::string &path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Single shot and repetitive both usable and up: no acquisition runs.
inline bool startButtonsReleased() {
    for (const char *name : {"singleShotButton", "repetitiveButton"}) {
        auto *b = Gui::child<QAbstractButton>(Gui::window(kMainWindow), name);
        if (!b || !b->isEnabled() || b->isChecked())
            return false;
    }
    return true;
}
// The single-shot button, then waits until what the block brings (what) has come and both
// start buttons are up again.
inline void singleShot(Gui &gui, const std::string &what, std::function<bool()> arrived) {
    gui.click(kMainWindow, "singleShotButton");
    gui.waitUntil(what, [=] { return arrived() && startButtonsReleased(); });
}
// The repetitive button is down: an acquisition or a playback runs.
inline bool repetitiveDown() {
    return Gui::child<QAbstractButton>(Gui::window(kMainWindow), "repetitiveButton")->isChecked();
}
// Nothing reads or stops the cards any more once they were stopped, watched for a while.
inline void expectNoReadsAfterStop() {
    const int reads = kqsim_callCount("kq7150_readMultAcquisition");
    const int stops = kqsim_callCount("kq7150_stopMultAcquisition");
    // What should not come has no event to wait for: a while longer than the poll interval.
    Gui::pause(milliseconds(400));
    E2E_EQ(kqsim_callCount("kq7150_readMultAcquisition"), reads);
    E2E_EQ(kqsim_callCount("kq7150_stopMultAcquisition"), stops);
}
// Waits until a playback has reached the end of its recording.
inline void waitPlayedToEnd(Gui &gui) {
    gui.waitUntil(
        "the end of the recording", [] { return !repetitiveDown(); }, seconds(60));
}
// Runs f on the program's thread after each refresh of the waveform view, which is when a
// recording's next block is drawn.
inline void afterEachRefresh(Gui &gui, std::function<void()> f) {
    gui.run([f] {
        QWidget *view = mainTab("Waveforms");
        // Connected after the view's own handler, so it runs after the view drew.
        QObject::connect(view->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly), &QTimer::timeout,
                         view, f);
    });
}

struct Curve {
    std::vector<double> x, y;
    bool visible = true;
};
// The plot on the main tab with this text, and its curves in the order they were attached (the
// waveform view's: card by card, channel by channel, empty ones too).
inline QwtPlot *plotOn(const QString &tab) {
    auto *plot = mainTab(tab)->findChild<QwtPlot *>();
    E2E_CHECK(plot, tab);
    return plot;
}
inline std::vector<Curve> curvesOn(const QString &tab) {
    std::vector<Curve> curves;
    for (QwtPlotItem *item : plotOn(tab)->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        auto *curve = static_cast<QwtPlotCurve *>(item);
        Curve &c = curves.emplace_back(Curve{{}, {}, curve->isVisible()});
        for (size_t i = 0; i < curve->dataSize(); ++i) {
            c.x.push_back(curve->sample(i).x());
            c.y.push_back(curve->sample(i).y());
        }
    }
    return curves;
}
// Those of them that hold data and are shown.
inline std::vector<Curve> drawnCurves(const QString &tab) {
    std::vector<Curve> drawn;
    for (Curve &c : curvesOn(tab))
        if (!c.y.empty() && c.visible)
            drawn.push_back(std::move(c));
    return drawn;
}

// A VXI carrier at VXI0::7::INSTR with these cards (JSON objects; by default 7150-BB); carrier:
// more members of the carrier ("name":value,), world: more members of the world (faults).
inline std::string vxiWorld(const std::string &cards, const std::string &carrier = "",
                            const std::string &world = "") {
    return "{" + world + R"("carriers":[{"resources":["VXI0::7::INSTR"],"interface":"VXI","slot":2,
      "logicalAddress":7,"slots":4,)" +
           carrier + R"("cards":[)" + cards + "]}]}";
}
// One card whose channels carry the ramp.
inline std::string rampWorld(const std::string &world = "") {
    return vxiWorld(R"({"slot":1,"signal":{"type":"ramp"}})", "", world);
}
constexpr double kRampLsb = 10.24 / 8388608.0; // gain 1
// Picks the item in the choice of the window with this title that offers it.
inline void pick(Gui &gui, const QString &title, const QString &item) {
    gui.choose([=] { return Gui::comboWith(Gui::window(title), item); }, item);
}
// The text of the first shown label on the main window that starts so; empty when there is none.
inline QString labelStarting(const QString &start) {
    for (QLabel *label : Gui::window(kMainWindow)->findChildren<QLabel *>())
        if (label->isVisible() && label->text().startsWith(start))
            return label->text();
    return QString();
}
// Bytes the file size line under the plot shows ("File size: 1.5 MB, sample backlog: 0"); -1
// while it is hidden.
inline double shownFileSize() {
    const QStringList size = labelStarting("File size: ").mid(11).section(',', 0, 0).split(' ');
    if (size.value(0).isEmpty())
        return -1;
    return size.value(0).toDouble() * (1 << 10 * QStringList({"B", "kB", "MB", "GB"}).indexOf(size.value(1)));
}
inline const QString kStorageDialog = "Continuous Acquisition Configuration";
inline const QString kFlacFormat = "FLAC, 24-bit counts (lossless)";
// Up to the storage dialog on the ramp card: channel 2 on beside channel 1, the rate and length
// chosen, the storage box ticked, the repetitive start. Returns once the dialog is up.
inline void openStorageDialog(Gui &gui, const QString &rate, const QString &length) {
    connectOneCard(gui);
    showChannel(gui, 1, 2);
    gui.run([] { Gui::tick(channelPage(1, 2), "Enabled"); });
    gui.showTab(kMainWindow, "Acquisition");
    pick(gui, kMainWindow, rate);
    pick(gui, kMainWindow, length);
    gui.run([] { Gui::tick(Gui::window(kMainWindow), "Continuous Acquisition with Data Storage to File"); });
    gui.showTab(kMainWindow, "Waveforms");

    gui.click(kMainWindow, "repetitiveButton");
    gui.waitWindow(kStorageDialog);
}
// Storing as a person starts it: openStorageDialog, the dialog given the format and the path,
// "Start". Returns once the dialog is gone.
inline void startStoring(Gui &gui, const std::string &path, const QString &rate, const QString &length,
                         const QString &format) {
    openStorageDialog(gui, rate, length);
    pick(gui, kStorageDialog, format); // first: a new format would correct the name's extension
    gui.run([=] { typeInto(Gui::window(kStorageDialog)->findChild<QLineEdit *>(), path.c_str(), false); });
    gui.shot("dialog");
    gui.press(kStorageDialog, "Start");
    gui.waitWindow(kStorageDialog, false);
}
// The bytes of a recording on disk: the file at path and, for a FLAC recording's description
// (".flac7150"), every stream beside it.
inline uint64_t recordingBytes(const std::string &path) {
    uint64_t bytes = std::filesystem::file_size(path);
    if (FlacRecordingFiles::stem(path) == path)
        return bytes;
    for (int card = 1; std::filesystem::exists(FlacRecordingFiles::cardStream(path, card)); ++card)
        bytes += std::filesystem::file_size(FlacRecordingFiles::cardStream(path, card));
    if (std::filesystem::exists(FlacRecordingFiles::timeStream(path)))
        bytes += std::filesystem::file_size(FlacRecordingFiles::timeStream(path));
    return bytes;
}
// The line under the plot that says what the last recording stored, once storing ended, checked
// against the recording at path: its name, the blocks (and the seconds they span), its length on
// disk (recordingBytes), and how it ended (how: "stopped", or the error after "ended by an
// error: "). Fails the workflow when the line is missing or says otherwise.
inline void checkStorageSummary(Gui &gui, const std::string &path, uint64_t blocks, double blockSeconds,
                                const QString &how) {
    E2E_EQ(gui.run([] { return labelStarting("Stored \""); }),
           QString::asprintf("Stored \"%s\": %llu %s (%.3f s), %llu bytes; %s.",
                             std::filesystem::path(path).filename().c_str(), (unsigned long long)blocks,
                             blocks == 1 ? "block" : "blocks", blocks * blockSeconds,
                             (unsigned long long)recordingBytes(path), how.toUtf8().constData()));
}
// The simulation's ramp as stored at path (2 channels in blocks of 1024 scans), checked: no scan
// lost or stored twice, whole blocks only. Returns the blocks; info, when given, gets what the
// program's reader makes of the file (not of a CSV file).
inline uint64_t storedRampBlocks(const std::string &path, fileInfo_t *info = nullptr) {
    if (QString::fromStdString(path).endsWith(".csv")) {
        long scans = 0;
        const std::string gap = csvRampFileGap(path, kRampLsb, 2, scans);
        E2E_CHECK(gap.empty() && scans % 1024 == 0, path, ": ", gap, scans);
        return uint64_t(scans / 1024);
    }
    RampFile file;
    // A FLAC recording's description gives each channel's volts per count.
    const bool flac = FlacRecordingFiles::stem(path) != path;
    const std::string gap = rampFileGap(path, flac ? 0.0 : kRampLsb, file);
    E2E_CHECK(gap.empty(), path, ": ", gap);
    // The writer never leaves half a block behind.
    const uint64_t bytes = std::filesystem::file_size(path);
    E2E_CHECK(flac || bytes == file.info.payloadOffset + file.blocks * file.info.blockLength, path, bytes);
    if (info)
        *info = file.info;
    return file.blocks;
}
// Waits for the window that views the recording named file (its title names it) with its block
// slider up to blocks.
inline void waitViewing(Gui &gui, const QString &file, uint64_t blocks) {
    const QString title = kMainTitle + ": " + file;
    gui.waitUntil(describe("the window viewing ", file), [=] {
        QWidget *w = Gui::window(QRegularExpression::escape(title));
        auto *slider = w ? Gui::tabPage(w, "Waveforms")->findChild<QSlider *>() : nullptr;
        return slider && slider->isVisible() && uint64_t(slider->maximum()) == blocks;
    });
}
// The text of the waveform view's status line (rich text).
inline QString statusLineText() {
    for (QLabel *label : Gui::window(kMainWindow)->findChildren<QLabel *>())
        if (label->toolTip().startsWith("<html>Shows the current stage of the Data Acquisition"))
            return label->text();
    return QString();
}

// The arguments of the driver's last such call as the simulation logged them ("name=value ...").
inline std::string lastCall(const char *call) {
    char text[512] = {}; // the simulation keeps no longer text
    kqsim_lastCall(call, text, sizeof text);
    return text;
}
// Only the arguments with these names, in the logged order ("source=0 preTrigger=0").
inline std::string lastCall(const char *call, const QStringList &names) {
    QStringList picked;
    for (const QString &word : QString::fromStdString(lastCall(call)).split(' '))
        if (names.contains(word.section('=', 0, 0)))
            picked << word;
    return picked.join(' ').toStdString();
}
