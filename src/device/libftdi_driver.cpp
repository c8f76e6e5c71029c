#include "libftdi_driver.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <thread>
#include <vector>

#ifdef XMCA_HAVE_LIBFTDI
#include <ftdi.h>
#endif

namespace xmca {

#ifdef XMCA_HAVE_LIBFTDI
namespace {

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// libftdi's find/open results onto the vendor's codes: -3 is "device not found",
// the other open failures (cannot open, claim or configure) "not opened".
FT_STATUS openStatus(int r) { return r == -3 ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED; }

struct Context {
    ftdi_context* ctx = ftdi_new();
    ~Context() {
        if (ctx) ftdi_free(ctx);
    }
};

struct DeviceList {
    ftdi_device_list* list = nullptr;
    ~DeviceList() {
        if (list) ftdi_list_free(&list);
    }
};

}  // namespace

struct LibftdiDriver::Device {
    ftdi_context* ctx = nullptr;
    std::deque<std::uint8_t> rx;  // bytes read off USB, not yet handed out
    int readTimeoutMs = 3000;
    ~Device() {
        if (ctx) {
            ftdi_usb_close(ctx);
            ftdi_free(ctx);
        }
    }
    // One USB read into rx; false on an error.
    bool fill() {
        unsigned char buf[4096];
        const int n = ftdi_read_data(ctx, buf, sizeof buf);
        if (n < 0) return false;
        rx.insert(rx.end(), buf, buf + n);
        return true;
    }
};

bool LibftdiDriver::available() { return true; }

LibftdiDriver::LibftdiDriver() = default;
LibftdiDriver::~LibftdiDriver() = default;

LibftdiDriver::Device* LibftdiDriver::device(FT_HANDLE handle) const {
    return handle != nullptr && handle == dev_.get() ? dev_.get() : nullptr;
}

FT_STATUS LibftdiDriver::FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) {
    const bool numberOnly = (flags & FT_LIST_NUMBER_ONLY) != 0;
    if (numberOnly ? pvArg1 == nullptr
                   : (flags != (FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER) || pvArg1 == nullptr || pvArg2 == nullptr))
        return FT_INVALID_PARAMETER;
    Context c;
    if (!c.ctx) {
        message_ = "libftdi1: cannot start libusb";
        return FT_OTHER_ERROR;
    }
    DeviceList dl;
    // Vendor and product 0: the FTDI ids libftdi knows (FT232, FT2232, FT4232, FT232H, FT230X).
    const int n = ftdi_usb_find_all(c.ctx, &dl.list, 0, 0);
    if (n < 0) {
        message_ = std::string("libftdi1: ") + ftdi_get_error_string(c.ctx);
        return FT_IO_ERROR;
    }
    message_.clear();
    if (numberOnly) {
        *static_cast<DWORD*>(pvArg1) = static_cast<DWORD>(n);
        return FT_OK;
    }
    auto** out = static_cast<char**>(pvArg1);
    int i = 0;
    for (ftdi_device_list* d = dl.list; d != nullptr && out[i] != nullptr; d = d->next, ++i) {
        std::memset(out[i], 0, 64);
        // A device whose strings cannot be read (busy, or no access) gets an
        // empty serial and cannot be opened by one.
        ftdi_usb_get_strings(c.ctx, d->dev, nullptr, 0, nullptr, 0, out[i], 64);
        out[i][63] = '\0';
    }
    *static_cast<DWORD*>(pvArg2) = static_cast<DWORD>(n);
    return FT_OK;
}

