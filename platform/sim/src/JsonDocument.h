// Reads the text of a world or fault file into a JSON document. It refuses what the checks
// of the values cannot see any more once the document is built: a syntax error, nesting
// deeper than kMaxNesting and a key given twice in one object (the document would keep
// only one of the two values).
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace kqsim {

class JsonDocument {
public:
    // Arrays and objects inside each other; a world file needs 8. The bound keeps everything
    // that walks the document recursively within a small stack.
    static constexpr int kMaxNesting = 64;

    // On failure returns false and sets error to "line L, column C: " and the reason.
    static bool parse(const std::string &text, nlohmann::json &document, std::string &error);
};

} // namespace kqsim
