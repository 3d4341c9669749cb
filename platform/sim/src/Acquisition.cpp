#include "Acquisition.h"

#include <algorithm>
#include <bitset>
#include <cmath>

namespace kqsim {

namespace {
thread_local bool t_inCallback = false;
constexpr double kMinRate = 200.0;
constexpr double kMaxRate = 216000.0;
// Scans looked at in one piece while searching for an edge, to bound scratch memory.
constexpr uint64_t kEdgeChunk = 65536;
} // namespace

bool Acquisition::inCallback() {
    return t_inCallback;
}

Acquisition::~Acquisition() {
    stop();
    // Still joinable only when the last owner let go on the callback thread itself (a
    // callback that closed its session); that thread ends right after this.
    if (callbackThread_.joinable())
        callbackThread_.detach();
}

ViStatus Acquisition::setTrigger(int source, int mode, int edge, double level, int32_t preTrigger) {
    if (mode != kq7150_MODE_EDGE)
        return kq7150_ERROR_MODE;
    if (source < kq7150_TRIG_NONE || source > kq7150_TRIG_FRONT_PANEL_LOW || (edge != 0 && edge != 1) ||
        !std::isfinite(level) || std::fabs(level) > ChannelSignal::kFullScale || preTrigger < 0)
        return kq7150_ERROR_TRIGGER;
    std::lock_guard<std::mutex> lock(mutex_);
    if (phase_ != Phase::Idle)
        return kq7150_ERROR_RUNNING;
    trigSource_ = source;
    edge_ = edge;
    level_ = level;
    preTrigger_ = preTrigger;
    return VI_SUCCESS;
}

ViStatus Acquisition::configure(const std::vector<uint16_t> &masks, double rate, int acqMode,
                                int32_t scansPerTrigger) {
    if (masks.empty() || masks[0] == 0 || masks[0] > 0xFF)
        return kq7150_ERROR_CHANNEL_MASK;
    // Every card contributes the same number of channels, or the blocks would not line up.
    const size_t perCard = std::bitset<16>(masks[0]).count();
    for (uint16_t m : masks)
        if (m > 0xFF || std::bitset<16>(m).count() != perCard)
            return kq7150_ERROR_CHANNEL_MASK;
    if (!std::isfinite(rate) || rate < kMinRate || rate > kMaxRate)
        return kq7150_ERROR_RATE;
    if (acqMode != kq7150_ACQ_UNTRIGGERED && acqMode != kq7150_ACQ_TRIGGERED)
        return kq7150_ERROR_MODE;
    if (scansPerTrigger < 0)
        return kq7150_ERROR_SCANS;
    std::lock_guard<std::mutex> lock(mutex_);
    if (phase_ != Phase::Idle)
        return kq7150_ERROR_RUNNING;
    masks_ = masks;
    rate_ = rate;
    acqMode_ = acqMode;
    scansPerTrigger_ = scansPerTrigger;
    return VI_SUCCESS;
}

ViStatus Acquisition::setPipeline(int32_t value) {
    if (value != 0 && value != 1)
        return kq7150_ERROR_ATTRIBUTE;
    std::lock_guard<std::mutex> lock(mutex_);
    pipeline_ = value;
    return VI_SUCCESS;
}

std::vector<uint16_t> Acquisition::masks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return masks_;
}

int Acquisition::triggerSource() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return acqMode_ == kq7150_ACQ_TRIGGERED ? trigSource_ : kq7150_TRIG_NONE;
}

ViStatus Acquisition::start(const StartPlan &plan, const BlockCallback *callback,
                            std::optional<uint64_t> startTime) {
    if (callback && (!callback->function || callback->scansPerBlock <= 0))
        return kq7150_ERROR_PARAMETER;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (phase_ != Phase::Idle)
            return kq7150_ERROR_RUNNING;
    }
    // A thread left by a stop from inside its own callback is joined before a new one starts.
    joinCallbackThread();
    Lock lock(mutex_);
    const ViStatus status = beginLocked(lock, plan, startTime);
    if (status == VI_SUCCESS && callback) {
        stopThread_ = false;
        callbackThread_ = std::thread(&Acquisition::callbackLoop, this, *callback, plan.stall);
    }
    return status;
}

