#include "d2xx_driver.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#define XMCA_FTAPI __stdcall
#else
#include <dlfcn.h>
#define XMCA_FTAPI
#endif

namespace xmca {
namespace {

// The library's own types: status and ULONG arguments are unsigned long, the
// DWORD outputs are written through pointers. Outputs are received in zeroed
// 64-bit cells and read back from their low 32 bits (little-endian), so a
// 32-bit or 64-bit DWORD in the library both come out right.
using Status = unsigned long;
using Handle = void*;
using ListDevicesFn = Status(XMCA_FTAPI*)(void*, void*, unsigned long);
using OpenExFn = Status(XMCA_FTAPI*)(void*, unsigned long, Handle*);
using ResetDeviceFn = Status(XMCA_FTAPI*)(Handle);
using SetLatencyTimerFn = Status(XMCA_FTAPI*)(Handle, unsigned char);
using SetTimeoutsFn = Status(XMCA_FTAPI*)(Handle, unsigned long, unsigned long);
using PurgeFn = Status(XMCA_FTAPI*)(Handle, unsigned long);
using WriteFn = Status(XMCA_FTAPI*)(Handle, void*, unsigned long, void*);
using ReadFn = Status(XMCA_FTAPI*)(Handle, void*, unsigned long, void*);
using GetQueueStatusFn = Status(XMCA_FTAPI*)(Handle, void*);

DWORD low32(const std::uint64_t& cell) {
    std::uint32_t v;
    std::memcpy(&v, &cell, sizeof v);
    return v;
}

FT_STATUS status32(Status s) { return static_cast<FT_STATUS>(s); }

void* openLibrary(const std::string& name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
#else
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void* symbol(void* lib, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
#else
    return dlsym(lib, name);
#endif
}

void closeLibrary(void* lib) {
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(lib));
#else
    dlclose(lib);
#endif
}

template <typename Fn>
bool resolve(void* lib, const char* name, Fn* fn) {
    void* p = symbol(lib, name);
    if (p == nullptr) return false;
    std::memcpy(fn, &p, sizeof p);
    return true;
}

}  // namespace

struct D2xxDriver::Api {
    ListDevicesFn listDevices = nullptr;
    OpenExFn openEx = nullptr;
    ResetDeviceFn resetDevice = nullptr;
    SetLatencyTimerFn setLatencyTimer = nullptr;
    SetTimeoutsFn setTimeouts = nullptr;
    PurgeFn purge = nullptr;
    WriteFn write = nullptr;
    ReadFn read = nullptr;
    GetQueueStatusFn getQueueStatus = nullptr;
};

std::vector<std::string> D2xxDriver::defaultLibraryNames() {
#ifdef _WIN32
    return {"ftd2xx.dll"};
#else
    return {"libftd2xx.so", "libftd2xx.so.1"};
#endif
}

D2xxDriver::D2xxDriver(std::vector<std::string> libraryNames) : names_(std::move(libraryNames)) {
    if (names_.empty()) names_ = defaultLibraryNames();
}

D2xxDriver::~D2xxDriver() { unload(); }

void D2xxDriver::unload() {
    delete api_;
    api_ = nullptr;
    if (lib_) closeLibrary(lib_);
    lib_ = nullptr;
    loaded_ = false;
}

bool D2xxDriver::load() {
    if (loaded_) return true;
    unload();
    std::string used;
    for (const std::string& name : names_) {
        lib_ = openLibrary(name);
        if (lib_) {
            used = name;
            break;
        }
    }
    if (!lib_) {
        message_ = "D2XX driver library " + (names_.empty() ? std::string("?") : names_.front()) + " not found";
        return false;
    }
    auto* api = new Api;
    const char* missing = nullptr;
    if (!resolve(lib_, "FT_ListDevices", &api->listDevices)) missing = "FT_ListDevices";
    else if (!resolve(lib_, "FT_OpenEx", &api->openEx)) missing = "FT_OpenEx";
    else if (!resolve(lib_, "FT_ResetDevice", &api->resetDevice)) missing = "FT_ResetDevice";
    else if (!resolve(lib_, "FT_SetLatencyTimer", &api->setLatencyTimer)) missing = "FT_SetLatencyTimer";
    else if (!resolve(lib_, "FT_SetTimeouts", &api->setTimeouts)) missing = "FT_SetTimeouts";
    else if (!resolve(lib_, "FT_Purge", &api->purge)) missing = "FT_Purge";
    else if (!resolve(lib_, "FT_Write", &api->write)) missing = "FT_Write";
    else if (!resolve(lib_, "FT_Read", &api->read)) missing = "FT_Read";
    else if (!resolve(lib_, "FT_GetQueueStatus", &api->getQueueStatus)) missing = "FT_GetQueueStatus";
    if (missing) {
        delete api;
        closeLibrary(lib_);
        lib_ = nullptr;
        message_ = "D2XX driver library " + used + " lacks " + missing;
        return false;
    }
    api_ = api;
    loaded_ = true;
    message_.clear();
    return true;
}

FT_STATUS D2xxDriver::FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) {
    if (!loaded_) return FT_DEVICE_NOT_FOUND;
    std::uint64_t cell = 0;
    if ((flags & FT_LIST_NUMBER_ONLY) != 0) {
        // pvArg1 receives the count.
        const Status s = api_->listDevices(&cell, pvArg2, flags);
        if (pvArg1) *static_cast<DWORD*>(pvArg1) = low32(cell);
        return status32(s);
    }
    if ((flags & FT_LIST_ALL) != 0) {
        // pvArg2 receives the count.
        const Status s = api_->listDevices(pvArg1, &cell, flags);
        if (pvArg2) *static_cast<DWORD*>(pvArg2) = low32(cell);
        return status32(s);
    }
    return status32(api_->listDevices(pvArg1, pvArg2, flags));
}

