#include "Gui.h"

void Gui::waitUntil(const std::string &what, std::function<bool()> condition, milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!run(condition, deadline)) {
        if (std::chrono::steady_clock::now() > end)
            throw E2eFailure("waited " + std::to_string(deadline.count()) + " ms in vain for " + what);
        pause(milliseconds(50));
    }
}

void Gui::shot(const std::string &step) const {
    // ImageMagick reads the X server itself, so a screenshot works even while the program's
    // thread is busy, and shows every window as the screen does.
    const std::string command =
        "import -window root '" + e2eShotDir() + "/" + m_workflow + "-" + step + ".png'";
    if (std::system(command.c_str()) != 0)
        throw E2eFailure("no screenshot: " + command);
}

void Gui::waitWindow(const QString &titlePattern, bool shown, milliseconds deadline) {
    waitUntil(
        e2eText("a window titled '", titlePattern, shown ? "'" : "' to close"),
        [=] { return (window(titlePattern) != nullptr) == shown; }, deadline);
}

void Gui::press(const QString &titlePattern, const QString &buttonText) {
    clickUsable(e2eText("button '", buttonText, "'"),
                [=] { return button(window(titlePattern), buttonText); });
}

void Gui::click(const QString &titlePattern, const QString &objectName) {
    clickUsable(objectName.toStdString(), [=] { return child<QWidget>(window(titlePattern), objectName); });
}

void Gui::clickUsable(const std::string &what, std::function<QWidget *()> find) {
    waitUntil("an enabled " + what, [=] {
        QWidget *w = find();
        return w && w->isEnabled() && w->isVisible();
    });
    post([=] { clickWidget(find()); });
}

void Gui::showTab(const QString &titlePattern, const QString &tabText) {
    waitUntil(e2eText("a tab '", tabText, "' in '", titlePattern, "'"),
              [=] { return tabsWithTab(window(titlePattern), tabText) != nullptr; });
    run([=] {
        QTabWidget *tabs = tabsWithTab(window(titlePattern), tabText);
        const QRect tab = tabs->tabBar()->tabRect(tabs->indexOf(tabPage(window(titlePattern), tabText)));
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tab.center());
    });
    waitUntil(e2eText("tab '", tabText, "' shown"),
              [=] { return tabPage(window(titlePattern), tabText)->isVisible(); });
}

void Gui::clickUntil(const std::string &what, std::function<void()> click, std::function<bool()> shown) {
    // A click can fall into the moment Qt still counts as closing the previous popup, or just
    // after the window came up, and is then taken for the end of another; a person clicks
    // again, and so does this.
    for (int attempt = 1;; ++attempt) {
        run(click);
        try {
            return waitUntil(what, shown, seconds(attempt < 3 ? 2 : 20));
        } catch (const E2eFailure &) {
            if (attempt == 3)
                throw;
        }
    }
}

void Gui::openList(std::function<QComboBox *()> find, const QString &item) {
    clickUntil(
        e2eText("the list offering ", item),
        [=] {
            QComboBox *choice = find();
            E2E_CHECK(choice && choice->isEnabled() && choice->isVisible() && choice->findText(item) >= 0,
                      item);
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
    for (QAbstractButton *b : parent ? parent->findChildren<QAbstractButton *>() : QList<QAbstractButton *>())
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
    E2E_CHECK(box && box->isEnabled() && !box->isChecked(), text);
    QStyleOptionButton option;
    option.initFrom(box);
    QTest::mouseClick(box, Qt::LeftButton, {},
                      box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center());
    E2E_CHECK(box->isChecked(), text);
}