ViStatus Acquisition::beginLocked(Lock &lock, const StartPlan &plan, std::optional<uint64_t> startTime) {
    if (phase_ != Phase::Idle)
        return kq7150_ERROR_RUNNING;
    if (masks_.empty())
        return kq7150_ERROR_NOT_CONFIGURED;
    if (scansPerTrigger_ > 0 && preTrigger_ >= scansPerTrigger_)
        return kq7150_ERROR_TRIGGER;
    if (startTime && *startTime < clock_.now().seconds)
        return kq7150_ERROR_START_TIME_PAST;

    signals_.assign(plan.channels.size(), ChannelSignal());
    globalChannels_.clear();
    gains_.clear();
    for (size_t k = 0; k < plan.channels.size(); ++k) {
        const ChannelPlan &c = plan.channels[k];
        signals_[k].configure(c.signal, rate_, c.frontEnd, c.seed);
        globalChannels_.push_back(c.globalChannel);
        gains_.push_back(c.frontEnd.gain);
    }
    triggerSignal_.reset();
    if (plan.trigger) {
        triggerSignal_.emplace();
        triggerSignal_->configure(plan.trigger->signal, rate_, plan.trigger->frontEnd, plan.trigger->seed);
    }
    const size_t capacity = std::max<size_t>(plan.fifoScans, static_cast<size_t>(preTrigger_) + 1);
    fifo_.reset(static_cast<int>(plan.channels.size()), capacity);
    frontPanelPeriodMs_ = plan.frontPanelPeriodMs;
    errorWord_ = plan.errorWord;
    errors_ = 0;
    overflow_ = 0;
    processed_ = 0;
    acquired_ = 0;
    triggered_ = false;
    softTrigger_ = false;
    haveLastTriggerValue_ = false;

    if (startTime) {
        phase_ = Phase::WaitingTimed;
        abortTimed_ = false;
        const Clock::time_point at = clock_.steadyAt(*startTime);
        wake_.wait_until(lock, at, [this] { return abortTimed_; });
        if (abortTimed_) {
            phase_ = Phase::Idle;
            return kq7150_ERROR_START_ABORTED;
        }
        // The alarm is the trigger: scan 0 is taken at the start time itself.
        t0_ = at;
        tai0_ = CardTime{*startTime, 0};
        fireTrigger();
        return VI_SUCCESS;
    }
    t0_ = Clock::now();
    tai0_ = clock_.at(t0_);
    phase_ = preTrigger_ > 0 ? Phase::PreTrig : Phase::Ready;
    return VI_SUCCESS;
}

uint64_t Acquisition::scansAt(Clock::time_point now) const {
    if (now <= t0_)
        return 0;
    const double elapsed = std::chrono::duration<double>(now - t0_).count();
    return static_cast<uint64_t>(elapsed * rate_);
}

// Brings the acquisition up to the given time: every scan the clock has produced since the
// last look goes through the trigger state machine into the card memory.
void Acquisition::advance(Clock::time_point now) {
    if (phase_ == Phase::Idle || phase_ == Phase::WaitingTimed)
        return;
    const uint64_t target = scansAt(now);
    while (processed_ < target) {
        const uint64_t n = target - processed_;
        if (phase_ == Phase::PreTrig) {
            const uint64_t piece = std::min<uint64_t>(n, preTrigger_ - processed_);
            keepHistory(piece);
            if (processed_ >= static_cast<uint64_t>(preTrigger_))
                phase_ = Phase::Ready;
        } else if (phase_ == Phase::Ready) {
            const std::optional<uint64_t> at = findTrigger(n);
            keepHistory(at ? *at : n);
            if (at)
                fireTrigger();
        } else if (phase_ == Phase::PostTrig) {
            uint64_t piece = n;
            if (scansPerTrigger_ > 0)
                piece = std::min<uint64_t>(piece, scansPerTrigger_ - acquired_);
            store(piece);
            if (scansPerTrigger_ > 0 && acquired_ >= static_cast<uint64_t>(scansPerTrigger_))
                phase_ = Phase::End;
        } else {
            processed_ = target; // "End": the card has stopped sampling
        }
    }
    if (errorWord_.afterScans >= 0 && processed_ >= static_cast<uint64_t>(errorWord_.afterScans))
        errors_ |= errorWord_.bits;
}

