// Which channels of which cards take part in an acquisition, as one 16-bit mask per card
// (bit c = channel c + 1), and whether the cards can acquire that selection together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ChannelSelection {
public:
    static constexpr int kChannels = 8;

    explicit ChannelSelection(int cards) : m_masks(static_cast<size_t>(cards), 0) {}

    // card and channel 0-based.
    void setEnabled(int card, int channel, bool enabled);
    bool isEnabled(int card, int channel) const { return (m_masks[card] >> channel) & 1; }

    int cards() const { return static_cast<int>(m_masks.size()); }
    const std::vector<uint16_t> &masks() const { return m_masks; }
    int enabledOn(int card) const;
    int enabledTotal() const;

    // The warning that keeps the selection from being acquired, or empty when it can be.
    // The cards acquire in lockstep, so each card must deliver the same number of channels,
    // and the first card must deliver at least one.
    std::string problem() const;

private:
    std::vector<uint16_t> m_masks;
};
