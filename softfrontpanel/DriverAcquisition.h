// The driver calls of single-shot and repetitive acquisition on a multi-card session. Each
// call that fails is reported with its own text and the driver's message; the caller decides
// whether to go on.
#pragma once

#include "TriggerPlan.h"

#include "kq7150.h"

#include <cstdint>
#include <vector>

struct AcquisitionStatus;

// What a start at a PTP time needs on the thread that waits for it, and what it returned.
struct startMultInThd_params_t {
    ViSession session = 0;
    ViStatus status = 0;
    uint64_t startTime = 0; // card seconds
    kq7150_callback_t callback = nullptr;
    ViAddr userData = nullptr;
    int32_t scans = 0; // scans per callback block; 0 without a callback
};

class DriverAcquisition {
public:
    // Obtains the session of card 0, which takes the software trigger pulses.
    explicit DriverAcquisition(ViSession d_vi);

    ViSession session() const { return m_vi; }
    ViSession cardZero() const { return m_fc; }

    // The driver's record of the cards in the session; null when it cannot be read.
    const kq7150_multEnv *environment();

    // Trigger, acquisition and pipeline settings, in this order; a failing call does not keep
    // the next from being made. True when all three succeeded.
    bool configure(const TriggerPlan &plan, int edge, double level, std::vector<uint16_t> masks, double rate,
                   int32_t pipeline);
    bool start();
    // Starts with the block callback, called once per block of scans on the driver's thread.
    bool startWithCallback(int32_t scans, kq7150_callback_t callback, ViAddr userData);
    // Re-arms after a block was read; reported as "status", as the panel always has.
    bool rearm();
    // Stores state, error word, backlog and overflow in status.
    bool poll(AcquisitionStatus &status);
    bool stop();
    bool read(int32_t scans, double *data);
    bool softwareTrigger();

    // Runs on a pool thread: starts at params.startTime, with the block callback when one is
    // given. Leaves the driver's status in params.status and reports nothing.
    static void startTimed(startMultInThd_params_t *params);

private:
    bool check(ViStatus status, const char *call);

    ViSession m_vi;
    ViSession m_fc = 0;
};
