#include "Gui.h"

#include <thread>

void Gui::post(std::function<void()> f) {
    QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection);
}

void Gui::waitUntil(const std::string &what, std::function<bool()> condition,
                    std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!run(condition, deadline)) {
        if (std::chrono::steady_clock::now() > end)
            throw E2eFailure("waited " + std::to_string(deadline.count()) + " ms in vain for " + what);
        pause(std::chrono::milliseconds(50));
    }
}

void Gui::pause(std::chrono::milliseconds time) {
    std::this_thread::sleep_for(time);
}

void Gui::shot(const std::string &step) const {
    // ImageMagick reads the X server itself, so a screenshot works even while the program's
    // thread is busy, and shows every window as the screen does.
    const std::string file = e2eShotDir() + "/" + m_workflow + "-" + step + ".png";
    const std::string command = "import -window root '" + file + "'";
    if (std::system(command.c_str()) != 0)
        throw E2eFailure("no screenshot: " + command);
}

void Gui::waitWindow(const QString &titlePattern, std::chrono::milliseconds deadline) {
    waitUntil(
        "a window titled '" + titlePattern.toStdString() + "'",
        [titlePattern] { return window(titlePattern) != nullptr; }, deadline);
}

void Gui::waitNoWindow(const QString &titlePattern, std::chrono::milliseconds deadline) {
    waitUntil(
        "the window titled '" + titlePattern.toStdString() + "' to close",
        [titlePattern] { return window(titlePattern) == nullptr; }, deadline);
}

void Gui::press(const QString &titlePattern, const QString &buttonText) {
    clickUsable("button '" + buttonText.toStdString() + "'",
                [=] { return button(window(titlePattern), buttonText); });
}

void Gui::click(const QString &titlePattern, const QString &objectName) {
    clickUsable("'" + objectName.toStdString() + "'",
                [=] { return child<QWidget>(window(titlePattern), objectName); });
}

void Gui::clickUsable(const std::string &what, std::function<QWidget *()> find) {
    waitUntil("an enabled " + what, [=] {
        QWidget *w = find();
        return w && w->isEnabled() && w->isVisible();
    });
    post([=] { clickWidget(find()); });
}

void Gui::showTab(const QString &titlePattern, const QString &tabText) {
    waitUntil("a tab '" + tabText.toStdString() + "' in '" + titlePattern.toStdString() + "'",
              [=] { return tabsWithTab(window(titlePattern), tabText) != nullptr; });
    run([=] {
        QTabWidget *tabs = tabsWithTab(window(titlePattern), tabText);
        QWidget *page = tabPage(window(titlePattern), tabText);
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {},
                          tabs->tabBar()->tabRect(tabs->indexOf(page)).center());
    });
    waitUntil("tab '" + tabText.toStdString() + "' shown",
              [=] { return tabPage(window(titlePattern), tabText)->isVisible(); });
}

void Gui::clickUntil(const std::string &what, std::function<void()> click, std::function<bool()> shown) {
    // A click can fall into the moment Qt still counts as closing the previous popup, or just
    // after the window came up, and is then taken for the end of another; a person clicks
    // again, and so does this.
    for (int attempt = 1;; ++attempt) {
        run(click);
        try {
            waitUntil(what, shown, std::chrono::seconds(attempt < 3 ? 2 : 20));
            return;
        } catch (const E2eFailure &) {
            if (attempt == 3)
                throw;
        }
    }
}

void Gui::openList(std::function<QComboBox *()> find, const QString &item) {
    clickUntil(
        "the list offering " + item.toStdString(),
        [=] {
            QComboBox *choice = find();
            E2E_CHECK(choice && choice->isEnabled() && choice->isVisible() && choice->findText(item) >= 0,
                      "no usable choice offering ", item.toStdString());
            clickWidget(choice);
        },
        [=] { return find()->view()->isVisible(); });
}

QString Gui::choose(std::function<QComboBox *()> find, const QString &item) {
    openList(find, item);
    // Queued: the program may answer the choice with a modal box.
    post([=] {
        QComboBox *choice = find();
        QAbstractItemView *list = choice->view();
        const int target = choice->findText(item);
        for (int step = 0; step < choice->count() && list->currentIndex().row() != target; ++step)
            QTest::keyClick(list, list->currentIndex().row() < target ? Qt::Key_Down : Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Return);
    });
    waitUntil("the list closed", [=] { return !find()->view()->isVisible(); });
    return run([=] { return find()->currentText(); });
}

QWidget *Gui::window(const QString &titlePattern) {
    const QRegularExpression title(QRegularExpression::anchoredPattern(titlePattern));
    // A modal dialog is what a person sees first; otherwise the newest matching window.
    if (QWidget *modal = QApplication::activeModalWidget();
        modal && title.match(modal->windowTitle()).hasMatch())
        return modal;
    QWidget *found = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && title.match(w->windowTitle()).hasMatch())
            found = w;
    return found;
}

QAbstractButton *Gui::button(QWidget *parent, const QString &text) {
    if (!parent)
        return nullptr;
    for (QAbstractButton *b : parent->findChildren<QAbstractButton *>())
        if (b->isVisible() && b->text().remove('&') == text)
            return b;
    return nullptr;
}

QWidget *Gui::tabPage(QWidget *parent, const QString &tabText) {
    for (QTabWidget *tabs : parent ? parent->findChildren<QTabWidget *>() : QList<QTabWidget *>())
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i).remove('&') == tabText)
                return tabs->widget(i);
    return nullptr;
}

QTabWidget *Gui::tabsWithTab(QWidget *parent, const QString &tabText) {
    QWidget *page = tabPage(parent, tabText);
    // A page sits in the tab widget's stack.
    return page ? qobject_cast<QTabWidget *>(page->parentWidget()->parentWidget()) : nullptr;
}

QComboBox *Gui::comboWith(QWidget *parent, const QString &item) {
    for (QComboBox *choice : parent ? parent->findChildren<QComboBox *>() : QList<QComboBox *>())
        if (choice->findText(item) >= 0)
            return choice;
    return nullptr;
}

void Gui::clickWidget(QWidget *widget) {
    if (widget)
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void Gui::tick(QWidget *parent, const QString &text) {
    auto *box = qobject_cast<QCheckBox *>(button(parent, text));
    E2E_CHECK(box && box->isEnabled() && !box->isChecked(), "no usable unticked box '", text.toStdString(),
              "'");
    QStyleOptionButton option;
    option.initFrom(box);
    QTest::mouseClick(box, Qt::LeftButton, {},
                      box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center());
    E2E_CHECK(box->isChecked(), "'", text.toStdString(), "' stays unticked");
}

void Gui::stuck() const {
    throw E2eFailure("the program did not answer in time (busy or hung)");
}
