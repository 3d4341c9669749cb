#include "ChannelSelection.h"

void ChannelSelection::setEnabled(int card, int channel, bool enabled) {
    const uint16_t bit = static_cast<uint16_t>(1u << channel);
    if (enabled)
        m_masks[card] |= bit;
    else
        m_masks[card] &= static_cast<uint16_t>(~bit);
}

int ChannelSelection::enabledOn(int card) const {
    return __builtin_popcount(m_masks[card]);
}

int ChannelSelection::enabledTotal() const {
    int total = 0;
    for (int c = 0; c < cards(); ++c)
        total += enabledOn(c);
    return total;
}

std::string ChannelSelection::problem() const {
    if (m_masks.empty())
        return "At least one channel in first Function Card must be enabled for Data Acquisition.";
    for (int c = 1; c < cards(); ++c)
        if (enabledOn(c) != enabledOn(0))
            return "The number of enabled channels must be the same on all function cards.";
    if (m_masks[0] == 0)
        return "At least one channel in first Function Card must be enabled for Data Acquisition.";
    return {};
}
