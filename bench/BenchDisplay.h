// What the benchmarks that paint into windows share: a real X server (a virtual one when the
// machine has none) and a window that is really on it before anything is timed.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

// Without DISPLAY, runs the program again under xvfb-run; the marker variable stops a second round.
inline void ensureDisplay(char **argv) {
    if (std::getenv("DISPLAY") || std::getenv("KQ_BENCH_XVFB"))
        return;
    setenv("KQ_BENCH_XVFB", "1", 1);
    std::vector<char *> args = {const_cast<char *>("xvfb-run"), const_cast<char *>("-a"),
                                const_cast<char *>("-s"), const_cast<char *>("-screen 0 1280x1024x24")};
    for (char **a = argv; *a; ++a)
        args.push_back(*a);
    args.push_back(nullptr);
    execvp("xvfb-run", args.data());
    std::perror("no DISPLAY and xvfb-run cannot be started");
    std::exit(1);
}

// Shows the widget and returns once the server has mapped it (at most 10 s).
inline void waitUntilExposed(QWidget *w) {
    w->show();
    QElapsedTimer clock;
    clock.start();
    while ((!w->windowHandle() || !w->windowHandle()->isExposed()) && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    QApplication::processEvents();
}
