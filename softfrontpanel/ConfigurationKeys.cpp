#include "ConfigurationKeys.h"

#include "StrictNumber.h"

#include <cctype>
#include <charconv>
#include <limits>
#include <map>

namespace ConfigurationKeys {

namespace {

enum class Kind { Bool, Choice, Text, Colour, Number };

struct Rule {
    Kind kind;
    double low = 0.0, high = 0.0; // numbers only
};

// Choices are matched against the panel's items when applied; a text longer than any item
// is not a choice at all.
constexpr std::size_t kMaxChoiceLength = 64;
constexpr std::size_t kMaxTextLength = 1024;

const std::map<std::string, Rule> &sectionRules(const std::string &section) {
    static const std::map<std::string, Rule> acquisition{{"WaveformLength", {Kind::Choice}},
                                                         {"TriggerPosition", {Kind::Choice}},
                                                         {"SamplingRate", {Kind::Choice}},
                                                         {"Pipeline", {Kind::Choice}},
                                                         {"ContinuousStorage", {Kind::Bool}},
                                                         {"ZeroPadding", {Kind::Choice}},
                                                         {"FftWindow", {Kind::Choice}},
                                                         {"SineFitting", {Kind::Choice}},
                                                         {"TriggerSource", {Kind::Choice}},
                                                         {"TriggerEdge", {Kind::Choice}},
                                                         {"TriggerLevel", {Kind::Number, -10.0, 10.0}}};
    static const std::map<std::string, Rule> storage{{"FileName", {Kind::Text}},
                                                     {"Format", {Kind::Choice}},
                                                     {"Timestamps", {Kind::Bool}},
                                                     {"RefreshInterval", {Kind::Choice}}};
    static const std::map<std::string, Rule> view{{"Symbols", {Kind::Choice}},
                                                  {"SpectrumSymbols", {Kind::Choice}},
                                                  {"CustomUnit", {Kind::Bool}},
                                                  {"UnitName", {Kind::Text}},
                                                  {"UnitOffset", {Kind::Number, -10.24, 10.24}},
                                                  {"UnitMultiplier", {Kind::Number, -1e12, 1e12}},
                                                  {"SnapToSample", {Kind::Bool}}};
    static const std::map<std::string, Rule> card = [] {
        std::map<std::string, Rule> rules{{"Serial", {Kind::Text}}, {"Variant", {Kind::Text}}};
        for (int ch = 0; ch < kChannels; ++ch) {
            for (const char *field : {"Source", "Coupling", "Gain"})
                rules[channelKey(ch, field)] = {Kind::Choice};
            for (const char *field : {"HighPass", "AntiRinging", "Enabled", "SpectrumShown"})
                rules[channelKey(ch, field)] = {Kind::Bool};
            for (const char *field : {"Colour", "SpectrumColour"})
                rules[channelKey(ch, field)] = {Kind::Colour};
        }
        return rules;
    }();
    static const std::map<std::string, Rule> none;
    if (section == kAcquisition)
        return acquisition;
    if (section == kStorage)
        return storage;
    if (section == kView)
        return view;
    return cardOfSection(section) >= 0 ? card : none;
}

// No setting needs more digits than a double holds; a longer text is not one the panel wrote.
constexpr std::size_t kMaxNumberLength = 32;

bool isNumberIn(const std::string &text, double low, double high) {
    return text.size() <= kMaxNumberLength && StrictNumber::real(text, low, high);
}

bool isColour(const std::string &text) {
    if (text.size() != 7 || text[0] != '#')
        return false;
    for (std::size_t i = 1; i < text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

// What is wrong with the value, empty when nothing.
std::string valueProblem(const Rule &rule, const std::string &value) {
    switch (rule.kind) {
    case Kind::Bool:
        return value == "true" || value == "false" ? "" : "expected true or false";
    case Kind::Choice:
        return !value.empty() && value.size() <= kMaxChoiceLength
                   ? ""
                   : "expected one of the panel's choices (1 to " + std::to_string(kMaxChoiceLength) +
                         " characters)";
    case Kind::Text:
        return value.size() <= kMaxTextLength
                   ? ""
                   : "longer than " + std::to_string(kMaxTextLength) + " characters";
    case Kind::Colour:
        return isColour(value) ? "" : "expected a colour #rrggbb";
    case Kind::Number:
        if (isNumberIn(value, rule.low, rule.high))
            return "";
        return "expected a number from " + fromNumber(rule.low) + " to " + fromNumber(rule.high);
    }
    return "unknown kind";
}

} // namespace

std::string cardSection(int card) {
    return "Card" + std::to_string(card + 1);
}

int cardOfSection(const std::string &section) {
    if (section.size() < 5 || section.size() > 6 || section.compare(0, 4, "Card") != 0 || section[4] == '0')
        return -1;
    int number = 0;
    for (std::size_t i = 4; i < section.size(); ++i) {
        if (section[i] < '0' || section[i] > '9')
            return -1;
        number = number * 10 + (section[i] - '0');
    }
    return number >= 1 && number <= kMaxCards ? number - 1 : -1;
}

std::string channelKey(int channel, const std::string &field) {
    return "Channel" + std::to_string(channel + 1) + "." + field;
}

bool check(const ConfigurationFile &file, std::string &error) {
    for (const ConfigurationFile::Entry &entry : file.entries()) {
        const std::string where = "line " + std::to_string(entry.line) + ": [" + entry.section + "] ";
        const auto &rules = sectionRules(entry.section);
        if (rules.empty()) {
            error = where + "unknown section";
            return false;
        }
        const auto rule = rules.find(entry.key);
        if (rule == rules.end()) {
            error = where + entry.key + ": unknown key";
            return false;
        }
        if (const std::string problem = valueProblem(rule->second, entry.value); !problem.empty()) {
            error = where + entry.key + ": " + problem;
            return false;
        }
    }
    return true;
}

std::string fromBool(bool value) {
    return value ? "true" : "false";
}

bool toBool(const std::string &text) {
    return text == "true";
}

std::string fromNumber(double value) {
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

double toNumber(const std::string &text) {
    return StrictNumber::real(text, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max())
        .value_or(0.0);
}

} // namespace ConfigurationKeys
