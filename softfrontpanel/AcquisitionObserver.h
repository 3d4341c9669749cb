// What the acquisition engine tells the one who shows it. Every call comes on the thread that
// started or polls the engine.
#pragma once

#include "StatusLine.h"
#include "StorageSummary.h"

#include <cstdint>
#include <functional>
#include <string>

class AcquisitionObserver {
public:
    virtual ~AcquisitionObserver() = default;
    // The times of the first and one past the last scan of the block about to be read.
    virtual void blockRange(double t0, double t1) = 0;
    // The block is in the view buffer.
    virtual void blockReady() = 0;
    virtual void status(const StatusLine &line) = 0;
    // The overrange bits of the error word seen with a block.
    virtual void overrange(uint16_t errors) = 0;
    virtual void fileSize(uint64_t bytes, uint32_t backlog) = 0;
    virtual void summary(const StorageSummary &summary) = 0;
    // An error the user must read, e.g. the first error of a recording.
    virtual void error(const std::string &text) = 0;
    virtual void cannotOpen(const std::string &fileName) = 0;
    // The acquisition ended by itself (a single shot, an acquisition error): stop it.
    virtual void ended() = 0;
    // A single shot's block is stored: release its button.
    virtual void singleShotStored() = 0;
    // A driver call failed (already reported): polling ends, the cards are left as they are.
    virtual void failed() = 0;
    // The cards start at the alarm on a thread of their own; returns once reached() holds.
    // The engine may be stopped meanwhile.
    virtual void awaitAlarm(const std::function<bool()> &reached) = 0;
};
