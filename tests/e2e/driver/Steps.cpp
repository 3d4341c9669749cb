#include "Steps.h"

#include "FlacRecordingFiles.h"
#include "RampFile.h"

void answerConnection(Gui &gui, const QString &choice) {
    gui.waitWindow(kSelectTitle);
    gui.press(kSelectTitle, choice);
}

void openCardTree(Gui &gui) {
    answerConnection(gui, "Auto Find");
    gui.waitUntil("the card tree", [] {
        QTreeWidget *tree = cardTree();
        return tree && tree->isVisible() && tree->topLevelItemCount() > 0;
    });
}

QTreeWidget *cardTree() {
    QWidget *dialog = Gui::window(kSelectTitle);
    return dialog ? dialog->findChild<QTreeWidget *>() : nullptr;
}

void takeEveryCard(Gui &gui, int cards) {
    openCardTree(gui);
    const int taken = gui.run([] {
        QTreeWidget *tree = cardTree();
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_A, Qt::ControlModifier);
        return tree->selectedItems().size();
    });
    E2E_CHECK(taken == cards, "the tree offered ", taken, " cards, not ", cards);
    gui.press(kSelectTitle, "OK");
    waitMainWindow(gui);
}

void waitMainWindow(Gui &gui) {
    gui.waitWindow(kMainWindow, std::chrono::seconds(30));
    gui.waitNoWindow("Movara 7150 SFP: Starting");
}

void connectOneCard(Gui &gui) {
    answerConnection(gui, "Auto Find");
    waitMainWindow(gui);
}

void pressShortcut(Gui &gui, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    gui.run([] { Gui::window(kMainWindow)->activateWindow(); });
    gui.waitUntil("the window to have the keyboard",
                  [] { return QApplication::activeWindow() == Gui::window(kMainWindow); });
    gui.post([=] { QTest::keyClick(Gui::window(kMainWindow), key, modifiers); });
}

void askToClose(Gui &gui) {
    gui.press(kMainWindow, "Close");
    gui.waitUntil("the exit question", [] {
        auto *box = qobject_cast<QMessageBox *>(Gui::window(kBoxTitle));
        return box && box->text() == "Do you really want to exit?";
    });
}

void closeProgram(Gui &gui) {
    askToClose(gui);
    gui.press(kBoxTitle, "Yes");
}

QTabWidget *channelTabs(int card) {
    auto *cards = Gui::child<QTabWidget>(Gui::window(kMainWindow), "fcTab");
    return cards && card <= cards->count() ? cards->widget(card - 1)->findChild<QTabWidget *>() : nullptr;
}

QWidget *channelPage(int card, int channel) {
    QTabWidget *channels = channelTabs(card);
    return channels ? channels->widget(channel - 1) : nullptr;
}

void showChannel(Gui &gui, int card, int channel) {
    gui.showTab(kMainWindow, "Function Cards");
    gui.showTab(kMainWindow, QString("Function Card #%1").arg(card));
    // Every card's page has tabs of the same names: the card's own bar is clicked.
    gui.run([=] {
        QTabBar *bar = channelTabs(card)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(channel - 1).center());
    });
    gui.waitUntil(e2eText("channel ", channel, " of card ", card, " shown"),
                  [=] { return channelTabs(card)->currentIndex() == channel - 1; });
}

void fileMenuItem(Gui &gui, const QString &item) {
    const auto openMenu = [] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); };
    gui.clickUntil(
        "the File menu",
        [] {
            auto *bar = Gui::child<QMenuBar>(Gui::window(kMainWindow), "menuBar");
            E2E_CHECK(bar, "no menu bar");
            for (QAction *menu : bar->actions())
                if (menu->text().remove('&') == "File")
                    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu).center());
        },
        [=] { return openMenu() && openMenu()->isVisible(); });
    gui.shot("file-menu");
    clickMenuItem(gui, item);
}

