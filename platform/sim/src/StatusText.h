// Texts of the statuses the simulated libraries return.
#pragma once

#include "visatype.h"

namespace kqsim {

class StatusText {
public:
    // The driver's text of a status, or nullptr when the driver does not know it.
    static const char *driverText(ViStatus status);
    // A text for any status: the driver's, else a generic one naming the code.
    static void anyText(ViStatus status, char *buffer, unsigned size);
};

} // namespace kqsim
