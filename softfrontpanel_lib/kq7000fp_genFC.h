// What the common frame needs to know about one function-card model, without depending on
// that model's driver.
#pragma once

#include "visatype.h"

#include <cstdint>
#include <string>

class kq7000fp_genFC {
public:
    explicit kq7000fp_genFC(int32_t code) : modelCode(code) {}
    virtual ~kq7000fp_genFC() = default;

    // Safe from any thread: the card search asks it from its probe threads.
    virtual bool isSupportedModel(uint16_t code) const = 0;
    virtual std::string description() const = 0;
    virtual std::string notice() const = 0;
    virtual std::string sfpVersion() const = 0;
    virtual std::string driverRevision() const = 0;
    // The driver's text of a status, empty when the driver has none.
    virtual std::string errorMessage(ViStatus status) const = 0;
    virtual ViStatus openCards(const char *resourceList, ViInt16 *cardNumbers, ViInt16 firstFlag,
                               ViInt16 secondFlag, ViSession *session) = 0;
    virtual ViStatus openCardsStored(const char *resourceList, const ViInt16 *cardNumbers, ViInt16 count,
                                     ViInt16 firstFlag, ViInt16 secondFlag, ViSession *session) = 0;
    virtual ViStatus reopenStored(ViSession *session) = 0;
    virtual ViStatus closeCards(ViSession session) = 0;
    virtual ViStatus resetCards(ViSession session) = 0;

    // The model code as shown everywhere: lower-case hexadecimal, right-aligned to 4 ("7150").
    std::string modelText() const;

    const int32_t modelCode;
};
