#include "ParallelBlocks.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The blocks shared by the workers and the results waiting for the caller.
class Queue {
public:
    Queue(uint64_t first, uint64_t count, uint64_t lead)
        : m_next(first), m_end(first + count), m_lead(lead), m_handed(first) {}

    // The next block to do; false when there is none left or the run stopped. Waits while
    // the workers are too far ahead of the caller.
    bool take(uint64_t &block) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || m_next >= m_end || m_next < m_handed + m_lead; });
        if (m_stopped || m_next >= m_end)
            return false;
        block = m_next++;
        return true;
    }
    void put(uint64_t block, ParallelBlocks::Result result) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done.emplace(block, std::move(result));
        m_changed.notify_all();
    }
    // The result of that block, once there.
    ParallelBlocks::Result wait(uint64_t block) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_done.count(block) != 0; });
        ParallelBlocks::Result result = std::move(m_done[block]);
        m_done.erase(block);
        m_handed = block + 1;
        m_stopped = m_stopped || result.stop;
        m_changed.notify_all();
        return result;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_next;
    const uint64_t m_end;
    const uint64_t m_lead;
    uint64_t m_handed;
    bool m_stopped = false;
    std::map<uint64_t, ParallelBlocks::Result> m_done;
};

// A job that throws (out of memory) ends the run with its message.
ParallelBlocks::Result attempt(const ParallelBlocks::Job &job, uint64_t block) {
    try {
        return job(block);
    } catch (const std::exception &e) {
        ParallelBlocks::Result result;
        result.err = "block " + std::to_string(block + 1) + ": " + e.what() + "\n";
        result.stop = true;
        return result;
    }
}

void work(Queue &queue, const ParallelBlocks::Job &job) {
    uint64_t block = 0;
    while (queue.take(block))
        queue.put(block, attempt(job, block));
}

} // namespace

void ParallelBlocks::run(uint64_t first, uint64_t count, unsigned workers, const std::function<Job()> &newJob,
                         const std::function<void(uint64_t, const Result &)> &deliver) {
    if (count == 0)
        return;
    workers = std::max(1u, workers);
    Queue queue(first, count, 4 * uint64_t(workers));
    std::vector<Job> jobs;
    for (unsigned w = 0; w < workers; ++w)
        jobs.push_back(newJob());
    std::vector<std::thread> threads;
    for (const Job &job : jobs) {
        try {
            threads.emplace_back(work, std::ref(queue), std::cref(job));
        } catch (const std::system_error &) {
            break; // fewer workers than cores: the ones there are take all the blocks
        }
    }
    for (uint64_t b = first; b < first + count; ++b) {
        // Without any thread, the blocks are done here, one after the other.
        const Result result = threads.empty() ? attempt(jobs.front(), b) : queue.wait(b);
        deliver(b, result);
        if (result.stop)
            break;
    }
    for (std::thread &thread : threads)
        thread.join();
}
