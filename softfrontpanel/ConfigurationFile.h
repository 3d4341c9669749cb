// A saved configuration of the panel as text: "[Section]" lines, then "key=value" lines, blank
// lines and comments ('#' or ';' first). One setting per line, so that a person can read and
// edit it, and anything refused can be named by its line. Reading is bounded in every size,
// since the file may come from anywhere.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class ConfigurationFile {
public:
    static constexpr std::size_t kMaxBytes = 1 << 20;
    static constexpr std::size_t kMaxLineLength = 4096;
    static constexpr std::size_t kMaxEntries = 10000;

    struct Entry {
        std::string section, key, value;
        int line = 0; // where it was read, from 1; 0 when set by the program
    };

    // Adds or replaces a value. Sections, keys and values must be printable single-line text
    // (a key without '=' and blanks at its ends); std::invalid_argument otherwise.
    void set(const std::string &section, const std::string &key, const std::string &value);
    // Null when the section has no such key.
    const Entry *find(const std::string &section, const std::string &key) const;
    const std::vector<Entry> &entries() const { return m_entries; }

    // The sections in the order of their first entry, each with its keys in order.
    std::string text() const;
    // False with a reason naming the line ("line 12: ...") when the text is not such a file.
    static bool parse(const std::string &text, ConfigurationFile &out, std::string &error);

private:
    std::vector<Entry> m_entries;
};
