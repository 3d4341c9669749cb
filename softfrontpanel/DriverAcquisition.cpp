#include "DriverAcquisition.h"

#include "AcquisitionStatus.h"
#include "DriverErrorReporter.h"

#include "visa.h"

DriverAcquisition::DriverAcquisition(ViSession d_vi) : m_vi(d_vi) {
    check(kq7150_getMultFCsession(m_vi, 0, &m_fc), "kq7150_getMultFCsession(d_vi, 0, &fc_vi)");
}

bool DriverAcquisition::check(ViStatus status, const char *call) {
    if (status >= VI_SUCCESS)
        return true;
    DriverErrorReporter::report(status, call);
    return false;
}

const kq7150_multEnv *DriverAcquisition::environment() {
    kq7150_multEnv *env = nullptr;
    if (!check(viGetAttribute(m_vi, VI_ATTR_USER_DATA, &env),
               "viGetAttribute(d_vi, VI_ATTR_USER_DATA, &multEnv)"))
        return nullptr;
    return env;
}

bool DriverAcquisition::configure(const TriggerPlan &plan, int edge, double level,
                                  std::vector<uint16_t> masks, double rate, int32_t pipeline) {
    bool ok = check(kq7150_setMultTrigConfig(m_vi, plan.driverSource, kq7150_MODE_EDGE,
                                             static_cast<ViInt16>(edge), level, plan.preTrigger),
                    "kq7150_setMultTrigConfig(d_vi, trg, kq7150_MODE_EDGE, edge, level, preTrig)");
    ok &= check(kq7150_multConfig(m_vi, kq7150_SYNC_MBA, masks.data(), rate, plan.mode, plan.scansPerTrigger,
                                  plan.synch, plan.synch),
                "kq7150_multConfig(d_vi, kq7150_SYNC_MBA, chMask, freq, mode, scans_trig, synch, synch)");
    ok &= check(kq7150_setAcquisitionAttribute(m_vi, kq7150_ATTR_PIPELINE_COMP, &pipeline),
                "kq7150_setAcquisitionAttribute(d_vi, 2, &pipeline)");
    return ok;
}

bool DriverAcquisition::start() {
    return check(kq7150_startMultAcquisition(m_vi), "kq7150_startMultAcquisition(d_vi)");
}

bool DriverAcquisition::startWithCallback(int32_t scans, kq7150_callback_t callback, ViAddr userData) {
    return check(kq7150_startMultAcquisitionEx(m_vi, scans, callback, userData),
                 "kq7150_startMultAcquisitionEx(d_vi, scans, callback, (ViAddr)&contParams)");
}

bool DriverAcquisition::rearm() {
    return check(kq7150_startMultAcquisition(m_vi), "status");
}

bool DriverAcquisition::poll(AcquisitionStatus &status) {
    ViInt16 state = 0, overflow = 0;
    ViUInt16 errors = 0;
    ViUInt32 backlog = 0;
    if (!check(kq7150_checkMultAcquisition(m_vi, &state, &errors, &backlog, &overflow),
               "kq7150_checkMultAcquisition(d_vi, &state, &errors, &backlog, &overflow)"))
        return false;
    status.storePoll(state, errors, backlog, overflow);
    return true;
}

bool DriverAcquisition::stop() {
    return check(kq7150_stopMultAcquisition(m_vi), "kq7150_stopMultAcquisition(d_vi)");
}

bool DriverAcquisition::read(int32_t scans, double *data) {
    return check(kq7150_readMultAcquisition(m_vi, scans, data),
                 "kq7150_readMultAcquisition(d_vi, scans, data)");
}

bool DriverAcquisition::softwareTrigger() {
    return check(kq7150_generateITRI(m_fc, kq7150_PULSE), "kq7150_generateITRI(fc_vi, kq7150_PULSE)");
}

void DriverAcquisition::startTimed(startMultInThd_params_t *params) {
    if (params->callback)
        params->status = kq7150_startMultAcquisitionTimed64Ex(
            params->session, params->scans, params->callback, params->userData, params->startTime, 0);
    else
        params->status = kq7150_startMultAcquisitionTimed64(params->session, params->startTime);
}
