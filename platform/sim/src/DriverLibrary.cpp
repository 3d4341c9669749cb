// The 7150 instrument driver over the simulated world.
#include "Guarded.h"
#include "SimWorld.h"
#include "StatusText.h"

#include "kq7150.h"

#include <cstdio>
#include <cstring>

using namespace kqsim;

namespace {

SimWorld &world() {
    return SimWorld::instance();
}

const char kDriverRevision[] = "2.8.0.4471 (simulated cards)";

ViStatus fault(const char *call, int cardIndex = -1, int channel = -1) {
    return world().faults().check(call, cardIndex, channel, Acquisition::inCallback());
}

void copyText(const std::string &text, ViChar *out) {
    if (out)
        std::snprintf(out, kq7150_TEXT_BUFLEN, "%s", text.c_str());
}

// The session's multi-card record, or null with the status to return.
std::shared_ptr<MultiSession> multiOf(ViSession vi, ViStatus &status) {
    auto m = world().multi(vi);
    status = m ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
    return m;
}

// The same, after the call has passed the fault plan.
std::shared_ptr<MultiSession> multiFor(ViSession vi, const char *call, ViStatus &status) {
    auto m = multiOf(vi, status);
    if (m)
        status = fault(call);
    return status == VI_SUCCESS ? m : nullptr;
}

// The card of a card session after the call has passed the fault plan, or null with the
// status to return.
Card *cardFor(ViSession fcVi, const char *call, ViStatus &status, int channel = -1) {
    int index = -1;
    Card *card = world().card(fcVi, &index);
    status = fault(call, index, channel);
    if (status == VI_SUCCESS && !card)
        status = VI_ERROR_INV_OBJECT;
    return status == VI_SUCCESS ? card : nullptr;
}

ViStatus start(ViSession vi, const char *call, const BlockCallback *callback, std::optional<uint64_t> at) {
    ViStatus status;
    auto m = multiFor(vi, call, status);
    if (!m)
        return status;
    if (!callback)
        return m->acquisition->start(world().startPlan(*m), nullptr, at);
    BlockCallback held = *callback;
    held.keepAlive = m;
    return m->acquisition->start(world().startPlan(*m), &held, at);
}

ViStatus read(ViSession vi, const char *call, ViInt32 scans, ViReal64 *volts, ViInt32 *counts, ViUInt32 *sec,
              ViUInt32 *ns) {
    world().log().record(call, CallLog::format("scans=%d", scans));
    ViStatus status;
    auto m = multiFor(vi, call, status);
    if (!m)
        return status;
    if (!volts && !counts)
        return kq7150_ERROR_PARAMETER;
    return m->acquisition->read(scans, volts, counts, sec, ns);
}

} // namespace

extern "C" {

ViStatus _VI_FUNC kq7150_multInit(ViConstRsrc resourceList, ViInt16 cardNumbers[], ViBoolean idQuery,
                                  ViBoolean resetDevice, ViPSession vi) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_multInit",
                             CallLog::format("list=%s idQuery=%d reset=%d",
                                             resourceList ? resourceList : "(null)", idQuery, resetDevice));
        if (ViStatus s = fault("kq7150_multInit"))
            return s;
        if (!resourceList || !cardNumbers || !vi)
            return kq7150_ERROR_PARAMETER;
        return world().openMulti(resourceList, cardNumbers, resetDevice != 0, vi);
    });
}

