// The analyser seen as a serial device (the kernel's FTDI driver exposes it as
// /dev/ttyUSB0): the D2XX calls mapped onto POSIX open, raw termios, read, write,
// FIONREAD and tcflush. One device, the port given; its "serial number" is the path.
#pragma once

#include <string>

#include "ftdi_driver.h"

namespace xmca {

class SerialDriver : public FtdiDriver {
public:
    explicit SerialDriver(std::string path);
    ~SerialDriver() override;
    SerialDriver(const SerialDriver&) = delete;
    SerialDriver& operator=(const SerialDriver&) = delete;

    const std::string& path() const { return path_; }

    // Enumeration reports one device when the port exists, with the path as its
    // serial number; FT_OpenEx opens it by that path.
    FT_STATUS FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) override;
    FT_STATUS FT_OpenEx(void* pvArg1, DWORD flags, FT_HANDLE* handle) override;
    // Flushes both directions (a serial port has no reset of its own).
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    // Sets the kernel driver's latency timer in sysfs where the port has one.
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t ms) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) override;
    // Writes all bytes or fails when the write time-out runs out.
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytes, DWORD* written) override;
    // Reads until `bytes` have come or the read time-out runs out (then FT_OK with
    // fewer bytes, as the vendor driver does).
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes, DWORD* returned) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued) override;

private:
    bool valid(FT_HANDLE handle) const { return handle != nullptr && handle == &fd_ && fd_ >= 0; }

    std::string path_;
    int fd_ = -1;
    DWORD readTimeoutMs_ = 3000;
    DWORD writeTimeoutMs_ = 3000;
};

}  // namespace xmca
