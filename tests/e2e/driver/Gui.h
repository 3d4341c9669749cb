// What the driver's thread does to the program's window: every look and every action runs on
// the program's own thread (queued there, so it works inside any dialog's event loop), and the
// driver waits for what it expects with a deadline instead of fixed pauses.
#pragma once

#include "Workflow.h"

// The driver reaches into every kind of widget the program shows.
#include <QtTest>
#include <QtWidgets>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Failures name Qt's texts as they are.
inline std::ostream &operator<<(std::ostream &out, const QString &text) {
    return out << text.toStdString();
}
inline std::ostream &operator<<(std::ostream &out, const QStringList &texts) {
    return out << texts.join(" | ");
}

using std::chrono::milliseconds;
using std::chrono::seconds;

class Gui {
public:
    explicit Gui(std::string workflow) : m_workflow(std::move(workflow)) {}

    // Runs f on the program's thread and returns its result; fails when the program does not
    // get to it within the deadline (a dialog hung, a long call without events).
    template <typename F> auto run(F f, milliseconds deadline = seconds(20)) {
        auto task = std::make_shared<std::packaged_task<decltype(f())()>>(std::move(f));
        auto result = task->get_future();
        post([task] { (*task)(); });
        if (result.wait_for(deadline) != std::future_status::ready)
            throw E2eFailure("the program did not answer in time (busy or hung)");
        return result.get();
    }
    // Queues f on the program's thread and returns at once: for actions that open a modal
    // dialog, whose event loop would keep run() waiting until the dialog closes.
    void post(std::function<void()> f) {
        QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection);
    }
    // Waits until the condition (checked on the program's thread) holds; fails naming what.
    void waitUntil(const std::string &what, std::function<bool()> condition,
                   milliseconds deadline = seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!run(condition, deadline)) {
            if (std::chrono::steady_clock::now() > end)
                throw E2eFailure("waited " + std::to_string(deadline.count()) + " ms in vain for " + what);
            pause(milliseconds(50));
        }
    }
    // Lets the program work for a while (acquisitions, storing).
    static void pause(milliseconds time) { std::this_thread::sleep_for(time); }

    // A screenshot of the whole virtual screen into <shots>/<workflow>-<step>.png.
    void shot(const std::string &step) const {
        // ImageMagick reads the X server itself, so a screenshot works even while the program's
        // thread is busy, and shows every window as the screen does.
        const std::string command =
            "import -window root '" + e2eShotDir() + "/" + m_workflow + "-" + step + ".png'";
        if (std::system(command.c_str()) != 0)
            throw E2eFailure("no screenshot: " + command);
    }

    // Waits for a visible top-level window whose title matches the regular expression (shown),
    // or for none (!shown).
    void waitWindow(const QString &titlePattern, bool shown = true, milliseconds deadline = seconds(20)) {
        waitUntil(
            describe("a window titled '", titlePattern, shown ? "'" : "' to close"),
            [=] { return (window(titlePattern) != nullptr) == shown; }, deadline);
    }
    // Clicks the button with this text (mnemonic '&' ignored) in the window with this title.
    void press(const QString &titlePattern, const QString &buttonText) {
        clickUsable(describe("button '", buttonText, "'"),
                    [=] { return button(window(titlePattern), buttonText); });
    }
    // Clicks the widget with this object name in the window with this title.
    void click(const QString &titlePattern, const QString &objectName) {
        clickUsable(objectName.toStdString(),
                    [=] { return child<QWidget>(window(titlePattern), objectName); });
    }
    // Shows the tab with this text in the first tab widget of the window that has one.
    void showTab(const QString &titlePattern, const QString &tabText) {
        waitUntil(describe("a tab '", tabText, "' in '", titlePattern, "'"),
                  [=] { return tabsWithTab(window(titlePattern), tabText) != nullptr; });
        run([=] {
            QTabWidget *tabs = tabsWithTab(window(titlePattern), tabText);
            const QRect tab = tabs->tabBar()->tabRect(tabs->indexOf(tabPage(window(titlePattern), tabText)));
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tab.center());
        });
        waitUntil(describe("tab '", tabText, "' shown"),
                  [=] { return tabPage(window(titlePattern), tabText)->isVisible(); });
    }
    // Picks an item as a person does: opens the list with a click, walks to the item with the
    // arrow keys and takes it with Return. Programs listen to activated(), which only a choice
    // made in the list (or by keys on the closed box) emits. The box is found afresh at each
    // look; fails unless it then shows the item.
    void choose(std::function<QComboBox *()> find, const QString &item) {
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
        E2E_EQ(run([=] { return find()->currentText(); }), item);
    }
    // Clicks (on the program's thread) until what it opens is shown, at most three times.
    void clickUntil(const std::string &what, std::function<void()> click, std::function<bool()> shown) {
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
    // Opens the list of the choice found so, which offers item, with a click.
    void openList(std::function<QComboBox *()> find, const QString &item) {
        clickUntil(
            describe("the list offering ", item),
            [=] {
                QComboBox *choice = find();
                E2E_CHECK(choice && choice->isEnabled() && choice->isVisible() && choice->findText(item) >= 0,
                          item);
                clickWidget(choice);
            },
            [=] { return find()->view()->isVisible(); });
    }

    // Finders for code that runs on the program's thread; null when there is none.
    static QWidget *window(const QString &titlePattern) {
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
    static QAbstractButton *button(QWidget *parent, const QString &text) {
        for (QAbstractButton *b :
             parent ? parent->findChildren<QAbstractButton *>() : QList<QAbstractButton *>())
            if (b->isVisible() && b->text().remove('&') == text)
                return b;
        return nullptr;
    }
    static QTabWidget *tabsWithTab(QWidget *parent, const QString &tabText) {
        QWidget *page = tabPage(parent, tabText);
        // A page sits in the tab widget's stack.
        return page ? qobject_cast<QTabWidget *>(page->parentWidget()->parentWidget()) : nullptr;
    }
    // The page behind the tab with this text.
    static QWidget *tabPage(QWidget *parent, const QString &tabText) {
        for (QTabWidget *tabs : parent ? parent->findChildren<QTabWidget *>() : QList<QTabWidget *>())
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->tabText(i).remove('&') == tabText)
                    return tabs->widget(i);
        return nullptr;
    }
    // The combo box that offers this item ("AC": a coupling, "1000": a gain...).
    static QComboBox *comboWith(QWidget *parent, const QString &item) {
        for (QComboBox *choice : parent ? parent->findChildren<QComboBox *>() : QList<QComboBox *>())
            if (choice->findText(item) >= 0)
                return choice;
        return nullptr;
    }
    template <typename T> static T *child(QWidget *parent, const QString &objectName) {
        return parent ? parent->findChild<T *>(objectName) : nullptr;
    }
    // A mouse click in the middle of the widget, as Qt Test sends it.
    static void clickWidget(QWidget *widget) {
        if (widget)
            QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    }
    // Ticks the check box with this text with a click on its indicator (a wide box does not take
    // clicks beside its text, and its middle may be empty room); fails unless it is ticked then.
    static void tick(QWidget *parent, const QString &text) {
        auto *box = qobject_cast<QCheckBox *>(button(parent, text));
        E2E_CHECK(box && box->isEnabled() && !box->isChecked(), text);
        QStyleOptionButton option;
        option.initFrom(box);
        QTest::mouseClick(box, Qt::LeftButton, {},
                          box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center());
        E2E_CHECK(box->isChecked(), text);
    }

private:
    // Waits until the widget found so is enabled and shown, then clicks it.
    void clickUsable(const std::string &what, std::function<QWidget *()> find) {
        waitUntil("an enabled " + what, [=] {
            QWidget *w = find();
            return w && w->isEnabled() && w->isVisible();
        });
        post([=] { clickWidget(find()); });
    }
    std::string m_workflow;
};