ViStatus _VI_FUNC kq7150_multClose(ViSession vi) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_multClose", "");
        ViStatus status;
        if (!multiOf(vi, status))
            return status;
        if (ViStatus s = fault("kq7150_multClose"))
            return s;
        world().close(vi);
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7150_multReset(ViSession vi, ViBoolean resetCards) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_multReset", CallLog::format("resetCards=%d", resetCards));
        ViStatus status;
        auto m = multiFor(vi, "kq7150_multReset", status);
        if (!m)
            return status;
        m->acquisition->stop();
        if (resetCards)
            world().resetChannels(*m);
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7150_getMultFCsession(ViSession vi, ViInt16 fcIndex, ViPSession fcVi) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_getMultFCsession", CallLog::format("fcIndex=%d", fcIndex));
        ViStatus status;
        auto m = multiOf(vi, status);
        if (!m)
            return status;
        if (ViStatus s = fault("kq7150_getMultFCsession", fcIndex))
            return s;
        if (!fcVi)
            return kq7150_ERROR_PARAMETER;
        if (fcIndex < 0 || fcIndex >= static_cast<int>(m->cardSessions.size()))
            return kq7150_ERROR_CARD_INDEX;
        *fcVi = m->cardSessions[fcIndex];
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7150_error_message(ViSession, ViStatus statusCode, ViChar message[]) {
    return guarded([&]() -> ViStatus {
        if (ViStatus s = fault("kq7150_error_message"))
            return s;
        if (!message)
            return kq7150_ERROR_PARAMETER;
        const char *text = StatusText::driverText(statusCode);
        if (!text) {
            message[0] = '\0';
            return VI_WARN_UNKNOWN_STATUS;
        }
        std::snprintf(message, kq7150_ERROR_MSG_BUFLEN, "%s", text);
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7150_revision_query(ViSession vi, ViChar driverRev[], ViChar instrRev[]) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_revision_query", "");
        if (ViStatus s = fault("kq7150_revision_query"))
            return s;
        copyText(kDriverRevision, driverRev);
        if (!instrRev)
            return VI_SUCCESS;
        const Card *card = world().card(vi);
        if (!card) {
            if (auto m = world().multi(vi))
                card = m->cards.front();
        }
        if (!card)
            return vi == VI_NULL ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
        copyText(card->config->firmware, instrRev);
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7150_getSubType(ViSession fcVi, ViChar subType[]) {
    return guarded([&]() -> ViStatus {
        ViStatus status;
        const Card *card = cardFor(fcVi, "kq7150_getSubType", status);
        if (!card)
            return status;
        if (!subType)
            return kq7150_ERROR_PARAMETER;
        copyText(card->config->subType, subType);
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7150_getSerNum(ViSession fcVi, ViUInt32 *serialNumber) {
    return guarded([&]() -> ViStatus {
        ViStatus status;
        const Card *card = cardFor(fcVi, "kq7150_getSerNum", status);
        if (!card)
            return status;
        if (!serialNumber)
            return kq7150_ERROR_PARAMETER;
        *serialNumber = card->config->serial;
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7150_setMultChanConfig(ViSession vi, ViInt16 channel, ViUInt16 source, ViInt32 gain,
                                           ViBoolean highPass, ViBoolean antiRinging) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_setMultChanConfig",
                             CallLog::format("channel=%d source=%u gain=%d highPass=%d antiRinging=%d",
                                             channel, source, gain, highPass, antiRinging));
        ViStatus status;
        auto m = multiOf(vi, status);
        if (!m)
            return status;
        const int cardIndex = channel >= 1 ? (channel - 1) / kq7150_CHANNELS : -1;
        const int cardChannel = channel >= 1 ? (channel - 1) % kq7150_CHANNELS + 1 : -1;
        if (ViStatus s = fault("kq7150_setMultChanConfig", cardIndex, cardChannel))
            return s;
        ChannelSetup setup;
        setup.source = source;
        setup.gain = gain;
        setup.highPass = highPass != 0;
        setup.antiRinging = antiRinging != 0;
        return world().setChannel(*m, channel, setup);
    });
}

ViStatus _VI_FUNC kq7150_setVoltRef(ViSession fcVi, ViInt16 state) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_setVoltRef", CallLog::format("state=%d", state));
        ViStatus status;
        Card *card = cardFor(fcVi, "kq7150_setVoltRef", status);
        if (!card)
            return status;
        if (state != kq7150_ON && state != kq7150_OFF)
            return kq7150_ERROR_PARAMETER;
        std::lock_guard<std::mutex> lock(world().stateMutex());
        card->voltRefOn = state == kq7150_ON;
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7150_calibrateChannel(ViSession fcVi, ViInt16 channel, ViReal64 *offsetError,
                                          ViReal64 *gainError) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_calibrateChannel", CallLog::format("channel=%d", channel));
        ViStatus status;
        Card *card = cardFor(fcVi, "kq7150_calibrateChannel", status, channel);
        if (!card)
            return status;
        if (channel < 1 || channel > kq7150_CHANNELS)
            return kq7150_ERROR_CHANNEL;
        return world().calibrate(*card, channel, offsetError, gainError);
    });
}

ViStatus _VI_FUNC kq7150_getCurrentTimeEx(ViSession fcVi, ViUInt64 *seconds, ViUInt32 *nanoseconds,
                                          ViInt16 *utcOffset, ViInt16 *ptpState) {
    return guarded([&]() -> ViStatus {
        int index = -1;
        const bool isCard = world().card(fcVi, &index) != nullptr;
        if (ViStatus s = fault("kq7150_getCurrentTimeEx", index))
            return s;
        if (!isCard && !world().multi(fcVi))
            return VI_ERROR_INV_OBJECT;
        const CardTime now = world().clock().now();
        if (seconds)
            *seconds = now.seconds;
        if (nanoseconds)
            *nanoseconds = now.nanoseconds;
        if (utcOffset)
            *utcOffset = static_cast<ViInt16>(world().clock().utcOffset());
        if (ptpState)
            *ptpState = 1;
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7150_setMultTrigConfig(ViSession vi, ViInt16 source, ViInt16 mode, ViInt16 edge,
                                           ViReal64 level, ViInt32 preTriggerScans) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_setMultTrigConfig",
                             CallLog::format("source=%d mode=%d edge=%d level=%g preTrigger=%d", source, mode,
                                             edge, level, preTriggerScans));
        ViStatus status;
        auto m = multiFor(vi, "kq7150_setMultTrigConfig", status);
        if (!m)
            return status;
        return m->acquisition->setTrigger(source, mode, edge, level, preTriggerScans);
    });
}

ViStatus _VI_FUNC kq7150_multConfig(ViSession vi, ViInt16 syncMode, ViUInt16 channelMasks[], ViReal64 rate,
                                    ViInt16 acqMode, ViInt32 scansPerTrigger, ViUInt16 syncIn,
                                    ViUInt16 syncOut) {
    return guarded([&]() -> ViStatus {
        ViStatus status;
        auto m = multiOf(vi, status);
        std::string masks;
        for (size_t c = 0; m && channelMasks && c < m->cards.size(); ++c)
            masks += CallLog::format("%s0x%04X", c ? "," : "", channelMasks[c]);
        world().log().record("kq7150_multConfig",
                             CallLog::format("sync=%d masks=%s rate=%g mode=%d scansPerTrigger=%d "
                                             "syncIn=0x%04X syncOut=0x%04X",
                                             syncMode, masks.c_str(), rate, acqMode, scansPerTrigger, syncIn,
                                             syncOut));
        if (!m)
            return status;
        if (ViStatus s = fault("kq7150_multConfig"))
            return s;
        if (syncMode != kq7150_SYNC_MBA)
            return kq7150_ERROR_MODE;
        if (!channelMasks)
            return kq7150_ERROR_PARAMETER;
        const std::vector<uint16_t> cardMasks(channelMasks, channelMasks + m->cards.size());
        return m->acquisition->configure(cardMasks, rate, acqMode, scansPerTrigger);
    });
}

ViStatus _VI_FUNC kq7150_setAcquisitionAttribute(ViSession vi, ViInt32 attribute, void *value) {
    return guarded([&]() -> ViStatus {
        world().log().record(
            "kq7150_setAcquisitionAttribute",
            CallLog::format("attribute=%d value=%d", attribute, value ? *static_cast<ViInt32 *>(value) : -1));
        ViStatus status;
        auto m = multiFor(vi, "kq7150_setAcquisitionAttribute", status);
        if (!m)
            return status;
        if (attribute != kq7150_ATTR_PIPELINE_COMP || !value)
            return kq7150_ERROR_ATTRIBUTE;
        return m->acquisition->setPipeline(*static_cast<ViInt32 *>(value));
    });
}

ViStatus _VI_FUNC kq7150_startMultAcquisition(ViSession vi) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_startMultAcquisition", "");
        return start(vi, "kq7150_startMultAcquisition", nullptr, std::nullopt);
    });
}

