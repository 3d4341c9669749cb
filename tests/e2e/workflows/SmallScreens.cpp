// The window on a small screen (1366 x 768) and on a scaled one (1920 x 1080 at 1.5, i.e. 1280 x
// 720 logical pixels): opened on a recording, its frame lies within the screen's available
// area, and on every main tab each visible control (buttons, check boxes, combo boxes, the tabs
// of nested tab bars) lies on the screen, inside the window and inside what its parents show, or in a
// scroll area that brings it into view. Nothing else covers a control.
#include "Steps.h"
#include "StoredRecording.h"

namespace {

constexpr int kCards = 8; // a legend row each under the plot: the height grows with them
constexpr int kScans = 256;

// Each channel a sine of 10 Hz, of 1 V more than the one before.
void writeRecording() {
    E2E_EQ(StoredRecording()
               .withMasks(std::vector<uint8_t>(kCards, 0x05))
               .withScans(kScans)
               .withSignal(
                   [](int k, int64_t n) { return (1 + k) * std::sin(2 * M_PI * 10 * double(n) / 1000.0); })
               .write(e2eWorkDir("screens.bin7150")),
           "");
}

QString shownAs(const QWidget *w) {
    auto *b = qobject_cast<const QAbstractButton *>(w);
    return QString("%1 '%2' \"%3\"").arg(w->metaObject()->className(), w->objectName(), b ? b->text() : "");
}

// Fails unless the rectangle (in w's coordinates) can be seen: each parent up to the window
// shows it whole, except that a scroll area's viewport may hold it anywhere, since scrolling
// brings it in; from there on the scroll area itself must be seen.
void expectReachable(const QWidget *w, QRect rect, const QString &what) {
    for (const QWidget *child = w; child != w->window();) {
        const QWidget *parent = child->parentWidget();
        rect.translate(child->pos());
        if (auto *area = qobject_cast<const QAbstractScrollArea *>(parent->parentWidget());
            area && area->viewport() == parent) {
            rect = area->rect();
            child = area;
            continue;
        }
        E2E_CHECK(parent->rect().contains(rect), what, " is cut off by ", shownAs(parent));
        child = parent;
    }
}

// The visible controls of the window: each widget, where it lies on the window, and what it is.
std::vector<std::tuple<const QWidget *, QRect, QString>> controls(QWidget *window) {
    std::vector<std::tuple<const QWidget *, QRect, QString>> found;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible() || qobject_cast<QTabBar *>(w->parentWidget()))
            continue; // a tab bar's own scroll arrows belong to it
        if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w) ||
            w->inherits("clickableLabel"))
            found.emplace_back(w, QRect(w->mapTo(window, QPoint(0, 0)), w->size()), shownAs(w));
        // Tabs scrolled out of a narrow bar are brought in by its arrows.
        if (auto *bar = qobject_cast<QTabBar *>(w);
            bar && !(bar->usesScrollButtons() && bar->sizeHint().width() > bar->width()))
            for (int i = 0; i < bar->count(); ++i)
                found.emplace_back(bar, bar->tabRect(i).translated(bar->mapTo(window, QPoint(0, 0))),
                                   "tab \"" + bar->tabText(i) + "\"");
    }
    return found;
}

void checkVisibleControls(QWidget *window, const QString &tab) {
    const auto all = controls(window);
    E2E_CHECK(all.size() > 10, all.size(), " on ", tab);
    const QRect screen = QApplication::desktop()->availableGeometry(window);
    for (const auto &[widget, place, control] : all) {
        const QString what = control + " on \"" + tab + "\"";
        E2E_CHECK(window->rect().contains(place), what);
        E2E_CHECK(screen.contains(place.translated(window->mapToGlobal(QPoint(0, 0)))), what);
        expectReachable(widget, QRect(widget->mapFrom(window, place.topLeft()), place.size()), what);
        // Nothing else shown (a plot, a label, another control) may cover a control: only what
        // holds it, or what it holds, shares its place.
        for (const QWidget *other : window->findChildren<QWidget *>())
            E2E_CHECK(!other->isVisible() || other == widget || other->isAncestorOf(widget) ||
                          widget->isAncestorOf(other) ||
                          !QRect(other->mapTo(window, QPoint(0, 0)), other->size()).intersects(place),
                      what, " and ", shownAs(other), " overlap");
    }
}

void run(Gui &gui) {
    waitMainWindow(gui);
    const int tabs = gui.run([] {
        QWidget *window = Gui::window(kMainWindow);
        const QRect available = QApplication::desktop()->availableGeometry(window),
                    frame = window->frameGeometry();
        E2E_CHECK(available.contains(frame), frame.width(), "x", frame.height());
        return Gui::tabsWithTab(window, "Waveforms")->count();
    });
    for (int i = 0; i < tabs; ++i) {
        // Some tabs are greyed while a recording plays (and cannot be brought to the front); with
        // cards their pages are laid out as they are here.
        const QString tab = gui.run([i] {
            QTabWidget *main = Gui::tabsWithTab(Gui::window(kMainWindow), "Waveforms");
            main->setTabEnabled(i, true);
            main->setCurrentIndex(i);
            return main->tabText(i).remove('&');
        });
        gui.run([tab] { checkVisibleControls(Gui::window(kMainWindow), tab); });
        if (tab == "Waveforms")
            gui.shot("waveforms");
    }
    closeProgram(gui);
}

Registration small{{"small_screen_1366x768", "", writeRecording, run, nullptr}};
Registration scaled{{"scaled_screen_1920x1080", "", writeRecording, run, nullptr}};

} // namespace
