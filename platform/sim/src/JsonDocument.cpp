#include "JsonDocument.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <set>
#include <vector>

namespace kqsim {
namespace {

using json = nlohmann::json;

// Hands the text to the parser and counts what it has read, so that a refusal made while
// the document is built can name a place as the parser's own errors do.
class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char *;
    using reference = const char &;

    CountingIterator(const char *at, std::size_t &read) : at_(at), read_(&read) {}
    reference operator*() const { return *at_; }
    CountingIterator &operator++() {
        ++at_;
        ++*read_;
        return *this;
    }
    bool operator==(const CountingIterator &other) const { return at_ == other.at_; }
    bool operator!=(const CountingIterator &other) const { return at_ != other.at_; }

private:
    const char *at_;
    std::size_t *read_;
};

// Drops the library's own "[json.exception...] parse error at line L, column C: " prefix, whose
// location we replace by ours.
std::string reason(const std::string &what) {
    std::size_t column = what.find(", column ");
    std::size_t start = what.find(": ", column == std::string::npos ? 0 : column);
    if (start == std::string::npos && (start = what.find("] ")) == std::string::npos)
        return what;
    return what.substr(start + 2);
}

// Builds the document as json::parse does, but keeps the position of every error (the library
// reports a number too large for a double without one) and refuses deep nesting and repeated
// keys when it meets them.
class DocumentBuilder : public nlohmann::detail::json_sax_dom_parser<json> {
public:
    DocumentBuilder(json &document, const std::size_t &read)
        : json_sax_dom_parser(document, false), read_(read) {}

    bool start_object(std::size_t size) { return open() && json_sax_dom_parser::start_object(size); }
    bool start_array(std::size_t size) { return open() && json_sax_dom_parser::start_array(size); }
    bool end_object() {
        keys_.pop_back();
        return json_sax_dom_parser::end_object();
    }
    bool end_array() {
        keys_.pop_back();
        return json_sax_dom_parser::end_array();
    }
    bool key(std::string &key) {
        if (!keys_.back().insert(key).second)
            return refuse("key given twice in one object");
        return json_sax_dom_parser::key(key);
    }
    bool parse_error(std::size_t position, const std::string &, const json::exception &ex) {
        errorPosition = position;
        errorText = reason(ex.what());
        return false;
    }

    std::size_t errorPosition = 0;
    std::string errorText;

private:
    bool open() {
        if (keys_.size() == JsonDocument::kMaxNesting)
            return refuse("more than " + std::to_string(JsonDocument::kMaxNesting) +
                          " nested arrays and objects");
        keys_.emplace_back();
        return true;
    }
    // The parser has just read the last character of what is refused.
    bool refuse(std::string text) {
        errorPosition = read_;
        errorText = std::move(text);
        return false;
    }

    const std::size_t &read_;
    std::vector<std::set<std::string>> keys_; // of every open object or array, outermost first
};

// The position counts the offending character itself, and the end of the input as one more.
std::string location(const std::string &text, std::size_t position) {
    std::size_t end = std::min(position == 0 ? 0 : position - 1, text.size());
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < end; ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return "line " + std::to_string(line) + ", column " + std::to_string(end - lineStart + 1);
}

} // namespace

bool JsonDocument::parse(const std::string &text, json &document, std::string &error) {
    std::size_t read = 0;
    DocumentBuilder builder(document, read);
    const char *begin = text.data();
    if (json::sax_parse(CountingIterator(begin, read), CountingIterator(begin + text.size(), read), &builder))
        return true;
    error = location(text, builder.errorPosition) + ": " + builder.errorText;
    return false;
}

} // namespace kqsim
