#include "ConfigurationMismatches.h"

std::string ConfigurationMismatches::text() const {
    std::string out;
    for (std::size_t i = 0; i < m_lines.size() && i < kMaxShown; ++i)
        out += (i ? "\n" : "") + m_lines[i];
    if (m_lines.size() > kMaxShown)
        out += "\n... and " + std::to_string(m_lines.size() - kMaxShown) + " more";
    return out;
}

bool ConfigurationMismatches::matchCard(int card, int presentCards, const std::string &savedSerial,
                                        const std::string &presentSerial) {
    const std::string name = "Function Card #" + std::to_string(card + 1);
    if (card >= presentCards) {
        add(name + ": not present (" + std::to_string(presentCards) +
            (presentCards == 1 ? " card" : " cards") + " connected); its settings were not applied");
        return false;
    }
    // A file written by hand may leave the serial number out: then there is nothing to compare.
    if (!savedSerial.empty() && savedSerial != presentSerial)
        add(name + ": serial number " + presentSerial + " here, " + savedSerial +
            " in the file; its settings were applied by position");
    return true;
}

void ConfigurationMismatches::notOffered(const std::string &where, const std::string &what,
                                         const std::string &value, const std::string &kept) {
    add((where.empty() ? "" : where + ": ") + what + " \"" + value + "\" is not offered here" +
        (kept.empty() ? "" : "; kept \"" + kept + "\""));
}
