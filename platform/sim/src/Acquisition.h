// One multi-card acquisition: the shared scan clock, the trigger state machine, the card
// memory and the driver's callback thread. Scans are produced lazily, whenever a call
// looks at the acquisition, for the time that has passed since the start.
#pragma once

#include "CardClock.h"
#include "ChannelSignal.h"
#include "ScanFifo.h"
#include "SimConfig.h"

#include "kq7150.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kqsim {

// What one enabled channel produces during an acquisition.
struct ChannelPlan {
    int globalChannel = 0; // card index * 8 + channel index, 0-based
    SignalConfig signal;
    FrontEnd frontEnd;
    uint64_t seed = 1;
};

struct StartPlan {
    std::vector<ChannelPlan> channels;  // the enabled channels in block order
    std::optional<ChannelPlan> trigger; // the channel an edge trigger watches
    size_t fifoScans = 0;               // card memory per channel, in scans
    int frontPanelPeriodMs = 0;
    ErrorWordFault errorWord;
    CallbackStall stall;
};

struct BlockCallback {
    kq7150_callback_t function = nullptr;
    ViSession session = 0;
    ViAddr userData = nullptr;
    int32_t scansPerBlock = 0;
    // Held by the callback thread, so that a callback may close its own session.
    std::shared_ptr<void> keepAlive;
};

class Acquisition {
public:
    explicit Acquisition(const CardClock &clock) : clock_(clock) {}
    ~Acquisition();
    Acquisition(const Acquisition &) = delete;
    Acquisition &operator=(const Acquisition &) = delete;

    ViStatus setTrigger(int source, int mode, int edge, double level, int32_t preTrigger);
    ViStatus configure(const std::vector<uint16_t> &masks, double rate, int acqMode, int32_t scansPerTrigger);
    ViStatus setPipeline(int32_t value);
    // The masks of the last successful configure(), empty before.
    std::vector<uint16_t> masks() const;
    int triggerSource() const;

    // Starts now, or at startTime (card seconds) when given: then the call blocks until that
    // time, or until stop() aborts the wait. With a callback, a driver thread calls it once
    // per block of acquired scans.
    ViStatus start(const StartPlan &plan, const BlockCallback *callback, std::optional<uint64_t> startTime);
    ViStatus check(ViInt16 *state, ViUInt16 *errors, ViUInt32 *backlog, ViInt16 *overflow);
    // Exactly one of volts / counts is given; seconds and nanoseconds are optional.
    ViStatus read(int32_t scans, double *volts, int32_t *counts, ViUInt32 *seconds, ViUInt32 *nanoseconds);
    ViStatus stop();
    ViStatus softwareTrigger();

    // True on the driver's callback thread while it runs a callback.
    static bool inCallback();

private:
    enum class Phase { Idle, WaitingTimed, PreTrig, Ready, PostTrig, End };
    using Clock = std::chrono::steady_clock;
    using Lock = std::unique_lock<std::mutex>;

    ViStatus beginLocked(Lock &lock, const StartPlan &plan, std::optional<uint64_t> startTime);
    void advance(Clock::time_point now);
    uint64_t scansAt(Clock::time_point now) const;
    void keepHistory(uint64_t n);
    std::optional<uint64_t> findTrigger(uint64_t n);
    std::optional<uint64_t> findEdge(uint64_t n);
    void fireTrigger();
    void store(uint64_t n);
    void generate(int k, uint64_t first, size_t n, int32_t *dst);
    bool waitForScans(Lock &lock, size_t scans);
    void convert(size_t scans, double *volts, int32_t *counts, ViUInt32 *seconds, ViUInt32 *nanoseconds);
    void callbackLoop(BlockCallback callback, CallbackStall stall);
    void joinCallbackThread();

    const CardClock &clock_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;

    // Settings.
    int trigSource_ = kq7150_TRIG_NONE;
    int edge_ = 1;
    double level_ = 0.0;
    int32_t preTrigger_ = 0;
    std::vector<uint16_t> masks_;
    double rate_ = 0.0;
    int acqMode_ = kq7150_ACQ_UNTRIGGERED;
    int32_t scansPerTrigger_ = 0;
    int32_t pipeline_ = 0;

    // The running acquisition.
    Phase phase_ = Phase::Idle;
    bool abortTimed_ = false;
    bool softTrigger_ = false;
    bool triggered_ = false;
    Clock::time_point t0_;
    CardTime tai0_;
    uint64_t processed_ = 0; // scans since scan 0 that the clock has produced and we handled
    uint64_t acquired_ = 0;  // scans acquired since the trigger, pre-trigger history included
    uint16_t errors_ = 0;
    int16_t overflow_ = 0;
    std::vector<ChannelSignal> signals_;
    std::vector<int> globalChannels_;
    std::vector<int> gains_;
    std::optional<ChannelSignal> triggerSignal_;
    double lastTriggerValue_ = 0.0;
    bool haveLastTriggerValue_ = false;
    int frontPanelPeriodMs_ = 0;
    ErrorWordFault errorWord_;
    ScanFifo fifo_;
    std::vector<int32_t> countScratch_;
    std::vector<uint64_t> scanScratch_;
    std::vector<double> voltScratch_;

    // The callback thread.
    std::thread callbackThread_;
    bool stopThread_ = false;
};

} // namespace kqsim
