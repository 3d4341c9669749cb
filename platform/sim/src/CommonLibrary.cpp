// The maker's common carrier library over the simulated world.
#include "Guarded.h"
#include "SimWorld.h"
#include "StatusText.h"

#include "kq7000.h"

#include <chrono>
#include <cstdio>
#include <thread>

using namespace kqsim;

namespace {

SimWorld &world() {
    return SimWorld::instance();
}

ViStatus readWord(void *ctx, ViUInt16 slot, ViUInt16 reg, ViUInt16 *value) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7000_readWord", CallLog::format("slot=%u reg=%u", slot, reg));
        if (ViStatus s = world().faults().check("kq7000_readWord"))
            return s;
        const Card *card = static_cast<const Carrier *>(ctx)->cardInSlot(slot);
        if (!card || !value)
            return kq7000_ERROR_REGISTER;
        *value = reg == kq7000_REG_VARIANT ? card->config->variant : 0;
        return VI_SUCCESS;
    });
}

const kq7000_regIf kRegisters = {readWord};

// Older cards of the range identify themselves with codes of their own.
struct LegacyCode {
    ViUInt16 code;
    ViUInt16 mask;
    ViUInt16 model;
};
const LegacyCode kLegacyCards[] = {
    {0x0714, 0xFFFF, 0x7140}, {0x0715, 0xFFFF, 0x7150}, {0x0722, 0xFFFF, 0x7220},
    {0x0731, 0xFFFF, 0x7310}, {0x7400, 0xFF00, 0x7400}, // every revision of the 7400 family
};
// The first carrier of the range was replaced by a compatible successor and is shown as it.
const ViUInt32 kLegacyCarrier = 7004;
const ViUInt32 kLegacyCarrierSuccessor = 7005;

ViUInt16 cardModel(ViUInt16 code) {
    for (const LegacyCode &l : kLegacyCards)
        if ((code & l.mask) == l.code)
            return l.model;
    return code;
}

} // namespace

extern "C" {

ViStatus _VI_FUNC kq7000_revision(ViChar text[]) {
    return guarded([&]() -> ViStatus {
        if (ViStatus s = world().faults().check("kq7000_revision"))
            return s;
        if (text)
            std::snprintf(text, kq7000_REVISION_BUFLEN, "%s", "3.2.0.417 (simulated cards)");
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7000_openCarrier(ViSession vi, kq7000_carrier **carrier) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7000_openCarrier", "");
        if (ViStatus s = world().faults().check("kq7000_openCarrier"))
            return s;
        Session s;
        if (!world().find(vi, s))
            return VI_ERROR_INV_OBJECT;
        if (!carrier)
            return VI_ERROR_INV_PARAMETER;
        if (s.kind != Session::Kind::Resource || !s.carrier)
            return kq7000_ERROR_NOT_CARRIER;
        const CarrierConfig &c = *s.carrier->config;
        auto *object = new kq7000_carrier{};
        object->model = c.model == kLegacyCarrier ? kLegacyCarrierSuccessor : c.model;
        object->slotCount = static_cast<ViUInt16>(c.slots);
        for (const CardConfig &card : c.cards)
            if (card.slot >= 1 && card.slot <= kq7000_MAX_SLOTS) {
                object->cardCodes[card.slot - 1] = card.code;
                object->cardModels[card.slot - 1] = cardModel(card.code);
            }
        object->regs = c.registerInterface ? &kRegisters : nullptr;
        object->ctx = s.carrier;
        *carrier = object;
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7000_releaseCarrier(kq7000_carrier *carrier) {
    return guarded([&]() -> ViStatus {
        world().log().record("kq7000_releaseCarrier", "");
        delete carrier;
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC kq7000_statusText(ViStatus status, ViChar text[]) {
    return guarded([&]() -> ViStatus {
        if (!text)
            return VI_ERROR_INV_PARAMETER;
        StatusText::anyText(status, text, kq7000_STATUS_BUFLEN);
        return VI_SUCCESS;
    });
}

void _VI_FUNC kq7000_delay(ViReal64 milliseconds) {
    guarded([&] {
        if (milliseconds <= 0.0)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(milliseconds));
    });
}

} // extern "C"
