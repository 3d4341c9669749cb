// Steps many workflows share: the connection question and the card tree, the main window with
// its channel pages and plots, closing the program, and what the simulated driver was asked.
#pragma once

#include "Gui.h"

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
inline const QString kBoxTitle = "Movara 7150 SFP";                    // the program's message boxes
inline const QString kErrorBoxTitle = "Movara 7150 SFP Error message"; // the frame's error box

// The page behind the main window's tab with this text.
inline QWidget *mainTab(const QString &tab) {
    return Gui::tabPage(Gui::window(kMainWindow), tab);
}

// Answers the connection question with one of its buttons ("Auto Find", "Run In Demo Mode",
// "Enter Address").
void answerConnection(Gui &gui, const QString &choice);
// "Auto Find" in a world of several cards: waits for the tree that asks which to take.
void openCardTree(Gui &gui);
// The tree of the card question (on the program's thread); null while it is not up.
QTreeWidget *cardTree();
// "Auto Find", every card the tree offers taken with Ctrl+A (expecting `cards` of them), "OK",
// and the main window.
void takeEveryCard(Gui &gui, int cards);
// Waits for the main window and for the splash to be gone.
void waitMainWindow(Gui &gui);
// "Auto Find" in a world of one card, which opens without a choice, and the main window.
void connectOneCard(Gui &gui);
// A shortcut, sent to the main window once it has the keyboard; returns at once, since it may
// open a modal dialog.
void pressShortcut(Gui &gui, Qt::Key key, Qt::KeyboardModifiers modifiers);
// "Close", and the question "Do you really want to exit?" up.
void askToClose(Gui &gui);
// "Close", then "Yes" to "Do you really want to exit?".
void closeProgram(Gui &gui);

// The pages of the "Function Cards" tab, found afresh at each look. Cards and channels count
// from 1, as the tabs name them.
QTabWidget *channelTabs(int card);
QWidget *channelPage(int card, int channel);
// Shows that page by clicking its tabs.
void showChannel(Gui &gui, int card, int channel);

// Opens the main window's "File" menu with a click on the menu bar and clicks one of its items
// ("Save Configuration..."); returns at once, since the item may open a modal dialog.
void fileMenuItem(Gui &gui, const QString &item);
// Opens the context menu of the widget (found on the program's thread) as a right click does,
// and returns the texts of its items.
QStringList openContextMenu(Gui &gui, std::function<QWidget *()> target);
// Clicks the enabled item with this text in the open popup menu; returns at once, since the
// item may open a modal dialog.
void clickMenuItem(Gui &gui, const QString &item);
// Answers the file dialog with this title as a person would: types the path, then Return, and
// "Yes" when the dialog asks whether to replace a file of that name (replace).
void answerFileDialog(Gui &gui, const QString &title, const std::string &path, bool replace = false);
// The text of the message box with this title once one is up.
QString messageText(Gui &gui, const QString &title);
// The text of the program's warning box once one is up, shot as the step `shot`, then "OK".
QString acknowledgeWarning(Gui &gui, const std::string &shot);
inline const QString kWarningTitle = "Movara 7150 SFP Warning message";
// Types into the field as a person replaces its text: all selected, the text, Return (enter).
void typeInto(QWidget *field, const QString &text, bool enter = true);
// The whole text of a file; empty when there is none.
std::string fileText(const std::string &path);

// The legend rows of the waveform view, one per card, in order.
QStringList legendHeadings();
// Single shot and repetitive both usable and up: no acquisition runs.
bool startButtonsReleased();
// The single-shot button, then waits until what the block brings (what) has come and both
// start buttons are up again.
void singleShot(Gui &gui, const std::string &what, std::function<bool()> arrived);
// The repetitive button is down: an acquisition or a playback runs.
bool repetitiveDown();
// Nothing reads or stops the cards any more once they were stopped, watched for a while.
void expectNoReadsAfterStop();
// Waits until a playback has reached the end of its recording.
void waitPlayedToEnd(Gui &gui);
// Runs f on the program's thread after each refresh of the waveform view, which is when a
// recording's next block is drawn.
void afterEachRefresh(Gui &gui, std::function<void()> f);

struct Curve {
    std::vector<double> x, y;
    bool visible = true;
};
// The plot on the main tab with this text, and its curves in the order they were attached (the
// waveform view's: card by card, channel by channel, empty ones too).
QwtPlot *plotOn(const QString &tab);
std::vector<Curve> curvesOn(const QString &tab);
// Those of them that hold data and are shown.
std::vector<Curve> drawnCurves(const QString &tab);

// A VXI card (slot 1 of a carrier at VXI0::9::INSTR) whose channels carry the ramp; extra: more
// top-level members of the world, e.g. faults.
std::string rampWorld(const std::string &extra = "");
constexpr double kRampLsb = 10.24 / 8388608.0; // gain 1
// Picks the item in the choice of the window with this title that offers it.
void pick(Gui &gui, const QString &title, const QString &item);
// Bytes the file size line under the plot shows ("File size: 1.5 MB, sample backlog: 0"); -1
// while it is hidden.
double shownFileSize();
inline const QString kStorageDialog = "Continuous Acquisition Configuration";
inline const QString kFlacFormat = "FLAC, 24-bit counts (lossless)";
// Up to the storage dialog on the ramp card: channel 2 on beside channel 1, the rate and length
// chosen, the storage box ticked, the repetitive start. Returns once the dialog is up.
void openStorageDialog(Gui &gui, const QString &rate, const QString &length);
// Storing as a person starts it: openStorageDialog, the dialog given the format and the path,
// "Start". Returns once the dialog is gone.
void startStoring(Gui &gui, const std::string &path, const QString &rate, const QString &length,
                  const QString &format);
// The bytes of a recording on disk: the file at path and, for a FLAC recording's description
// (".flac7150"), every stream beside it.
uint64_t recordingBytes(const std::string &path);
// The line under the plot that says what the last recording stored, once storing ended, checked
// against the recording at path: its name, the blocks (and the seconds they span), its length on
// disk (recordingBytes), and how it ended (how: "stopped", or the error after "ended by an
// error: "). Fails the workflow when the line is missing or says otherwise.
void checkStorageSummary(Gui &gui, const std::string &path, uint64_t blocks, double blockSeconds,
                         const QString &how);
// The simulation's ramp as stored at path (2 channels in blocks of 1024 scans), checked: no scan
// lost or stored twice, whole blocks only. Returns the blocks; info, when given, gets what the
// program's reader makes of the file (not of a CSV file).
uint64_t storedRampBlocks(const std::string &path, fileInfo_t *info = nullptr);
// Waits for the window that views the recording named file (its title names it) with its block
// slider up to blocks.
void waitViewing(Gui &gui, const QString &file, uint64_t blocks);
// The text of the waveform view's status line (rich text).
QString statusLineText();

// The arguments of the driver's last such call as the simulation logged them ("name=value ...").
std::string lastCall(const char *call);
// The same text taken apart by name.
std::map<std::string, std::string> callArguments(const std::string &text);
