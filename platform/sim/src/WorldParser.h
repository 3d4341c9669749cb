// Reads a simulated world from its JSON description.
#pragma once

#include "SimConfig.h"

#include <string>

namespace kqsim {

class WorldParser {
public:
    // Parses a whole world. On failure returns false and sets error to one line that names
    // sourceName, the line (syntax errors) or the key path (e.g. "carriers[1].cards[0].slot"),
    // and what was expected there; world is then left unchanged.
    static bool parse(const std::string &text, const std::string &sourceName, WorldConfig &world,
                      std::string &error);
    // Parses a fault file: an object with the optional keys "faults", "callbackStall" and
    // "errorWord" of a world description; replaces those members of world.
    static bool parseFaults(const std::string &text, const std::string &sourceName, WorldConfig &world,
                            std::string &error);
    // Reads a file and parses it with parse() or parseFaults(); a missing or unreadable
    // file is an error naming the path.
    static bool loadWorldFile(const std::string &path, WorldConfig &world, std::string &error);
    static bool loadFaultFile(const std::string &path, WorldConfig &world, std::string &error);
};

} // namespace kqsim
