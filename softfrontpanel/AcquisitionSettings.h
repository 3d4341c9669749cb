// What an acquisition of the cards runs with, taken from the panels when a start button is
// pressed: the panels may change afterwards without touching the acquisition in progress.
#pragma once

#include "ChannelSelection.h"
#include "TriggerPlan.h"

#include <cstdint>
#include <string>
#include <vector>

struct AcquisitionSettings {
    double rate = 1.0;
    int32_t pipeline = 0;
    ChannelSelection channels{1};
    int scans = 0;
    int triggerSource = TriggerPlan::kNone; // item data of the source choice
    int triggerPosition = 0;                // 0 "Start" .. 4 "End"
    int triggerEdge = 0;
    double triggerLevel = 0.0;
    bool lxi = false;
    bool repetitive = false;
    uint64_t alarmTime = 0; // card seconds of a start at the PTP alarm

    // Continuous acquisition into a file: the ring, the writer and the block callback.
    bool storage = false;
    int format = 0;       // StorageFormat code
    std::string fileName; // as the user gave it, for messages
    std::string filePath; // the same in the file system's encoding, to open
    bool timestamps = false;
    std::vector<int> gainIndex; // per card 8 entries

    TriggerPlan plan() const {
        return TriggerPlan::make(triggerSource, triggerPosition, scans, lxi, storage);
    }
    bool untriggered() const {
        return triggerSource == TriggerPlan::kNone || triggerSource == TriggerPlan::kPtpAlarm;
    }
};
