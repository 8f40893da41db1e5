// vdxrapi: the library the desktop deploys on the device and calls through
// the Remote API. Its exports, the wire format of their replies, and the
// system records and control codes they read.
#ifndef PONTIRO_DEVICELIB_VDXRAPI_H
#define PONTIRO_DEVICELIB_VDXRAPI_H

#include "devicelib/cecore.h"

#if defined(_WIN32_WCE) || defined(_WIN32)
#define VDXRAPI_EXPORT extern "C" __declspec(dllexport)
#else
#define VDXRAPI_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The block-mode signature of a Remote API extension: input size, input
// (the export releases it with LocalFree), places for the reply size and
// the reply (allocated with LocalAlloc), and the unused stream.
typedef LONG (*VDXRAPI_FUNCTION)(DWORD inputSize, BYTE* input, DWORD* replySize,
                                 BYTE** reply, void* stream);

VDXRAPI_EXPORT LONG VDXGetDeviceID(DWORD, BYTE*, DWORD*, BYTE**, void*);
VDXRAPI_EXPORT LONG VDXGetCardID(DWORD, BYTE*, DWORD*, BYTE**, void*);
VDXRAPI_EXPORT LONG VDXGetDiskSize(DWORD, BYTE*, DWORD*, BYTE**, void*);
VDXRAPI_EXPORT LONG VDXGetMapVender(DWORD, BYTE*, DWORD*, BYTE**, void*);
VDXRAPI_EXPORT LONG VDXGetMapExtra(DWORD, BYTE*, DWORD*, BYTE**, void*);
VDXRAPI_EXPORT LONG VDXSoftReset(DWORD, BYTE*, DWORD*, BYTE**, void*);
VDXRAPI_EXPORT LONG VDXStopApplication(DWORD, BYTE*, DWORD*, BYTE**, void*);

#if !defined(_WIN32_WCE)
// Hands the library the core functions it calls; the loader calls it once
// after loading and before any export. Returns FALSE for a table that is
// too small for this library.
typedef BOOL (*VDXRAPI_ATTACH)(const CE_CORE_LIBRARY* core);
VDXRAPI_EXPORT BOOL CeAttachCoreLibrary(const CE_CORE_LIBRARY* core);
#endif

// Results of the exports besides 0 (success) and the system's error numbers.
enum : LONG
{
    VDXRAPI_NO_PLACE = -1,      // reply places or input missing, or no answer
    VDXRAPI_BAD_INPUT = -2,     // input text empty or not within the input
    VDXRAPI_NO_WINDOW = 1       // VDXStopApplication: no window matches
};

// The device's identity record (IOCTL_HAL_GET_DEVICEID); offsets are
// counted from the record's start.
struct DEVICE_ID
{
    DWORD dwSize;
    DWORD dwPresetIDOffset;
    DWORD dwPresetIDBytes;
    DWORD dwPlatformIDOffset;
    DWORD dwPlatformIDBytes;
};

// The storage card's identification (IOCTL_DISK_GET_STORAGEID).
struct STORAGE_IDENTIFICATION
{
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwManufactureIDOffset;
    DWORD dwSerialNumOffset;
};

#define MANUFACTUREID_INVALID 0x01
#define SERIALNUM_INVALID 0x02

#define IOCTL_HAL_GET_DEVICEID CTL_CODE(FILE_DEVICE_HAL, 21, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_HAL_REBOOT CTL_CODE(FILE_DEVICE_HAL, 15, METHOD_BUFFERED, FILE_ANY_ACCESS)
// Functions 2048 and above belong to the device maker's adaptation layer.
#define IOCTL_HAL_GET_MAP_VENDER CTL_CODE(FILE_DEVICE_HAL, 2075, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_HAL_GET_MAP_EXTRA CTL_CODE(FILE_DEVICE_HAL, 2074, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_DISK_GET_STORAGEID CTL_CODE(FILE_DEVICE_DISK, 0x709, METHOD_BUFFERED, FILE_ANY_ACCESS)

// Working limits of the exports.
enum : DWORD
{
    kDeviceIdBuffer = 512,      // first attempt of the identity query
    kDeviceIdLargest = 65536,   // largest record a second attempt takes
    kHexText = 512,             // hexadecimal identity, with terminator
    kStorageTexts = 128,        // room for the card's texts
    kStorageRecord = 16 + 128,  // identification record with its texts
    kVolumePath = 268,          // card volume path in characters
    kOemText = 104,             // OEM text buffer in characters
    kOemQuery = 100,            // ... of which the query may fill
    kCardText = 64,             // each card text, with terminator
    kMapText = 128              // map-vendor / map-extra reply in bytes
};

#endif
