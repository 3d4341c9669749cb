// The descriptor of the 8-channel, 24-bit sigma-delta ADC card.
#pragma once

#include "kq7000fp_genFC.h"

#include <vector>

class kq7150_fc : public kq7000fp_genFC {
public:
    kq7150_fc() : kq7000fp_genFC(0x7150) {}

    bool isSupportedModel(uint16_t code) const override;
    std::string description() const override;
    std::string notice() const override;
    std::string sfpVersion() const override;
    std::string driverRevision() const override;
    std::string errorMessage(ViStatus status) const override;
    ViStatus openCards(const char *resourceList, ViInt16 *cardNumbers, ViInt16 firstFlag, ViInt16 secondFlag,
                       ViSession *session) override;
    ViStatus openCardsStored(const char *resourceList, const ViInt16 *cardNumbers, ViInt16 count,
                             ViInt16 firstFlag, ViInt16 secondFlag, ViSession *session) override;
    ViStatus reopenStored(ViSession *session) override;
    ViStatus closeCards(ViSession session) override;
    ViStatus resetCards(ViSession session) override;

private:
    char m_resourceList[2048] = {};
    std::vector<ViInt16> m_cardNumbers;
};