ViStatus _VI_FUNC kq7150_startMultAcquisitionEx(ViSession vi, ViInt32 scansPerBlock,
                                                kq7150_callback_t callback, ViAddr userData) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_startMultAcquisitionEx",
                             CallLog::format("scansPerBlock=%d", scansPerBlock));
        const BlockCallback cb{callback, vi, userData, scansPerBlock, nullptr};
        return start(vi, "kq7150_startMultAcquisitionEx", &cb, std::nullopt);
    });
}

ViStatus _VI_FUNC kq7150_startMultAcquisitionTimed64(ViSession vi, ViUInt64 startTime) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_startMultAcquisitionTimed64",
                             CallLog::format("startTime=%llu", static_cast<unsigned long long>(startTime)));
        return start(vi, "kq7150_startMultAcquisitionTimed64", nullptr, startTime);
    });
}

ViStatus _VI_FUNC kq7150_startMultAcquisitionTimed64Ex(ViSession vi, ViInt32 scansPerBlock,
                                                       kq7150_callback_t callback, ViAddr userData,
                                                       ViUInt64 startTime, ViInt32 options) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_startMultAcquisitionTimed64Ex",
                             CallLog::format("scansPerBlock=%d startTime=%llu options=%d", scansPerBlock,
                                             static_cast<unsigned long long>(startTime), options));
        const BlockCallback cb{callback, vi, userData, scansPerBlock, nullptr};
        return start(vi, "kq7150_startMultAcquisitionTimed64Ex", &cb, startTime);
    });
}

