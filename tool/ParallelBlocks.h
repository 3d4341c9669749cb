// Runs one job per block on several threads and hands the results over in block order, each
// as soon as every block before it is done: the output of a long file starts at once, comes
// out in order, and only a few finished blocks wait in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class ParallelBlocks {
public:
    struct Result {
        std::string out;   // for standard output
        std::string err;   // for standard error
        bool stop = false; // no block after this one is handed over
    };
    // The job of one worker: block number (from 0) to result. Each worker has a job of its
    // own, so a job may keep its buffers from block to block.
    using Job = std::function<Result(uint64_t block)>;

    // Blocks first .. first + count - 1 on that many workers (at least one); newJob is called
    // once per worker before any starts. deliver gets every result in block order, on the
    // calling thread, until one that stops.
    static void run(uint64_t first, uint64_t count, unsigned workers, const std::function<Job()> &newJob,
                    const std::function<void(uint64_t block, const Result &)> &deliver);
};
