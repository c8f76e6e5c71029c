// The vendor's D2XX library, loaded by name at run time (dlopen / LoadLibrary) so
// the program builds and starts without it. The prototypes are declared here; no
// vendor header is used. Calls on a backend that did not load fail with the driver's
// own status codes and never crash.
#pragma once

#include <string>
#include <vector>

#include "ftdi_driver.h"

namespace xmca {

class D2xxDriver : public FtdiDriver {
public:
    // Library names tried in order; the platform default when empty.
    explicit D2xxDriver(std::vector<std::string> libraryNames = {});
    ~D2xxDriver() override;
    D2xxDriver(const D2xxDriver&) = delete;
    D2xxDriver& operator=(const D2xxDriver&) = delete;

    // Loads the library and resolves the nine entry points; true on success. On
    // failure message() says why, for the operator, e.g.
    // "D2XX driver library libftd2xx.so not found".
    bool load();
    bool loaded() const { return loaded_; }
    const std::string& message() const { return message_; }

    static std::vector<std::string> defaultLibraryNames();

    FT_STATUS FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) override;
    FT_STATUS FT_OpenEx(void* pvArg1, DWORD flags, FT_HANDLE* handle) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t ms) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytes, DWORD* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes, DWORD* returned) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued) override;

private:
    struct Api;
    void unload();

    std::vector<std::string> names_;
    void* lib_ = nullptr;
    Api* api_ = nullptr;
    bool loaded_ = false;
    std::string message_;
};

}  // namespace xmca
