// "block k / n" on standard error while a long command runs, only when standard error is a
// terminal: a script that collects the messages gets no progress lines among them.
#pragma once

#include <chrono>
#include <cstdint>

class Progress {
public:
    explicit Progress(uint64_t total);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // k blocks are done. Shown at most ten times a second, and for the last block.
    void show(uint64_t k);

private:
    uint64_t m_total;
    bool m_shown = false;
    bool m_terminal;
    std::chrono::steady_clock::time_point m_last;
};
