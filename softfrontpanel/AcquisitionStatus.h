// The acquisition status the whole program shares: what the last poll of the cards said and
// the counters of the running acquisition. The block callback of continuous acquisition runs
// on the driver's thread, so every member is exchanged and read atomically, one at a time;
// nothing guards them as a group.
#pragma once

#include <atomic>
#include <cstdint>

struct AcquisitionStatus {
    std::atomic<int16_t> state{0};    // last state code (0 "Idle" .. 7 "End")
    std::atomic<uint16_t> errors{0};  // last error word
    std::atomic<uint32_t> backlog{0}; // scans waiting in the cards
    std::atomic<int16_t> overflow{0}; // last overflow indicator (kept, not shown)
    std::atomic<bool> callbacksEnabled{false};
    std::atomic<bool> callbackStopped{false};
    std::atomic<bool> singleDone{false};
    std::atomic<uint32_t> blocksRead{0};
    std::atomic<uint64_t> bytesWritten{0};

    // The four values of one poll, each exchanged on its own.
    void storePoll(int16_t newState, uint16_t newErrors, uint32_t newBacklog, int16_t newOverflow) {
        state.exchange(newState);
        errors.exchange(newErrors);
        backlog.exchange(newBacklog);
        overflow.exchange(newOverflow);
    }

    // A new acquisition starts with clean counters and no latched error, so that nothing of
    // the previous run (an overrange lamp, a block number) shows in the new one.
    void resetForStart() {
        bytesWritten.exchange(0);
        blocksRead.exchange(0);
        errors.exchange(0);
    }
};

extern AcquisitionStatus acquisitionStatus;
