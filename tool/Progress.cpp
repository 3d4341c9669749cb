#include "Progress.h"

#include <cinttypes>
#include <cstdio>
#include <unistd.h>

Progress::Progress(uint64_t total) : m_total(total), m_terminal(isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
    if (m_shown)
        std::fputs("\n", stderr);
}

void Progress::show(uint64_t k) {
    if (!m_terminal)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_shown && k < m_total && now - m_last < std::chrono::milliseconds(100))
        return;
    m_last = now;
    m_shown = true;
    std::fprintf(stderr, "\rblock %" PRIu64 " / %" PRIu64, k, m_total);
    std::fflush(stderr);
}