// Before the trigger only the newest pre-trigger scans matter; older ones are never made.
void Acquisition::keepHistory(uint64_t n) {
    const uint64_t keep = static_cast<uint64_t>(preTrigger_);
    if (keep == 0) {
        processed_ += n;
        return;
    }
    const uint64_t skip = n > keep ? n - keep : 0;
    processed_ += skip;
    const uint64_t make = n - skip;
    fifo_.keepNewest(static_cast<size_t>(keep - make));
    fifo_.append(
        processed_, static_cast<size_t>(make),
        [this](int k, uint64_t first, size_t count, int32_t *dst) { generate(k, first, count, dst); });
    processed_ += make;
}

// Offset, within the next n scans, of the scan that triggers, if any.
std::optional<uint64_t> Acquisition::findTrigger(uint64_t n) {
    if (softTrigger_) {
        softTrigger_ = false;
        return 0;
    }
    if (acqMode_ != kq7150_ACQ_TRIGGERED || trigSource_ == kq7150_TRIG_NONE)
        return std::nullopt;
    if (trigSource_ >= kq7150_TRIG_FRONT_PANEL_HIGH) {
        if (frontPanelPeriodMs_ <= 0)
            return std::nullopt;
        const uint64_t period =
            std::max<uint64_t>(1, static_cast<uint64_t>(frontPanelPeriodMs_ * 1e-3 * rate_));
        const uint64_t next = (processed_ / period + 1) * period;
        if (next - processed_ < n)
            return next - processed_;
        return std::nullopt;
    }
    return findEdge(n);
}

std::optional<uint64_t> Acquisition::findEdge(uint64_t n) {
    if (!triggerSignal_)
        return std::nullopt;
    for (uint64_t done = 0; done < n;) {
        const size_t piece = static_cast<size_t>(std::min(kEdgeChunk, n - done));
        voltScratch_.resize(piece);
        triggerSignal_->volts(processed_ + done, piece, voltScratch_.data());
        for (size_t i = 0; i < piece; ++i) {
            const double v = voltScratch_[i];
            const bool crossed =
                haveLastTriggerValue_ && (edge_ == 1 ? (lastTriggerValue_ < level_ && v >= level_)
                                                     : (lastTriggerValue_ > level_ && v <= level_));
            lastTriggerValue_ = v;
            haveLastTriggerValue_ = true;
            if (crossed)
                return done + i;
        }
        done += piece;
    }
    return std::nullopt;
}

void Acquisition::fireTrigger() {
    triggered_ = true;
    phase_ = Phase::PostTrig;
    acquired_ = fifo_.size();
}

// Scans after the trigger go to the card memory; what does not fit is lost and flagged.
void Acquisition::store(uint64_t n) {
    const uint64_t room = fifo_.capacity() - fifo_.size();
    const uint64_t kept = std::min(n, room);
    fifo_.append(
        processed_, static_cast<size_t>(kept),
        [this](int k, uint64_t first, size_t count, int32_t *dst) { generate(k, first, count, dst); });
    if (kept < n) {
        overflow_ = 1;
        errors_ |= kq7150_ERR_FIFO_OVERFLOW;
    }
    processed_ += n;
    acquired_ += n;
}

void Acquisition::generate(int k, uint64_t first, size_t n, int32_t *dst) {
    if (!signals_[k].counts(first, n, dst))
        return;
    // Bits 8 and up of the error word are status and acquisition-error flags (0x400, 0xF900),
    // so only the first card's eight channels have a bit of their own; every overrange raises
    // the common flag.
    errors_ |= kq7150_ERR_OUT_OF_RANGE;
    if (globalChannels_[k] < 8)
        errors_ |= static_cast<uint16_t>(1u << globalChannels_[k]);
}

ViStatus Acquisition::check(ViInt16 *state, ViUInt16 *errors, ViUInt32 *backlog, ViInt16 *overflow) {
    std::lock_guard<std::mutex> lock(mutex_);
    advance(Clock::now());
    static const ViInt16 kState[] = {kq7150_STATE_IDLE,  kq7150_STATE_HW_ARM,    kq7150_STATE_PRE_TRIG,
                                     kq7150_STATE_READY, kq7150_STATE_POST_TRIG, kq7150_STATE_END};
    if (state)
        *state = kState[static_cast<int>(phase_)];
    if (errors)
        *errors = errors_;
    if (backlog)
        *backlog = triggered_ ? static_cast<ViUInt32>(fifo_.size()) : 0;
    if (overflow)
        *overflow = overflow_;
    return VI_SUCCESS;
}

