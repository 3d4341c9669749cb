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
                   milliseconds deadline = seconds(20));
    // Lets the program work for a while (acquisitions, storing).
    static void pause(milliseconds time) { std::this_thread::sleep_for(time); }

    // A screenshot of the whole virtual screen into <shots>/<workflow>-<step>.png.
    void shot(const std::string &step) const;

    // Waits for a visible top-level window whose title matches the regular expression (shown),
    // or for none (!shown).
    void waitWindow(const QString &titlePattern, bool shown = true, milliseconds deadline = seconds(20));
    // Clicks the button with this text (mnemonic '&' ignored) in the window with this title.
    void press(const QString &titlePattern, const QString &buttonText);
    // Clicks the widget with this object name in the window with this title.
    void click(const QString &titlePattern, const QString &objectName);
    // Shows the tab with this text in the first tab widget of the window that has one.
    void showTab(const QString &titlePattern, const QString &tabText);
    // Picks an item as a person does: opens the list with a click, walks to the item with the
    // arrow keys and takes it with Return. Programs listen to activated(), which only a choice
    // made in the list (or by keys on the closed box) emits. The box is found afresh at each
    // look; returns what it shows then (the program may refuse the item and put the old back).
    QString choose(std::function<QComboBox *()> find, const QString &item);
    // Clicks (on the program's thread) until what it opens is shown, at most three times.
    void clickUntil(const std::string &what, std::function<void()> click, std::function<bool()> shown);
    // Opens the list of the choice found so, which offers item, with a click.
    void openList(std::function<QComboBox *()> find, const QString &item);

    // Finders for code that runs on the program's thread; null when there is none.
    static QWidget *window(const QString &titlePattern);
    static QAbstractButton *button(QWidget *parent, const QString &text);
    static QTabWidget *tabsWithTab(QWidget *parent, const QString &tabText);
    static QWidget *tabPage(QWidget *parent, const QString &tabText); // the page behind that tab
    // The combo box that offers this item ("AC": a coupling, "1000": a gain...).
    static QComboBox *comboWith(QWidget *parent, const QString &item);
    template <typename T> static T *child(QWidget *parent, const QString &objectName) {
        return parent ? parent->findChild<T *>(objectName) : nullptr;
    }
    // A mouse click in the middle of the widget, as Qt Test sends it.
    static void clickWidget(QWidget *widget);
    // Ticks the check box with this text with a click on its indicator (a wide box does not take
    // clicks beside its text, and its middle may be empty room); fails unless it is ticked then.
    static void tick(QWidget *parent, const QString &text);

private:
    // Waits until the widget found so is enabled and shown, then clicks it.
    void clickUsable(const std::string &what, std::function<QWidget *()> find);
    std::string m_workflow;
};
