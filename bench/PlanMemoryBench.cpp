// Peak memory of the display spectra and the analyses of 8 channels of 131071 scans (a prime:
// Bluestein's plan, about a gigabyte at this padding) with zero padding 100, run by 2 and by 8
// workers, against the same run by one worker. Each count runs in a fresh process of this
// program, so that every peak is its own: the growth of the peak resident set (VmHWM) over
// the resident set before the first plan. It reports; it never fails.
#include "Fft.h"
#include "acperf.h"
#include "displaySpectrum.h"
#include "fftWindow.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kChannels = 8;
constexpr int kScans = 131071;
constexpr int kZeroPadding = 100;
constexpr double kRate = 216000.0;

// A field of /proc/self/status in kB (VmRSS, VmHWM).
long statusKb(const char *field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0 && line[length] == ':')
            return std::atol(line.c_str() + length + 1);
    return -1;
}

// The child: prints the peak growth in kB and the seconds taken.
int runChild(unsigned workers) {
    std::vector<std::vector<double>> data(kChannels, std::vector<double>(kScans));
    std::vector<const double *> blocks;
    for (int c = 0; c < kChannels; ++c) {
        for (int i = 0; i < kScans; ++i)
            data[c][i] = (1.0 + 0.1 * c) * std::sin(6.283185307179586 * (1000.0 + 137.0 * c) * i / kRate);
        blocks.push_back(data[c].data());
    }
    std::vector<double> window(kScans);
    fftWindow(fftWindowBlackmanHarris7, kScans, window.data());
    setTransformWorkers(workers);
    const long before = statusKb("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    {
        std::vector<SpectrumCurve> curves;
        displaySpectra(kScans, kRate, kZeroPadding, window.data(), blocks, curves);
    }
    const auto analyses = analyseChannels(kScans, blocks, kRate, kZeroPadding);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld %.1f\n", statusKb("VmHWM") - before, seconds);
    return analyses.size() == kChannels ? 0 : 1;
}

// Runs this program as a child for that many workers; false when it could not.
bool measure(unsigned workers, long &growthKb, double &seconds) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return false;
    self[length] = '\0';
    const std::string command = std::string("'") + self + "' --child " + std::to_string(workers);
    FILE *child = popen(command.c_str(), "r");
    if (!child)
        return false;
    const bool read = std::fscanf(child, "%ld %lf", &growthKb, &seconds) == 2;
    return pclose(child) == 0 && read;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return runChild(unsigned(std::atoi(argv[2])));
    std::printf("Peak memory of display spectra and analyses, %d channels x %d scans, zero padding %d\n",
                kChannels, kScans, kZeroPadding);
    long one = 0;
    for (const unsigned workers : {1u, 2u, 8u}) {
        long growth = 0;
        double seconds = 0;
        if (!measure(workers, growth, seconds)) {
            std::printf("  %u workers: the child run failed\n", workers);
            continue;
        }
        if (workers == 1)
            one = growth;
        std::printf("  %u worker%s: peak growth %7.0f MB, %.2fx one worker's (%.1f s)\n", workers,
                    workers == 1 ? " " : "s", growth / 1024.0, one > 0 ? double(growth) / one : 0.0, seconds);
    }
    return 0;
}