FT_STATUS LibftdiDriver::FT_OpenEx(void* pvArg1, DWORD flags, FT_HANDLE* handle) {
    if (handle == nullptr || pvArg1 == nullptr || flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_INVALID_PARAMETER;
    const std::string serial(static_cast<const char*>(pvArg1), strnlen(static_cast<const char*>(pvArg1), 64));
    if (serial.empty()) return FT_DEVICE_NOT_FOUND;
    if (dev_) return FT_DEVICE_NOT_OPENED;  // one open device per driver, as the link uses it
    auto d = std::make_unique<Device>();
    d->ctx = ftdi_new();
    if (!d->ctx) return FT_INSUFFICIENT_RESOURCES;
    DeviceList dl;
    const int n = ftdi_usb_find_all(d->ctx, &dl.list, 0, 0);
    if (n < 0) {
        message_ = std::string("libftdi1: ") + ftdi_get_error_string(d->ctx);
        return FT_IO_ERROR;
    }
    for (ftdi_device_list* e = dl.list; e != nullptr; e = e->next) {
        char s[64] = {};
        if (ftdi_usb_get_strings(d->ctx, e->dev, nullptr, 0, nullptr, 0, s, sizeof s) < 0) continue;
        if (serial != s) continue;
        const int r = ftdi_usb_open_dev(d->ctx, e->dev);
        if (r < 0) {
            message_ = std::string("libftdi1: ") + ftdi_get_error_string(d->ctx);
            return openStatus(r);
        }
        message_.clear();
        dev_ = std::move(d);
        *handle = dev_.get();
        return FT_OK;
    }
    message_ = "libftdi1: no device with serial number " + serial;
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS LibftdiDriver::FT_ResetDevice(FT_HANDLE handle) {
    Device* d = device(handle);
    if (!d) return FT_INVALID_HANDLE;
    d->rx.clear();
    return ftdi_usb_reset(d->ctx) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS LibftdiDriver::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t ms) {
    Device* d = device(handle);
    if (!d) return FT_INVALID_HANDLE;
    if (ms < 1) return FT_INVALID_PARAMETER;
    return ftdi_set_latency_timer(d->ctx, ms) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS LibftdiDriver::FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) {
    Device* d = device(handle);
    if (!d) return FT_INVALID_HANDLE;
    d->readTimeoutMs = static_cast<int>(std::min<DWORD>(readMs, 600000));
    // Each USB transfer is bounded by these.
    d->ctx->usb_read_timeout = d->readTimeoutMs;
    d->ctx->usb_write_timeout = static_cast<int>(std::min<DWORD>(writeMs, 600000));
    return FT_OK;
}

FT_STATUS LibftdiDriver::FT_Purge(FT_HANDLE handle, DWORD mask) {
    Device* d = device(handle);
    if (!d) return FT_INVALID_HANDLE;
    bool ok = true;
    if (mask & FT_PURGE_RX) {
        d->rx.clear();
        ok = ftdi_tciflush(d->ctx) == 0 && ok;
    }
    if (mask & FT_PURGE_TX) ok = ftdi_tcoflush(d->ctx) == 0 && ok;
    return ok ? FT_OK : FT_IO_ERROR;
}

FT_STATUS LibftdiDriver::FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytes, DWORD* written) {
    if (written) *written = 0;
    Device* d = device(handle);
    if (!d) return FT_INVALID_HANDLE;
    if (buffer == nullptr && bytes > 0) return FT_INVALID_PARAMETER;
    const int n = ftdi_write_data(d->ctx, static_cast<const unsigned char*>(buffer), static_cast<int>(bytes));
    if (n < 0) return FT_IO_ERROR;
    if (written) *written = static_cast<DWORD>(n);
    return FT_OK;
}

FT_STATUS LibftdiDriver::FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes, DWORD* returned) {
    if (returned) *returned = 0;
    Device* d = device(handle);
    if (!d) return FT_INVALID_HANDLE;
    if ((buffer == nullptr && bytes > 0) || returned == nullptr) return FT_INVALID_PARAMETER;
    const std::int64_t deadline = nowMs() + d->readTimeoutMs;
    while (d->rx.size() < bytes) {
        if (!d->fill()) return FT_IO_ERROR;
        if (d->rx.size() >= bytes || nowMs() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const std::size_t n = std::min<std::size_t>(bytes, d->rx.size());
    std::copy_n(d->rx.begin(), n, static_cast<std::uint8_t*>(buffer));
    d->rx.erase(d->rx.begin(), d->rx.begin() + static_cast<std::ptrdiff_t>(n));
    *returned = static_cast<DWORD>(n);
    return FT_OK;
}

FT_STATUS LibftdiDriver::FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued) {
    if (queued) *queued = 0;
    Device* d = device(handle);
    if (!d) return FT_INVALID_HANDLE;
    if (queued == nullptr) return FT_INVALID_PARAMETER;
    if (!d->fill()) return FT_IO_ERROR;
    *queued = static_cast<DWORD>(d->rx.size());
    return FT_OK;
}

#else  // built without libftdi1

struct LibftdiDriver::Device {};

bool LibftdiDriver::available() { return false; }
LibftdiDriver::LibftdiDriver() { message_ = "libftdi1 support was not built in"; }
LibftdiDriver::~LibftdiDriver() = default;
LibftdiDriver::Device* LibftdiDriver::device(FT_HANDLE) const { return nullptr; }

FT_STATUS LibftdiDriver::FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) {
    if ((flags & FT_LIST_NUMBER_ONLY) != 0 && pvArg1) *static_cast<DWORD*>(pvArg1) = 0;
    else if (pvArg2) *static_cast<DWORD*>(pvArg2) = 0;
    return FT_DEVICE_NOT_FOUND;
}
FT_STATUS LibftdiDriver::FT_OpenEx(void*, DWORD, FT_HANDLE*) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS LibftdiDriver::FT_ResetDevice(FT_HANDLE) { return FT_INVALID_HANDLE; }
FT_STATUS LibftdiDriver::FT_SetLatencyTimer(FT_HANDLE, std::uint8_t) { return FT_INVALID_HANDLE; }
FT_STATUS LibftdiDriver::FT_SetTimeouts(FT_HANDLE, DWORD, DWORD) { return FT_INVALID_HANDLE; }
FT_STATUS LibftdiDriver::FT_Purge(FT_HANDLE, DWORD) { return FT_INVALID_HANDLE; }
FT_STATUS LibftdiDriver::FT_Write(FT_HANDLE, const void*, DWORD, DWORD* w) {
    if (w) *w = 0;
    return FT_INVALID_HANDLE;
}
FT_STATUS LibftdiDriver::FT_Read(FT_HANDLE, void*, DWORD, DWORD* r) {
    if (r) *r = 0;
    return FT_INVALID_HANDLE;
}
FT_STATUS LibftdiDriver::FT_GetQueueStatus(FT_HANDLE, DWORD* q) {
    if (q) *q = 0;
    return FT_INVALID_HANDLE;
}
#endif

}  // namespace xmca
