// The names of a FLAC recording's files: the description the user names ("run.flac7150") and
// beside it one stream per card ("run.fc1.flac", ...) and, with scan times, "run.time.flac".
// The streams' names follow from the description's, so a description cannot point a reader
// at files elsewhere.
#pragma once

#include <string>
#include <vector>

struct FlacRecordingFiles {
    static constexpr const char *kExtension = "flac7150";
    // card from 1.
    static std::string cardStream(const std::string &description, int card);
    static std::string timeStream(const std::string &description);
    // Every stream of a recording of cards cards: the cards' in their order, then the scan
    // times' when they are stored.
    static std::vector<std::string> streams(const std::string &description, int cards, bool timestamps);
    // The description's name without ".flac7150" (any case), or the whole name.
    static std::string stem(const std::string &description);
};
