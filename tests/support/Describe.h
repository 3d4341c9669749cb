// One text of several parts, each as a stream writes it: the messages of failed checks.
#pragma once

#include <sstream>
#include <string>

template <typename... Parts> std::string describe(const Parts &...parts) {
    std::ostringstream text;
    (text << ... << parts);
    return text.str();
}