FT_STATUS D2xxDriver::FT_OpenEx(void* pvArg1, DWORD flags, FT_HANDLE* handle) {
    if (!loaded_) return FT_DEVICE_NOT_FOUND;
    if (handle == nullptr) return FT_INVALID_PARAMETER;
    return status32(api_->openEx(pvArg1, flags, handle));
}

FT_STATUS D2xxDriver::FT_ResetDevice(FT_HANDLE handle) {
    if (!loaded_ || handle == nullptr) return FT_INVALID_HANDLE;
    return status32(api_->resetDevice(handle));
}

FT_STATUS D2xxDriver::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t ms) {
    if (!loaded_ || handle == nullptr) return FT_INVALID_HANDLE;
    return status32(api_->setLatencyTimer(handle, ms));
}

FT_STATUS D2xxDriver::FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) {
    if (!loaded_ || handle == nullptr) return FT_INVALID_HANDLE;
    return status32(api_->setTimeouts(handle, readMs, writeMs));
}

FT_STATUS D2xxDriver::FT_Purge(FT_HANDLE handle, DWORD mask) {
    if (!loaded_ || handle == nullptr) return FT_INVALID_HANDLE;
    return status32(api_->purge(handle, mask));
}

FT_STATUS D2xxDriver::FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytes, DWORD* written) {
    if (written) *written = 0;
    if (!loaded_ || handle == nullptr) return FT_INVALID_HANDLE;
    std::uint64_t cell = 0;
    const Status s = api_->write(handle, const_cast<void*>(buffer), bytes, &cell);
    if (written) *written = low32(cell);
    return status32(s);
}

FT_STATUS D2xxDriver::FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes, DWORD* returned) {
    if (returned) *returned = 0;
    if (!loaded_ || handle == nullptr) return FT_INVALID_HANDLE;
    std::uint64_t cell = 0;
    const Status s = api_->read(handle, buffer, bytes, &cell);
    if (returned) *returned = low32(cell);
    return status32(s);
}

FT_STATUS D2xxDriver::FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued) {
    if (queued) *queued = 0;
    if (!loaded_ || handle == nullptr) return FT_INVALID_HANDLE;
    std::uint64_t cell = 0;
    const Status s = api_->getQueueStatus(handle, &cell);
    if (queued) *queued = low32(cell);
    return status32(s);
}

}  // namespace xmca
