#include "NewestJobRunner.h"

#include <utility>

NewestJobRunner::~NewestJobRunner() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ending = true;
        m_waiting = nullptr;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

bool NewestJobRunner::submit(std::function<void()> job) {
    bool dropped;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        dropped = static_cast<bool>(m_waiting);
        m_waiting = std::move(job);
        if (!m_thread.joinable())
            m_thread = std::thread(&NewestJobRunner::loop, this);
    }
    m_wake.notify_one();
    return dropped;
}

bool NewestJobRunner::busy() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running || m_waiting;
}

void NewestJobRunner::loop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_ending || m_waiting; });
        if (m_ending)
            return;
        std::function<void()> job = std::move(m_waiting);
        m_waiting = nullptr;
        m_running = true;
        lock.unlock();
        job();
        job = nullptr; // what it holds goes before the runner says it is idle
        lock.lock();
        m_running = false;
    }
}