QStringList openContextMenu(Gui &gui, std::function<QWidget *()> target) {
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

void clickMenuItem(Gui &gui, const QString &item) {
    gui.post([=] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        for (QAction *action : menu->actions())
            if (action->text().remove('&') == item) {
                E2E_CHECK(action->isEnabled(), "'", item.toStdString(), "' is disabled");
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        throw E2eFailure("no '" + item.toStdString() + "' in the menu");
    });
}

void answerFileDialog(Gui &gui, const QString &title, const std::string &path, bool replace) {
    gui.waitWindow(title);
    gui.post([=] {
        auto *dialog = qobject_cast<QFileDialog *>(Gui::window(title));
        E2E_CHECK(dialog, "'", title.toStdString(), "' is not a file dialog");
        auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
        E2E_CHECK(name, "no file name field in '", title.toStdString(), "'");
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
    gui.waitNoWindow(title);
}

QString messageText(Gui &gui, const QString &title) {
    gui.waitUntil("a message titled " + title.toStdString(),
                  [=] { return qobject_cast<QMessageBox *>(Gui::window(title)) != nullptr; });
    return gui.run([=] { return qobject_cast<QMessageBox *>(Gui::window(title))->text(); });
}

QString acknowledgeWarning(Gui &gui, const std::string &shot) {
    const QString text = messageText(gui, kWarningTitle);
    gui.shot(shot);
    gui.press(kWarningTitle, "OK");
    gui.waitNoWindow(kWarningTitle);
    return text;
}

void typeInto(QWidget *field, const QString &text, bool enter) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    if (enter)
        QTest::keyClick(field, Qt::Key_Return);
}

std::string fileText(const std::string &path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

QStringList legendHeadings() {
    QStringList headings;
    for (QLabel *label : mainTab("Waveforms")->findChildren<QLabel *>())
        if (label->text().contains("Channels:"))
            headings << label->text();
    return headings;
}

bool startButtonsReleased() {
    for (const char *name : {"singleShotButton", "repetitiveButton"}) {
        auto *b = Gui::child<QAbstractButton>(Gui::window(kMainWindow), name);
        if (!b || !b->isEnabled() || b->isChecked())
            return false;
    }
    return true;
}

void singleShot(Gui &gui, const std::string &what, std::function<bool()> arrived) {
    gui.click(kMainWindow, "singleShotButton");
    gui.waitUntil(what, [=] { return arrived() && startButtonsReleased(); });
}

bool repetitiveDown() {
    return Gui::child<QAbstractButton>(Gui::window(kMainWindow), "repetitiveButton")->isChecked();
}

void expectNoReadsAfterStop() {
    const int reads = kqsim_callCount("kq7150_readMultAcquisition");
    const int stops = kqsim_callCount("kq7150_stopMultAcquisition");
    // What should not come has no event to wait for: a while longer than the poll interval.
    Gui::pause(std::chrono::milliseconds(400));
    E2E_CHECK(kqsim_callCount("kq7150_readMultAcquisition") == reads &&
                  kqsim_callCount("kq7150_stopMultAcquisition") == stops,
              "the cards are still read after the stop");
}

void waitPlayedToEnd(Gui &gui) {
    gui.waitUntil(
        "the end of the recording", [] { return !repetitiveDown(); }, std::chrono::seconds(60));
}

void afterEachRefresh(Gui &gui, std::function<void()> f) {
    gui.run([f] {
        QWidget *view = mainTab("Waveforms");
        QTimer *refresh = view->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
        E2E_CHECK(refresh, "no refresh timer");
        // Connected after the view's own handler, so it runs after the view drew.
        QObject::connect(refresh, &QTimer::timeout, view, f);
    });
}

QwtPlot *plotOn(const QString &tab) {
    QWidget *page = mainTab(tab);
    auto *plot = page ? page->findChild<QwtPlot *>() : nullptr;
    E2E_CHECK(plot, "no plot on ", tab.toStdString());
    return plot;
}

std::vector<Curve> curvesOn(const QString &tab) {
    std::vector<Curve> curves;
    for (QwtPlotItem *item : plotOn(tab)->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        auto *curve = static_cast<QwtPlotCurve *>(item);
        Curve c;
        c.visible = curve->isVisible();
        for (size_t i = 0; i < curve->dataSize(); ++i) {
            c.x.push_back(curve->sample(i).x());
            c.y.push_back(curve->sample(i).y());
        }
        curves.push_back(std::move(c));
    }
    return curves;
}

std::vector<Curve> drawnCurves(const QString &tab) {
    std::vector<Curve> drawn;
    for (Curve &c : curvesOn(tab))
        if (!c.y.empty() && c.visible)
            drawn.push_back(std::move(c));
    return drawn;
}

std::string lastCall(const char *call) {
    char text[512] = {}; // the simulation keeps no longer text
    kqsim_lastCall(call, text, sizeof text);
    return text;
}

std::map<std::string, std::string> callArguments(const std::string &text) {
    std::map<std::string, std::string> arguments;
    std::istringstream words(text);
    for (std::string word; words >> word;)
        if (const auto eq = word.find('='); eq != std::string::npos)
            arguments[word.substr(0, eq)] = word.substr(eq + 1);
    return arguments;
}

std::string rampWorld(const std::string &extra) {
    return R"({"carriers":[{"resources":["VXI0::9::INSTR"],"interface":"VXI","slot":2,"logicalAddress":9,"slots":4,
      "cards":[{"slot":1,"signal":{"type":"ramp"}}]}])" +
           (extra.empty() ? "" : "," + extra) + "}";
}

