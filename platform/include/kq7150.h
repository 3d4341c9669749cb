/* Instrument driver API of the Movara 7150 8-channel 24-bit sigma-delta ADC card
 * (library kq7150_64). Every function returns a ViStatus: negative is an error,
 * positive a warning, 0 success. */
#ifndef KQ7150_H
#define KQ7150_H

#include "visa.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Constants handed to the driver. */
#define kq7150_SYNC_MBA 0
#define kq7150_MODE_EDGE 1
#define kq7150_PULSE 2
#define kq7150_ON 1
#define kq7150_OFF 0

/* kq7150_multConfig acquisition mode. */
#define kq7150_ACQ_UNTRIGGERED 0
#define kq7150_ACQ_TRIGGERED 1

/* kq7150_setMultTrigConfig sources: 0 none (software pulse), 1..8 channel of card 0,
 * 9 front panel high, 10 front panel low. */
#define kq7150_TRIG_NONE 0
#define kq7150_TRIG_FRONT_PANEL_HIGH 9
#define kq7150_TRIG_FRONT_PANEL_LOW 10

/* kq7150_setMultChanConfig input source codes. */
#define kq7150_SRC_FP_DIFF_AC 0
#define kq7150_SRC_FP_SINGLE_AC 1
#define kq7150_SRC_FP_DIFF_DC 2
#define kq7150_SRC_FP_SINGLE_DC 3
#define kq7150_SRC_VREF 4
#define kq7150_SRC_ICP 5
#define kq7150_SRC_TEDS 6

/* kq7150_setAcquisitionAttribute attributes. */
#define kq7150_ATTR_PIPELINE_COMP 2

/* States reported by kq7150_checkMultAcquisition. */
#define kq7150_STATE_IDLE 0
#define kq7150_STATE_DDS_UPD 1
#define kq7150_STATE_SYNC 2
#define kq7150_STATE_READY 3
#define kq7150_STATE_PRE_TRIG 4
#define kq7150_STATE_POST_TRIG 5
#define kq7150_STATE_HW_ARM 6
#define kq7150_STATE_END 7

/* Error word bits reported by kq7150_checkMultAcquisition. Bit k (k < 10) is the latched
 * overrange of global channel k; higher channels only raise OUT_OF_RANGE because their
 * bits would collide with the flags below. */
#define kq7150_ERR_OUT_OF_RANGE 0x0400
#define kq7150_ERR_FIFO_OVERFLOW 0x0800
#define kq7150_ERR_ACQ_MASK 0xF900

#define kq7150_MAX_CARDS 64
#define kq7150_CHANNELS 8
#define kq7150_ERROR_MSG_BUFLEN 1024
/* Every text the driver returns (revision, sub type, addresses) fits with its terminator. */
#define kq7150_TEXT_BUFLEN 256

/* Driver status codes (instrument-specific range of the VISA standard). */
#define kq7150_ERROR_BASE (_VI_ERROR + 0x3FFC0800L)
#define kq7150_ERROR_RSRC_LIST (kq7150_ERROR_BASE + 0x00)
#define kq7150_ERROR_NO_CARD (kq7150_ERROR_BASE + 0x01)
#define kq7150_ERROR_WRONG_MODEL (kq7150_ERROR_BASE + 0x02)
#define kq7150_ERROR_DUPLICATE_CARD (kq7150_ERROR_BASE + 0x03)
#define kq7150_ERROR_TOO_MANY_CARDS (kq7150_ERROR_BASE + 0x04)
#define kq7150_ERROR_CARD_INDEX (kq7150_ERROR_BASE + 0x05)
#define kq7150_ERROR_CHANNEL (kq7150_ERROR_BASE + 0x06)
#define kq7150_ERROR_SOURCE (kq7150_ERROR_BASE + 0x07)
#define kq7150_ERROR_GAIN (kq7150_ERROR_BASE + 0x08)
#define kq7150_ERROR_RATE (kq7150_ERROR_BASE + 0x09)
#define kq7150_ERROR_CHANNEL_MASK (kq7150_ERROR_BASE + 0x0A)
#define kq7150_ERROR_TRIGGER (kq7150_ERROR_BASE + 0x0B)
#define kq7150_ERROR_NOT_CONFIGURED (kq7150_ERROR_BASE + 0x0C)
#define kq7150_ERROR_RUNNING (kq7150_ERROR_BASE + 0x0D)
#define kq7150_ERROR_NO_DATA (kq7150_ERROR_BASE + 0x0E)
#define kq7150_ERROR_NO_VREF (kq7150_ERROR_BASE + 0x0F)
#define kq7150_ERROR_START_TIME_PAST (kq7150_ERROR_BASE + 0x10)
#define kq7150_ERROR_START_ABORTED (kq7150_ERROR_BASE + 0x11)
#define kq7150_ERROR_ATTRIBUTE (kq7150_ERROR_BASE + 0x12)
#define kq7150_ERROR_PARAMETER (kq7150_ERROR_BASE + 0x13)
#define kq7150_ERROR_SESSION (kq7150_ERROR_BASE + 0x14)
#define kq7150_ERROR_SCANS (kq7150_ERROR_BASE + 0x15)
#define kq7150_ERROR_MODE (kq7150_ERROR_BASE + 0x16)
/* Warnings the front panel ignores. */
#define kq7150_WARN_CAL_DUE (0x3FFC0A02L)
#define kq7150_WARN_FW_NEWER (0x3FFC0A03L)

