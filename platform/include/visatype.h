/* Basic VISA data types: the subset of the VISA standard's type definitions that this
 * program and its platform layer use, written from the published standard. */
#ifndef KQ_VISATYPE_H
#define KQ_VISATYPE_H

#define _VI_FUNC
#define _VI_FUNCH
#define _VI_FUNCC
#define _VI_PTR *

typedef unsigned int ViUInt32;
typedef ViUInt32 _VI_PTR ViPUInt32;
typedef signed int ViInt32;
typedef ViInt32 _VI_PTR ViPInt32;
typedef unsigned long long ViUInt64;
typedef ViUInt64 _VI_PTR ViPUInt64;
typedef signed long long ViInt64;
typedef ViInt64 _VI_PTR ViPInt64;
typedef unsigned short ViUInt16;
typedef ViUInt16 _VI_PTR ViPUInt16;
typedef signed short ViInt16;
typedef ViInt16 _VI_PTR ViPInt16;
typedef unsigned char ViUInt8;
typedef ViUInt8 _VI_PTR ViPUInt8;
typedef signed char ViInt8;
typedef char ViChar;
typedef ViChar _VI_PTR ViPChar;
typedef unsigned char ViByte;
typedef ViByte _VI_PTR ViPByte;
typedef void _VI_PTR ViAddr;
typedef ViAddr _VI_PTR ViPAddr;
typedef float ViReal32;
typedef ViReal32 _VI_PTR ViPReal32;
typedef double ViReal64;
typedef ViReal64 _VI_PTR ViPReal64;
typedef ViUInt16 ViBoolean;
typedef ViBoolean _VI_PTR ViPBoolean;
typedef ViPChar ViString;
typedef const ViChar _VI_PTR ViConstString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViInt32 ViStatus;
typedef ViStatus _VI_PTR ViPStatus;
typedef ViUInt32 ViObject;
typedef ViObject _VI_PTR ViPObject;
typedef ViObject ViSession;
typedef ViSession _VI_PTR ViPSession;
typedef ViUInt32 ViAttr;
typedef ViObject ViFindList;
typedef ViFindList _VI_PTR ViPFindList;
typedef ViUInt32 ViAccessMode;
typedef ViUInt64 ViAttrState;

#define VI_NULL 0
#define VI_TRUE ((ViBoolean)1)
#define VI_FALSE ((ViBoolean)0)
#define VI_SUCCESS 0L

#endif