ViStatus _VI_FUNC kq7150_checkMultAcquisition(ViSession vi, ViInt16 *state, ViUInt16 *errors,
                                              ViUInt32 *backlog, ViInt16 *overflow) {
    return guarded([&]() -> ViStatus {
        ViStatus status;
        auto m = multiFor(vi, "kq7150_checkMultAcquisition", status);
        if (!m)
            return status;
        return m->acquisition->check(state, errors, backlog, overflow);
    });
}

ViStatus _VI_FUNC kq7150_readMultAcquisition(ViSession vi, ViInt32 scans, ViReal64 data[]) {
    return guarded([&]() -> ViStatus {
        return read(vi, "kq7150_readMultAcquisition", scans, data, nullptr, nullptr, nullptr);
    });
}

ViStatus _VI_FUNC kq7150_readMultAcquisitionEx(ViSession vi, ViInt32 scans, ViReal64 data[],
                                               ViUInt32 seconds[], ViUInt32 nanoseconds[]) {
    return guarded([&]() -> ViStatus {
        return read(vi, "kq7150_readMultAcquisitionEx", scans, data, nullptr, seconds, nanoseconds);
    });
}

ViStatus _VI_FUNC kq7150_readMultAcquisition32(ViSession vi, ViInt32 scans, ViInt32 data[]) {
    return guarded([&]() -> ViStatus {
        return read(vi, "kq7150_readMultAcquisition32", scans, nullptr, data, nullptr, nullptr);
    });
}

ViStatus _VI_FUNC kq7150_stopMultAcquisition(ViSession vi) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_stopMultAcquisition", "");
        ViStatus status;
        auto m = multiFor(vi, "kq7150_stopMultAcquisition", status);
        if (!m)
            return status;
        return m->acquisition->stop();
    });
}

ViStatus _VI_FUNC kq7150_generateITRI(ViSession fcVi, ViInt16 mode) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7150_generateITRI", CallLog::format("mode=%d", mode));
        int index = -1;
        std::shared_ptr<MultiSession> owner;
        if (!world().card(fcVi, &index, &owner))
            return VI_ERROR_INV_OBJECT;
        if (ViStatus s = fault("kq7150_generateITRI", index))
            return s;
        if (mode != kq7150_PULSE)
            return kq7150_ERROR_MODE;
        return owner->acquisition->softwareTrigger();
    });
}

} // extern "C"