/* Block callback of continuous acquisition: called on the driver's thread once per block. */
typedef void(_VI_FUNCH *kq7150_callback_t)(ViSession vi, ViAddr userData);

/* Environment blocks, reached with viGetAttribute(session, VI_ATTR_USER_DATA, &pointer). */

/* The carrier's voltage reference module. Operations take the block's libEnv handle. */
typedef struct kq7000_ifVref {
    void *reserved;     /* not used by the front panel */
    ViInt32 *count;     /* number of reference voltages; may be null */
    ViReal64 *voltages; /* the reference voltages, in the carrier's order */
    ViStatus(_VI_FUNCH *setVoltRefOutput)(void *libEnv, ViReal64 volts);
    ViStatus(_VI_FUNCH *getVoltRefOutput)(void *libEnv, ViReal64 *volts); /* 0 on success */
} kq7000_ifVref;

typedef struct kq7000_envHead {
    void *libEnv;          /* opaque handle of the common library */
    kq7000_ifVref *ifVref; /* null when the carrier has no reference module */
} kq7000_envHead;

/* instEnv of one card session. */
typedef struct kq7150_instEnv {
    kq7000_envHead head;
    ViUInt16 variant; /* two ASCII characters, high byte first ("BB" is 0x4242) */
    ViInt16 fcNumber; /* slot of the card on its carrier, from 1 */
} kq7150_instEnv;

/* Per-card record of the multi-card block. */
typedef struct kq7150_multCard {
    ViUInt16 intfType; /* VISA interface type of the card's carrier (VI_INTF_TCPIP = 6) */
    ViInt16 fcNumber;  /* slot of the card on its carrier, from 1 */
    ViUInt16 intfNum;  /* VISA board number */
    ViInt16 vxiLa;     /* logical address on a VXI carrier, else -1 */
    ViByte reserved[12];
} kq7150_multCard;

/* multEnv of a multi-card session: card j's record starts at byte 254 + 20 * j. */
typedef struct kq7150_multEnv {
    ViByte header[254];
    kq7150_multCard cards[kq7150_MAX_CARDS];
} kq7150_multEnv;

/* Sessions. resourceList names one carrier per card, separated by ","; cardNumbers[i] is
 * the slot (from 1) of the i-th card on the i-th named carrier. */
ViStatus _VI_FUNC kq7150_multInit(ViConstRsrc resourceList, ViInt16 cardNumbers[], ViBoolean idQuery,
                                  ViBoolean resetDevice, ViPSession vi);
ViStatus _VI_FUNC kq7150_multClose(ViSession vi);
ViStatus _VI_FUNC kq7150_multReset(ViSession vi, ViBoolean resetCards);
ViStatus _VI_FUNC kq7150_getMultFCsession(ViSession vi, ViInt16 fcIndex, ViPSession fcVi);

/* Texts. message holds kq7150_ERROR_MSG_BUFLEN bytes; a non-zero result means the driver
 * has no text for the status. Text buffers hold kq7150_TEXT_BUFLEN bytes; a null buffer is
 * skipped. */
