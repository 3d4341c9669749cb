#include "ConfigurationFile.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace {

bool printable(const std::string &text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

std::string trimmed(const std::string &text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string lineError(int line, const std::string &what) {
    return "line " + std::to_string(line) + ": " + what;
}

} // namespace

void ConfigurationFile::set(const std::string &section, const std::string &key, const std::string &value) {
    if (!printable(section) || !printable(key) || !printable(value) || key.empty() || trimmed(key) != key ||
        key.find('=') != std::string::npos || section.find(']') != std::string::npos)
        throw std::invalid_argument("[" + section + "] " + key +
                                    " holds a line break or another control character");
    for (Entry &entry : m_entries)
        if (entry.section == section && entry.key == key) {
            entry.value = value;
            return;
        }
    m_entries.push_back({section, key, value, 0});
}

const ConfigurationFile::Entry *ConfigurationFile::find(const std::string &section,
                                                        const std::string &key) const {
    for (const Entry &entry : m_entries)
        if (entry.section == section && entry.key == key)
            return &entry;
    return nullptr;
}

std::string ConfigurationFile::text() const {
    std::vector<std::string> sections;
    for (const Entry &entry : m_entries)
        if (std::find(sections.begin(), sections.end(), entry.section) == sections.end())
            sections.push_back(entry.section);
    std::string out;
    for (const std::string &section : sections) {
        if (!out.empty())
            out += '\n';
        out += '[' + section + "]\n";
        for (const Entry &entry : m_entries)
            if (entry.section == section)
                out += entry.key + '=' + entry.value + '\n';
    }
    return out;
}

bool ConfigurationFile::parse(const std::string &text, ConfigurationFile &out, std::string &error) {
    out.m_entries.clear();
    if (text.size() > kMaxBytes) {
        error = "the file is larger than " + std::to_string(kMaxBytes / 1024) + " KiB";
        return false;
    }
    std::string section;
    bool inSection = false;
    std::set<std::pair<std::string, std::string>> seen;
    int number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > kMaxLineLength) {
            error = lineError(number, "longer than " + std::to_string(kMaxLineLength) + " characters");
            return false;
        }
        if (!printable(line)) {
            error = lineError(number, "holds a control character");
            return false;
        }
        const std::string content = trimmed(line);
        if (content.empty() || content[0] == '#' || content[0] == ';')
            continue;
        if (content[0] == '[') {
            if (content.back() != ']' || content.size() < 3) {
                error = lineError(number, "a section must be written [Name]");
                return false;
            }
            section = content.substr(1, content.size() - 2);
            inSection = true;
            continue;
        }
        const auto equals = content.find('=');
        if (equals == std::string::npos || trimmed(content.substr(0, equals)).empty()) {
            error = lineError(number, "expected key=value or [Section]");
            return false;
        }
        if (!inSection) {
            error = lineError(number, "a key before the first [Section]");
            return false;
        }
        const std::string key = trimmed(content.substr(0, equals));
        if (!seen.emplace(section, key).second) {
            error = lineError(number, "[" + section + "] " + key + " is given twice");
            return false;
        }
        if (out.m_entries.size() >= kMaxEntries) {
            error = lineError(number, "more than " + std::to_string(kMaxEntries) + " settings");
            return false;
        }
        out.m_entries.push_back({section, key, trimmed(content.substr(equals + 1)), number});
    }
    return true;
}
