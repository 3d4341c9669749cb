#include "kq7150_fc.h"

#include "kq7150.h"

#include <cstring>

namespace {
const uint16_t kSupportedCodes[] = {0x7150};
}

bool kq7150_fc::isSupportedModel(uint16_t code) const {
    for (uint16_t c : kSupportedCodes)
        if (c == code)
            return true;
    return false;
}

std::string kq7150_fc::description() const {
    return "8-Channel, 24-bit Sigma-Delta ADC Function Card";
}

std::string kq7150_fc::notice() const {
    return "Copyright (C) 2009-2026 Travix Ltd. All rights reserved.";
}

std::string kq7150_fc::sfpVersion() const {
    return "4.3.9.13182";
}

std::string kq7150_fc::driverRevision() const {
    // The driver may write up to its full text length; the buffer is sized for that.
    ViChar revision[kq7150_TEXT_BUFLEN] = {};
    kq7150_revision_query(VI_NULL, revision, nullptr);
    revision[sizeof revision - 1] = '\0';
    return revision;
}

std::string kq7150_fc::errorMessage(ViStatus status) const {
    ViChar text[kq7150_ERROR_MSG_BUFLEN] = {};
    if (kq7150_error_message(VI_NULL, status, text) != VI_SUCCESS)
        return std::string();
    text[sizeof text - 1] = '\0';
    return text;
}

ViStatus kq7150_fc::openCards(const char *resourceList, ViInt16 *cardNumbers, ViInt16 firstFlag,
                              ViInt16 secondFlag, ViSession *session) {
    return kq7150_multInit(resourceList, cardNumbers, static_cast<ViBoolean>(firstFlag),
                           static_cast<ViBoolean>(secondFlag), session);
}

ViStatus kq7150_fc::openCardsStored(const char *resourceList, const ViInt16 *cardNumbers, ViInt16 count,
                                    ViInt16 firstFlag, ViInt16 secondFlag, ViSession *session) {
    std::strncpy(m_resourceList, resourceList ? resourceList : "", sizeof m_resourceList - 1);
    m_resourceList[sizeof m_resourceList - 1] = '\0';
    m_cardNumbers.assign(cardNumbers, cardNumbers + (cardNumbers && count > 0 ? count : 0));
    return kq7150_multInit(m_resourceList, m_cardNumbers.data(), static_cast<ViBoolean>(firstFlag),
                           static_cast<ViBoolean>(secondFlag), session);
}

ViStatus kq7150_fc::reopenStored(ViSession *session) {
    return kq7150_multInit(m_resourceList, m_cardNumbers.data(), 1, 1, session);
}

ViStatus kq7150_fc::closeCards(ViSession session) {
    return kq7150_multClose(session);
}

ViStatus kq7150_fc::resetCards(ViSession session) {
    return kq7150_multReset(session, 1);
}
