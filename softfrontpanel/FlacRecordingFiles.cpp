#include "FlacRecordingFiles.h"

#include <algorithm>
#include <cctype>

std::string FlacRecordingFiles::stem(const std::string &description) {
    const std::string suffix = std::string(".") + kExtension;
    if (description.size() <= suffix.size())
        return description;
    const auto tail = description.end() - std::ptrdiff_t(suffix.size());
    const bool ends = std::equal(tail, description.end(), suffix.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
    return ends ? std::string(description.begin(), tail) : description;
}

std::string FlacRecordingFiles::cardStream(const std::string &description, int card) {
    return stem(description) + ".fc" + std::to_string(card) + ".flac";
}

std::string FlacRecordingFiles::timeStream(const std::string &description) {
    return stem(description) + ".time.flac";
}

std::vector<std::string> FlacRecordingFiles::streams(const std::string &description, int cards,
                                                     bool timestamps) {
    std::vector<std::string> paths;
    for (int card = 1; card <= cards; ++card)
        paths.push_back(cardStream(description, card));
    if (timestamps)
        paths.push_back(timeStream(description));
    return paths;
}