ViStatus Acquisition::softwareTrigger() {
    std::lock_guard<std::mutex> lock(mutex_);
    advance(Clock::now());
    // A pulse while the pre-trigger history is still filling, or after the trigger, is ignored.
    if (phase_ == Phase::Ready)
        softTrigger_ = true;
    return VI_SUCCESS;
}

ViStatus Acquisition::read(int32_t scans, double *volts, int32_t *counts, ViUInt32 *seconds,
                           ViUInt32 *nanoseconds) {
    if (scans <= 0)
        return kq7150_ERROR_SCANS;
    Lock lock(mutex_);
    advance(Clock::now());
    if (!waitForScans(lock, static_cast<size_t>(scans)))
        return kq7150_ERROR_NO_DATA;
    convert(static_cast<size_t>(scans), volts, counts, seconds, nanoseconds);
    return VI_SUCCESS;
}

// A read of scans that are still being acquired waits for them, as the card would.
bool Acquisition::waitForScans(Lock &lock, size_t scans) {
    if (!triggered_)
        return false;
    if (fifo_.size() >= scans)
        return true;
    const double missing = static_cast<double>(scans - fifo_.size()) / rate_;
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(missing + 1.0));
    while (fifo_.size() < scans) {
        const bool producing = phase_ == Phase::PostTrig;
        if (!producing || Clock::now() >= deadline)
            return false;
        wake_.wait_for(lock, std::chrono::milliseconds(5));
        advance(Clock::now());
    }
    return true;
}

void Acquisition::convert(size_t scans, double *volts, int32_t *counts, ViUInt32 *seconds,
                          ViUInt32 *nanoseconds) {
    const size_t channels = signals_.size();
    int32_t *raw = counts;
    if (!raw) {
        countScratch_.resize(scans * channels);
        raw = countScratch_.data();
    }
    scanScratch_.resize(scans);
    fifo_.pop(scans, raw, scanScratch_.data());
    for (size_t k = 0; volts && k < channels; ++k) {
        const double lsb = ChannelSignal::lsb(gains_[k]);
        for (size_t s = 0; s < scans; ++s)
            volts[k * scans + s] = raw[k * scans + s] * lsb;
    }
    for (size_t s = 0; (seconds || nanoseconds) && s < scans; ++s) {
        const CardTime t = CardClock::plus(tai0_, static_cast<double>(scanScratch_[s]) / rate_);
        if (seconds)
            seconds[s] = static_cast<ViUInt32>(t.seconds);
        if (nanoseconds)
            nanoseconds[s] = t.nanoseconds;
    }
}

ViStatus Acquisition::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (phase_ == Phase::WaitingTimed)
            abortTimed_ = true;
        else
            advance(Clock::now()); // what was acquired until now stays readable
        if (phase_ != Phase::WaitingTimed)
            phase_ = Phase::Idle;
        stopThread_ = true;
    }
    wake_.notify_all();
    joinCallbackThread();
    return VI_SUCCESS;
}

void Acquisition::joinCallbackThread() {
    if (callbackThread_.joinable() && callbackThread_.get_id() != std::this_thread::get_id())
        callbackThread_.join();
}

// The driver thread: one call per block of acquired scans, at the pace of the scan clock.
// A slow callback delays the following calls, never skips them, so the backlog grows.
void Acquisition::callbackLoop(BlockCallback callback, CallbackStall stall) {
    uint64_t signalled = 0;
    Lock lock(mutex_);
    while (!stopThread_) {
        advance(Clock::now());
        const uint64_t need = (signalled + 1) * static_cast<uint64_t>(callback.scansPerBlock);
        if (acquired_ >= need) {
            if (stall.afterBlocks >= 0 && signalled == static_cast<uint64_t>(stall.afterBlocks))
                wake_.wait_for(lock, std::chrono::milliseconds(stall.milliseconds),
                               [this] { return stopThread_; });
            if (stopThread_)
                break;
            ++signalled;
            lock.unlock();
            t_inCallback = true;
            callback.function(callback.session, callback.userData);
            t_inCallback = false;
            lock.lock();
            continue;
        }
        double wait = 0.005;
        if (triggered_ && phase_ == Phase::PostTrig)
            wait = static_cast<double>(need - acquired_) / rate_;
        wait = std::clamp(wait, 0.0005, 0.05);
        wake_.wait_for(lock, std::chrono::duration<double>(wait));
    }
}

} // namespace kqsim
