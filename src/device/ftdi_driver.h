// The driver layer: exactly the D2XX calls the analyser link uses, with the
// driver's own status codes. Backends: the vendor library loaded at run time
// (d2xx_driver.h) and the in-process SimulatedAnalyser.
#pragma once

#include <cstdint>

namespace xmca {

using FT_HANDLE = void*;
using FT_STATUS = std::uint32_t;
using DWORD = std::uint32_t;

// Status codes as the vendor driver defines them.
enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_OTHER_ERROR = 18,
};

// Flags of FT_ListDevices / FT_OpenEx and the purge mask.
enum : DWORD {
    FT_LIST_NUMBER_ONLY = 0x80000000u,
    FT_LIST_BY_INDEX = 0x40000000u,
    FT_LIST_ALL = 0x20000000u,
    FT_OPEN_BY_SERIAL_NUMBER = 1,
    FT_OPEN_BY_DESCRIPTION = 2,
    FT_PURGE_RX = 1,
    FT_PURGE_TX = 2,
};

class FtdiDriver {
public:
    virtual ~FtdiDriver() = default;

    // With FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER: pvArg1 is a null-terminated
    // array of char* buffers (64 bytes each) receiving serial numbers, pvArg2 a
    // DWORD* receiving the device count.
    virtual FT_STATUS FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) = 0;
    virtual FT_STATUS FT_OpenEx(void* pvArg1, DWORD flags, FT_HANDLE* handle) = 0;
    virtual FT_STATUS FT_ResetDevice(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t ms) = 0;
    virtual FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) = 0;
    virtual FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) = 0;
    virtual FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytes, DWORD* written) = 0;
    virtual FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes, DWORD* returned) = 0;
    virtual FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued) = 0;
};

}  // namespace xmca
