#include "TriggerPlan.h"

int32_t TriggerPlan::preTriggerScans(int positionIndex, int scans) {
    switch (positionIndex) {
    case 1:
        return scans / 4;
    case 2:
        return scans / 2;
    case 3:
        return static_cast<int32_t>(3LL * scans / 4);
    case 4:
        return scans - 1;
    default:
        return 0;
    }
}

TriggerPlan TriggerPlan::make(int source, int positionIndex, int scans, bool lxi, bool storage) {
    TriggerPlan plan;
    plan.driverSource = static_cast<int16_t>(source == kPtpAlarm ? kNone : source);
    plan.scansPerTrigger = storage ? 0 : scans;
    plan.mode = (source == kNone || source == kPtpAlarm) ? 0 : 1;
    // An LXI box cannot stop its cards after a count of scans on a hardware trigger.
    if (plan.mode == 1 && lxi)
        plan.scansPerTrigger = 0;
    // The cards start sampling at the alarm itself: there are no scans before it to keep, and
    // a pre-trigger would shift the time axis and the stored time offset against the scan times.
    plan.preTrigger = source == kPtpAlarm ? 0 : preTriggerScans(positionIndex, scans);
    plan.synch = lxi ? 0xFFFF : 0xFFFE;
    return plan;
}
