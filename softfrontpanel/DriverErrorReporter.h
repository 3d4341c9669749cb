// The one way a failed driver or VISA call is reported: a line on standard output and the
// same text in the frame's error box.
#pragma once

#include "visatype.h"

#include <functional>
#include <string>

class DriverErrorReporter {
public:
    // Receives the message without its line feed; the frame connects its error box here.
    using ErrorBox = std::function<void(const std::string &message)>;

    static void setErrorBox(ErrorBox box);

    // "<call> failed due to [<driver's text of status>]". session is VI_NULL except inside
    // the acquisition callback, which passes its own.
    static std::string message(ViStatus status, const char *call, ViSession session = VI_NULL);

    // Prints the message with a line feed and hands it to the error box. Returns the message.
    static std::string report(ViStatus status, const char *call, ViSession session = VI_NULL);
};
