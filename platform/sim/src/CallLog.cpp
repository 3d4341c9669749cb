#include "CallLog.h"

#include <cstdarg>
#include <cstdio>

namespace kqsim {

void CallLog::record(const char *call, std::string arguments) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry &e = entries_[call];
    ++e.count;
    e.last = std::move(arguments);
}

int CallLog::count(const std::string &call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(call);
    return it == entries_.end() ? 0 : it->second.count;
}

std::string CallLog::lastArguments(const std::string &call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(call);
    return it == entries_.end() ? std::string() : it->second.last;
}

std::string CallLog::format(const char *fmt, ...) {
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

void CallLog::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

} // namespace kqsim