ViStatus _VI_FUNC kq7150_error_message(ViSession vi, ViStatus statusCode, ViChar message[]);
ViStatus _VI_FUNC kq7150_revision_query(ViSession vi, ViChar driverRev[], ViChar instrRev[]);
ViStatus _VI_FUNC kq7150_getSubType(ViSession fcVi, ViChar subType[]);
ViStatus _VI_FUNC kq7150_getSerNum(ViSession fcVi, ViUInt32 *serialNumber);

/* Channels. channel is the 1-based global channel: card index * 8 + channel index + 1. */
ViStatus _VI_FUNC kq7150_setMultChanConfig(ViSession vi, ViInt16 channel, ViUInt16 source, ViInt32 gain,
                                           ViBoolean highPass, ViBoolean antiRinging);
ViStatus _VI_FUNC kq7150_setVoltRef(ViSession fcVi, ViInt16 state);
/* channel 1..8 of the card; offsetError and gainError receive the removed errors when not null. */
ViStatus _VI_FUNC kq7150_calibrateChannel(ViSession fcVi, ViInt16 channel, ViReal64 *offsetError,
                                          ViReal64 *gainError);

/* PTP time of the card: seconds on the card clock (TAI), nanoseconds, and the UTC offset
 * (card seconds - UTC seconds). Null out-pointers are skipped; ptpState receives 1 when
 * the clock is synchronised. */
ViStatus _VI_FUNC kq7150_getCurrentTimeEx(ViSession fcVi, ViUInt64 *seconds, ViUInt32 *nanoseconds,
                                          ViInt16 *utcOffset, ViInt16 *ptpState);

/* Acquisition. */
ViStatus _VI_FUNC kq7150_setMultTrigConfig(ViSession vi, ViInt16 source, ViInt16 mode, ViInt16 edge,
                                           ViReal64 level, ViInt32 preTriggerScans);
ViStatus _VI_FUNC kq7150_multConfig(ViSession vi, ViInt16 syncMode, ViUInt16 channelMasks[], ViReal64 rate,
                                    ViInt16 acqMode, ViInt32 scansPerTrigger, ViUInt16 syncIn,
                                    ViUInt16 syncOut);
ViStatus _VI_FUNC kq7150_setAcquisitionAttribute(ViSession vi, ViInt32 attribute, void *value);
ViStatus _VI_FUNC kq7150_startMultAcquisition(ViSession vi);
ViStatus _VI_FUNC kq7150_startMultAcquisitionEx(ViSession vi, ViInt32 scansPerBlock,
                                                kq7150_callback_t callback, ViAddr userData);
/* startTime is in card seconds; the call returns once the acquisition has started. */
ViStatus _VI_FUNC kq7150_startMultAcquisitionTimed64(ViSession vi, ViUInt64 startTime);
ViStatus _VI_FUNC kq7150_startMultAcquisitionTimed64Ex(ViSession vi, ViInt32 scansPerBlock,
                                                       kq7150_callback_t callback, ViAddr userData,
                                                       ViUInt64 startTime, ViInt32 options);
ViStatus _VI_FUNC kq7150_checkMultAcquisition(ViSession vi, ViInt16 *state, ViUInt16 *errors,
                                              ViUInt32 *backlog, ViInt16 *overflow);
/* Reads return channel-major blocks over the enabled channels of all cards: all scans of the
 * first enabled channel, then the next; cards in order, then channels in order. */
ViStatus _VI_FUNC kq7150_readMultAcquisition(ViSession vi, ViInt32 scans, ViReal64 data[]);
ViStatus _VI_FUNC kq7150_readMultAcquisitionEx(ViSession vi, ViInt32 scans, ViReal64 data[],
                                               ViUInt32 seconds[], ViUInt32 nanoseconds[]);
ViStatus _VI_FUNC kq7150_readMultAcquisition32(ViSession vi, ViInt32 scans, ViInt32 data[]);
ViStatus _VI_FUNC kq7150_stopMultAcquisition(ViSession vi);
ViStatus _VI_FUNC kq7150_generateITRI(ViSession fcVi, ViInt16 mode);

#ifdef __cplusplus
}
#endif

#endif
