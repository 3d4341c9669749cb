// Runs jobs one after the other on a thread of its own, keeping at most one waiting: a job
// handed over while another waits replaces it. For analyses of a stream of blocks where only
// the newest matters: a producer faster than the analysis never builds a queue, and the results
// come in the order the jobs were handed over.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class NewestJobRunner {
public:
    NewestJobRunner() = default;
    // Waits for the running job; a waiting one is dropped.
    ~NewestJobRunner();
    NewestJobRunner(const NewestJobRunner &) = delete;
    NewestJobRunner &operator=(const NewestJobRunner &) = delete;

    // Runs job once the running one ended. Returns true when this dropped a job that was waiting.
    bool submit(std::function<void()> job);
    // True while a job runs or waits.
    bool busy() const;

private:
    void loop();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_waiting;
    bool m_running = false;
    bool m_ending = false;
    std::thread m_thread; // started with the first job
};
