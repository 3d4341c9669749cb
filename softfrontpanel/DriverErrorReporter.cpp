#include "DriverErrorReporter.h"

#include "kq7000.h"
#include "kq7150.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex &boxMutex() {
    static std::mutex m;
    return m;
}

DriverErrorReporter::ErrorBox &errorBox() {
    static DriverErrorReporter::ErrorBox box;
    return box;
}

// The driver knows its own statuses; for anything else (a VISA or carrier status it has no
// text for) the common library still explains it, so the brackets are never empty.
std::string statusText(ViStatus status, ViSession session) {
    char text[kq7150_ERROR_MSG_BUFLEN] = {};
    if (kq7150_error_message(session, status, text) == VI_SUCCESS && text[0] != '\0')
        return text;
    char common[kq7000_STATUS_BUFLEN] = {};
    if (kq7000_statusText(status, common) == VI_SUCCESS)
        return common;
    return std::string();
}

} // namespace

void DriverErrorReporter::setErrorBox(ErrorBox box) {
    std::lock_guard<std::mutex> lock(boxMutex());
    errorBox() = std::move(box);
}

std::string DriverErrorReporter::message(ViStatus status, const char *call, ViSession session) {
    return std::string(call ? call : "") + " failed due to [" + statusText(status, session) + "]";
}

std::string DriverErrorReporter::report(ViStatus status, const char *call, ViSession session) {
    const std::string text = message(status, call, session);
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    ErrorBox box;
    {
        std::lock_guard<std::mutex> lock(boxMutex());
        box = errorBox();
    }
    if (box)
        box(text);
    return text;
}
