// What of an opened configuration could not be applied to the cards at hand, in the words the
// person gets to read: one line per setting or card, in the order they were met.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class ConfigurationMismatches {
public:
    // The message box lists at most this many lines; the rest is counted.
    static constexpr std::size_t kMaxShown = 30;

    void add(const std::string &line) { m_lines.push_back(line); }
    bool empty() const { return m_lines.empty(); }
    const std::vector<std::string> &lines() const { return m_lines; }
    // The lines, each on its own, after the first kMaxShown "... and n more".
    std::string text() const;

    // Compares a saved card with the card at the same position (both 0-based; presentCards of
    // them connected). Adds what differs; true when the saved settings are to be applied there.
    bool matchCard(int card, int presentCards, const std::string &savedSerial,
                   const std::string &presentSerial);
    // A choice the panel does not offer here: "Function Card #2, Channel 3: Gain 100 is not
    // offered; kept 1". where is empty for settings that belong to no card, kept for a control
    // this session does not have (sine fitting without "-acperf").
    void notOffered(const std::string &where, const std::string &what, const std::string &value,
                    const std::string &kept);

private:
    std::vector<std::string> m_lines;
};
