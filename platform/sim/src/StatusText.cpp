#include "StatusText.h"

#include "kq7000.h"
#include "kq7150.h"

#include <cstdio>

namespace kqsim {

namespace {

struct Entry {
    ViStatus status;
    const char *text;
};

// Every status the simulation returns has a text here, VISA's included, so that the
// front panel's messages always say what went wrong.
const Entry kTexts[] = {
    {VI_SUCCESS, "Operation completed successfully."},
    {VI_ERROR_SYSTEM_ERROR, "Unknown system error (miscellaneous error)."},
    {VI_ERROR_INV_OBJECT, "The given session or object reference is invalid."},
    {VI_ERROR_RSRC_LOCKED,
     "Specified type of lock cannot be obtained, or specified operation cannot be performed, "
     "because the resource is locked."},
    {VI_ERROR_INV_EXPR, "Invalid expression specified for search."},
    {VI_ERROR_RSRC_NFOUND,
     "Insufficient location information or the requested device or resource is not present "
     "in the system."},
    {VI_ERROR_INV_RSRC_NAME, "Invalid resource reference specified. Parsing error."},
    {VI_ERROR_INV_ACC_MODE, "Invalid access mode."},
    {VI_ERROR_TMO, "Timeout expired before operation completed."},
    {VI_ERROR_NSUP_ATTR, "The specified attribute is not defined or supported by the referenced session."},
    {VI_ERROR_INV_SETUP, "Unable to start operation because setup is invalid."},
    {VI_ERROR_ALLOC, "Insufficient system resources to perform necessary memory allocation."},
    {VI_ERROR_USER_BUF, "A specified user buffer is not valid or cannot be accessed for the required size."},
    {VI_ERROR_RSRC_BUSY, "The resource is valid, but VISA cannot currently access it."},
    {VI_ERROR_INV_PARAMETER, "The value of some parameter is invalid."},
    {kq7150_ERROR_RSRC_LIST, "Invalid resource list: it must name one carrier per card, separated by ','."},
    {kq7150_ERROR_NO_CARD, "No function card in the given slot of the carrier."},
    {kq7150_ERROR_WRONG_MODEL, "The function card in the given slot is not a 7150."},
    {kq7150_ERROR_DUPLICATE_CARD, "The same function card is listed more than once."},
    {kq7150_ERROR_TOO_MANY_CARDS, "More function cards than one session can drive (64)."},
    {kq7150_ERROR_CARD_INDEX, "Function card index out of range."},
    {kq7150_ERROR_CHANNEL, "Channel number out of range."},
    {kq7150_ERROR_SOURCE, "Invalid input source code."},
    {kq7150_ERROR_GAIN, "Gain not supported by this function card."},
    {kq7150_ERROR_RATE, "Sampling rate out of range (200 Hz to 216 kHz)."},
    {kq7150_ERROR_CHANNEL_MASK,
     "Channel masks must enable at least one channel and the same number of channels "
     "on every function card."},
    {kq7150_ERROR_TRIGGER, "Invalid trigger configuration."},
    {kq7150_ERROR_NOT_CONFIGURED, "The acquisition has not been configured."},
    {kq7150_ERROR_RUNNING, "The operation is not possible while an acquisition is running."},
    {kq7150_ERROR_NO_DATA, "Fewer scans are available than requested."},
    {kq7150_ERROR_NO_VREF, "The carrier has no voltage reference module."},
    {kq7150_ERROR_START_TIME_PAST, "The start time is in the past."},
    {kq7150_ERROR_START_ABORTED, "The timed start was aborted by a stop."},
    {kq7150_ERROR_ATTRIBUTE, "Unknown acquisition attribute or value."},
    {kq7150_ERROR_PARAMETER, "A required pointer or buffer is null."},
    {kq7150_ERROR_SESSION, "The session is not a session of this driver."},
    {kq7150_ERROR_SCANS, "Number of scans out of range."},
    {kq7150_ERROR_MODE, "Invalid mode."},
    {kq7000_ERROR_NOT_CARRIER, "The resource is not a carrier of the kq7000 range."},
    {kq7000_ERROR_REGISTER, "Register read failed: there is no card in that slot."},
    {kq7150_WARN_CAL_DUE, "Calibration of the function card is due."},
    {kq7150_WARN_FW_NEWER, "The firmware of the function card is newer than this driver."},
};

} // namespace

const char *StatusText::driverText(ViStatus status) {
    for (const Entry &e : kTexts)
        if (e.status == status)
            return e.text;
    return nullptr;
}

void StatusText::anyText(ViStatus status, char *buffer, unsigned size) {
    if (!buffer || size == 0)
        return;
    const char *known = driverText(status);
    if (known)
        std::snprintf(buffer, size, "%s", known);
    else if (status < 0)
        std::snprintf(buffer, size, "Unknown error 0x%08X.", static_cast<unsigned>(status));
    else
        std::snprintf(buffer, size, "Unknown warning 0x%08X.", static_cast<unsigned>(status));
}

} // namespace kqsim
