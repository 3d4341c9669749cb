/* The maker's common carrier library (kq7000_64). On its home platform these functions are
 * imported by ordinal; the ordinal each stands for is named beside it. */
#ifndef KQ7000_H
#define KQ7000_H

#include "visa.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kq7000_STATUS_BUFLEN 1024
#define kq7000_REVISION_BUFLEN 256
#define kq7000_MAX_SLOTS 32
/* Register of a card slot that holds the card's variant word. */
#define kq7000_REG_VARIANT 252

/* Statuses of this library. */
#define kq7000_ERROR_NOT_CARRIER (_VI_ERROR + 0x3FFC0900L)
#define kq7000_ERROR_REGISTER (_VI_ERROR + 0x3FFC0901L)

/* Register access of a carrier; absent on carriers that do not offer it. */
typedef struct kq7000_regIf {
    ViStatus(_VI_FUNCH *readWord)(void *ctx, ViUInt16 slot, ViUInt16 reg, ViUInt16 *value);
} kq7000_regIf;

/* What a carrier reports about itself; owned by the library between open and release. */
typedef struct kq7000_carrier {
    ViUInt32 model;     /* decimal product number; a legacy carrier reports its successor's */
    ViUInt16 slotCount; /* number of function-card slots ("slots" is a Qt keyword) */
    ViUInt16 cardCodes[kq7000_MAX_SLOTS]; /* identification code per slot as the card reports it, 0 = empty */
    ViUInt16 cardModels[kq7000_MAX_SLOTS]; /* the same, older cards' codes translated to their model codes */
    const kq7000_regIf *regs;              /* null when there is no register interface */
    void *ctx;                             /* handed to regs' operations */
} kq7000_carrier;

/* Ordinal 1: the library's revision text (kq7000_REVISION_BUFLEN bytes). */
ViStatus _VI_FUNC kq7000_revision(ViChar text[]);
/* Ordinal 2: open the carrier object of a VISA session; fails when the resource is not a
 * carrier of this product range. */
ViStatus _VI_FUNC kq7000_openCarrier(ViSession vi, kq7000_carrier **carrier);
/* Ordinal 3: release a carrier object. */
ViStatus _VI_FUNC kq7000_releaseCarrier(kq7000_carrier *carrier);
/* Ordinal 6: text of any status (kq7000_STATUS_BUFLEN bytes). */
ViStatus _VI_FUNC kq7000_statusText(ViStatus status, ViChar text[]);
/* Ordinal 7: wait the given milliseconds; 0.0 yields the processor. */
void _VI_FUNC kq7000_delay(ViReal64 milliseconds);

#ifdef __cplusplus
}
#endif

#endif
