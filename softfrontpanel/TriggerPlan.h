// How the cards are told to trigger and how many scans they keep, from the choices of the
// acquisition settings: the numbers handed to the trigger and acquisition configuration.
#pragma once

#include <cstdint>

struct TriggerPlan {
    // Source codes of the trigger source choice.
    static constexpr int kNone = 0;
    static constexpr int kFrontPanelLow = 10;
    static constexpr int kPtpAlarm = -1;

    int16_t driverSource = 0;    // the source as the driver takes it (the PTP alarm is a start, not a source)
    int16_t mode = 0;            // kq7150_ACQ_UNTRIGGERED or kq7150_ACQ_TRIGGERED
    int32_t scansPerTrigger = 0; // 0: the cards run until stopped
    int32_t preTrigger = 0;      // scans kept before the trigger
    uint16_t synch = 0xFFFE;     // both synchronisation words

    // source: item data of the source choice; positionIndex 0 "Start" .. 4 "End"; scans N;
    // storage: continuous acquisition to a file.
    static TriggerPlan make(int source, int positionIndex, int scans, bool lxi, bool storage);

    // Scans before the trigger for a trigger position index: 0, N/4, N/2, 3N/4, N-1.
    static int32_t preTriggerScans(int positionIndex, int scans);

    static bool isChannel(int source) { return source >= 1 && source <= 8; }
};
