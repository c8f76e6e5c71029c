// The D2XX calls on libftdi1 (over libusb), so the analyser can be driven on Linux
// without the vendor library. Status codes are mapped onto the vendor's. Built
// only when libftdi1 is found; otherwise available() is false and every call
// reports no device.
#pragma once

#include <memory>
#include <string>

#include "ftdi_driver.h"

namespace xmca {

class LibftdiDriver : public FtdiDriver {
public:
    LibftdiDriver();
    ~LibftdiDriver() override;
    LibftdiDriver(const LibftdiDriver&) = delete;
    LibftdiDriver& operator=(const LibftdiDriver&) = delete;

    // Whether the program was built with libftdi1.
    static bool available();
    // Why the last call failed, from libftdi ("" when it did not).
    const std::string& message() const { return message_; }

    // Lists the FTDI devices of the usual vendor/product ids with their serials.
    FT_STATUS FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) override;
    FT_STATUS FT_OpenEx(void* pvArg1, DWORD flags, FT_HANDLE* handle) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t ms) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytes, DWORD* written) override;
    // Reads until `bytes` have come or the read time-out runs out.
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes, DWORD* returned) override;
    // libftdi has no queue count: one USB read collects what the chip holds into
    // the driver's own buffer, whose size is reported.
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued) override;

private:
    struct Device;
    Device* device(FT_HANDLE handle) const;

    std::unique_ptr<Device> dev_;  // the one device this driver has open
    std::string message_;
};

}  // namespace xmca
