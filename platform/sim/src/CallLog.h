// Remembers which calls the simulated libraries received, so tests can see what the
// program asked of the cards.
#pragma once

#include <map>
#include <mutex>
#include <string>

namespace kqsim {

class CallLog {
public:
    void record(const char *call, std::string arguments);
    int count(const std::string &call) const;
    std::string lastArguments(const std::string &call) const;
    void clear();
    // printf-style text of a call's arguments.
    static std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

private:
    struct Entry {
        int count = 0;
        std::string last;
    };
    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

} // namespace kqsim
