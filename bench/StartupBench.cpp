// How long the program takes from its start to its window on the screen in demo mode with two
// cards, against a bare Qt window started the same way (the named baseline: what any Qt
// program pays for the toolkit and the X connection), and the peak memory of that start.
//
// Each start is a fresh process (this program run again in a child mode), timed from just
// before the process is started until it reports its window exposed. Needs a real X server:
// without DISPLAY it starts itself again under xvfb-run. It reports; it never fails.
#include "BenchDisplay.h"
#include "kq7150_fc.h"
#include "kq7150fp_App.h"

#include "ScriptedBoxes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kStarts = 7; // median of, against the noise of a shared machine

// The child: start, show, say so with the peak memory in kB, end.
int child(int argc, char **argv, bool panel) {
    QApplication application(argc, argv);
    if (panel) {
        ScriptedBoxes boxes{{"Run In Demo Mode"}};
        kq7150_fc descriptor;
        kq7150fp_App window(descriptor, 2, false);
        waitUntilExposed(&window);
    } else {
        QWidget window;
        window.resize(800, 600);
        waitUntilExposed(&window);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("shown %ld\n", usage.ru_maxrss);
    std::fflush(stdout);
    return 0;
}

struct Start {
    double ms = 0.0;
    long peakKb = 0;
};

// Runs this program in child mode and times it until it reports its window shown.
Start timeStart(const char *self, const char *mode) {
    const std::string command = std::string("'") + self + "' " + mode;
    const auto t0 = std::chrono::steady_clock::now();
    std::FILE *pipe = popen(command.c_str(), "r");
    Start s;
    char line[128] = "";
    while (pipe && std::fgets(line, sizeof line, pipe))
        if (std::sscanf(line, "shown %ld", &s.peakKb) == 1) {
            s.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            break;
        }
    if (pipe)
        pclose(pipe);
    return s;
}

Start median(const char *self, const char *mode) {
    std::vector<Start> starts;
    timeStart(self, mode); // warms the file cache; not counted
    for (int i = 0; i < kStarts; ++i)
        starts.push_back(timeStart(self, mode));
    std::sort(starts.begin(), starts.end(), [](const Start &a, const Start &b) { return a.ms < b.ms; });
    return starts[kStarts / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--panel") == 0)
        return child(argc, argv, true);
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0)
        return child(argc, argv, false);
    ensureDisplay(argv);
    const Start bare = median(argv[0], "--bare");
    const Start panel = median(argv[0], "--panel");
    if (bare.ms <= 0.0 || panel.ms <= 0.0) {
        std::printf("a start did not report its window; nothing measured\n");
        return 0;
    }
    std::printf("start to window shown, bare Qt window (baseline): %.0f ms, peak memory %.1f MB\n", bare.ms,
                bare.peakKb / 1024.0);
    std::printf(
        "start to window shown, demo mode with 2 cards: %.0f ms = %.2f x the bare Qt window (target <= 3)\n",
        panel.ms, panel.ms / bare.ms);
    std::printf("peak memory of the demo start with 2 cards: %.1f MB = %.2f x the bare Qt window\n",
                panel.peakKb / 1024.0, static_cast<double>(panel.peakKb) / bare.peakKb);
    return 0;
}