void pick(Gui &gui, const QString &title, const QString &item) {
    const QString shown = gui.choose([=] { return Gui::comboWith(Gui::window(title), item); }, item);
    E2E_CHECK(shown == item, "the choice shows ", shown.toStdString());
}

double shownFileSize() {
    for (QLabel *line : Gui::window(kMainWindow)->findChildren<QLabel *>()) {
        const QString text = line->text();
        if (!line->isVisible() || !text.startsWith("File size: "))
            continue;
        const QStringList size = text.mid(11).section(',', 0, 0).split(' ');
        const double unit = size.value(1) == "GB"   ? 1 << 30
                            : size.value(1) == "MB" ? 1 << 20
                            : size.value(1) == "kB" ? 1024
                                                    : 1;
        return size.value(0).toDouble() * unit;
    }
    return -1;
}

void openStorageDialog(Gui &gui, const QString &rate, const QString &length) {
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

void startStoring(Gui &gui, const std::string &path, const QString &rate, const QString &length,
                  const QString &format) {
    openStorageDialog(gui, rate, length);
    pick(gui, kStorageDialog, format); // first: a new format would correct the name's extension
    gui.run([=] {
        typeInto(Gui::window(kStorageDialog)->findChild<QLineEdit *>(), QString::fromStdString(path), false);
    });
    gui.shot("dialog");
    gui.press(kStorageDialog, "Start");
    gui.waitNoWindow(kStorageDialog);
}

uint64_t recordingBytes(const std::string &path) {
    uint64_t bytes = std::filesystem::file_size(path);
    if (FlacRecordingFiles::stem(path) == path)
        return bytes;
    for (int card = 1; std::filesystem::exists(FlacRecordingFiles::cardStream(path, card)); ++card)
        bytes += std::filesystem::file_size(FlacRecordingFiles::cardStream(path, card));
    if (std::filesystem::exists(FlacRecordingFiles::timeStream(path)))
        bytes += std::filesystem::file_size(FlacRecordingFiles::timeStream(path));
    return bytes;
}

uint64_t storedRampBlocks(const std::string &path, fileInfo_t *info) {
    if (QString::fromStdString(path).endsWith(".csv")) {
        long scans = 0;
        const std::string gap = csvRampFileGap(path, kRampLsb, 2, scans);
        E2E_CHECK(gap.empty() && scans % 1024 == 0, path, ": ", gap, scans, " scans");
        return uint64_t(scans / 1024);
    }
    RampFile file;
    // A FLAC recording's description gives each channel's volts per count.
    const bool flac = FlacRecordingFiles::stem(path) != path;
    const std::string gap = rampFileGap(path, flac ? 0.0 : kRampLsb, file);
    E2E_CHECK(gap.empty(), path, ": ", gap);
    // The writer never leaves half a block behind.
    const uint64_t bytes = std::filesystem::file_size(path);
    E2E_CHECK(flac || bytes == file.info.payloadOffset + file.blocks * file.info.blockLength, path, ": ",
              bytes, " bytes for ", file.blocks, " blocks of ", file.info.blockLength);
    if (info)
        *info = file.info;
    return file.blocks;
}

void checkStorageSummary(Gui &gui, const std::string &path, uint64_t blocks, double blockSeconds,
                         const QString &how) {
    const QString line = gui.run([] {
        for (QLabel *label : Gui::window(kMainWindow)->findChildren<QLabel *>())
            if (label->isVisible() && label->text().startsWith("Stored \""))
                return label->text();
        return QString();
    });
    const QString name = QString::fromStdString(std::filesystem::path(path).filename().string());
    const QString expected = QString("Stored \"%1\": %2 %3 (%4 s), %5 bytes; %6.")
                                 .arg(name)
                                 .arg(blocks)
                                 .arg(blocks == 1 ? "block" : "blocks")
                                 .arg(QString::asprintf("%.3f", blocks * blockSeconds))
                                 .arg(recordingBytes(path))
                                 .arg(how);
    E2E_CHECK(line == expected, "the line under the plot says '", line.toStdString(), "', not '",
              expected.toStdString(), "'");
}

QString statusLineText() {
    for (QLabel *label : Gui::window(kMainWindow)->findChildren<QLabel *>())
        if (label->toolTip().startsWith("<html>Shows the current stage of the Data Acquisition"))
            return label->text();
    return QString();
}

void waitViewing(Gui &gui, const QString &file, uint64_t blocks) {
    const QString title = kMainTitle + ": " + file;
    gui.waitUntil("the window viewing " + file.toStdString(), [=] {
        QWidget *w = Gui::window(QRegularExpression::escape(title));
        auto *slider = w ? Gui::tabPage(w, "Waveforms")->findChild<QSlider *>() : nullptr;
        return slider && slider->isVisible() && uint64_t(slider->maximum()) == blocks;
    });
}
