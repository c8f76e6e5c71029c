#include "serial_driver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace xmca {

#ifndef _WIN32
namespace {

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Waits for fd to become readable (POLLIN) or writable (POLLOUT) until deadline.
// 1 ready, 0 time-out, -1 error or hang-up.
int waitFd(int fd, short events, std::int64_t deadlineMs) {
    for (;;) {
        const std::int64_t left = deadlineMs - nowMs();
        if (left < 0) return 0;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left, 1000)));
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) continue;
        if (p.revents & events) return 1;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
    }
}

// Raw 8N1 without flow control. The speed matters only to a real UART; for the
// analyser's USB FIFO it is ignored, 115200 is a common default.
bool makeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace
#endif

SerialDriver::SerialDriver(std::string path) : path_(std::move(path)) {}

SerialDriver::~SerialDriver() {
#ifndef _WIN32
    if (fd_ >= 0) ::close(fd_);
#endif
}

#ifdef _WIN32
FT_STATUS SerialDriver::FT_ListDevices(void*, void* pvArg2, DWORD) {
    if (pvArg2) *static_cast<DWORD*>(pvArg2) = 0;
    return FT_OK;
}
FT_STATUS SerialDriver::FT_OpenEx(void*, DWORD, FT_HANDLE*) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS SerialDriver::FT_ResetDevice(FT_HANDLE) { return FT_INVALID_HANDLE; }
FT_STATUS SerialDriver::FT_SetLatencyTimer(FT_HANDLE, std::uint8_t) { return FT_INVALID_HANDLE; }
FT_STATUS SerialDriver::FT_SetTimeouts(FT_HANDLE, DWORD, DWORD) { return FT_INVALID_HANDLE; }
FT_STATUS SerialDriver::FT_Purge(FT_HANDLE, DWORD) { return FT_INVALID_HANDLE; }
FT_STATUS SerialDriver::FT_Write(FT_HANDLE, const void*, DWORD, DWORD* w) {
    if (w) *w = 0;
    return FT_INVALID_HANDLE;
}
FT_STATUS SerialDriver::FT_Read(FT_HANDLE, void*, DWORD, DWORD* r) {
    if (r) *r = 0;
    return FT_INVALID_HANDLE;
}
FT_STATUS SerialDriver::FT_GetQueueStatus(FT_HANDLE, DWORD* q) {
    if (q) *q = 0;
    return FT_INVALID_HANDLE;
}
#else

FT_STATUS SerialDriver::FT_ListDevices(void* pvArg1, void* pvArg2, DWORD flags) {
    struct stat st {};
    const DWORD count = (!path_.empty() && ::stat(path_.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) ? 1 : 0;
    if ((flags & FT_LIST_NUMBER_ONLY) != 0) {
        if (pvArg1 == nullptr) return FT_INVALID_PARAMETER;
        *static_cast<DWORD*>(pvArg1) = count;
        return FT_OK;
    }
    if (flags != (FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER) || pvArg1 == nullptr || pvArg2 == nullptr)
        return FT_INVALID_PARAMETER;
    auto** list = static_cast<char**>(pvArg1);
    if (count == 1 && list[0] != nullptr) {
        // 64-byte buffers; a longer path is cut, and FT_OpenEx compares the cut text.
        std::memset(list[0], 0, 64);
        std::memcpy(list[0], path_.data(), std::min<std::size_t>(path_.size(), 63));
    }
    *static_cast<DWORD*>(pvArg2) = count;
    return FT_OK;
}

FT_STATUS SerialDriver::FT_OpenEx(void* pvArg1, DWORD flags, FT_HANDLE* handle) {
    if (handle == nullptr || pvArg1 == nullptr || flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_INVALID_PARAMETER;
    const std::string asked(static_cast<const char*>(pvArg1), strnlen(static_cast<const char*>(pvArg1), 64));
    if (asked.empty() || asked != path_.substr(0, 63)) return FT_DEVICE_NOT_FOUND;
    if (fd_ >= 0) return FT_DEVICE_NOT_OPENED;  // opened once already, as the vendor driver refuses
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
    if (!makeRaw(fd)) {
        ::close(fd);
        return FT_DEVICE_NOT_OPENED;
    }
    fd_ = fd;
    *handle = &fd_;
    return FT_OK;
}

FT_STATUS SerialDriver::FT_ResetDevice(FT_HANDLE handle) {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    return ::tcflush(fd_, TCIOFLUSH) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS SerialDriver::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t ms) {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    if (ms < 1) return FT_INVALID_PARAMETER;
    // The kernel's FTDI driver has the chip's latency timer in sysfs (writable by
    // root or by a udev rule). Other ports have none; that is not an error.
    const std::size_t slash = path_.rfind('/');
    const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    const std::string attr = "/sys/class/tty/" + name + "/device/latency_timer";
    const int fd = ::open(attr.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        const std::string v = std::to_string(ms);
        [[maybe_unused]] const ssize_t n = ::write(fd, v.data(), v.size());
        ::close(fd);
    }
    return FT_OK;
}

FT_STATUS SerialDriver::FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    readTimeoutMs_ = readMs;
    writeTimeoutMs_ = writeMs;
    return FT_OK;
}

FT_STATUS SerialDriver::FT_Purge(FT_HANDLE handle, DWORD mask) {
    if (!valid(handle)) return FT_INVALID_HANDLE;
    const bool rx = (mask & FT_PURGE_RX) != 0, tx = (mask & FT_PURGE_TX) != 0;
    if (!rx && !tx) return FT_OK;
    return ::tcflush(fd_, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS SerialDriver::FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytes, DWORD* written) {
    if (written) *written = 0;
    if (!valid(handle)) return FT_INVALID_HANDLE;
    if (buffer == nullptr && bytes > 0) return FT_INVALID_PARAMETER;
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    const std::int64_t deadline = nowMs() + writeTimeoutMs_;
    DWORD done = 0;
    while (done < bytes) {
        const ssize_t n = ::write(fd_, p + done, bytes - done);
        if (n > 0) {
            done += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
        if (waitFd(fd_, POLLOUT, deadline) != 1) break;
    }
    if (written) *written = done;
    return done == bytes ? FT_OK : FT_IO_ERROR;
}

FT_STATUS SerialDriver::FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes, DWORD* returned) {
    if (returned) *returned = 0;
    if (!valid(handle)) return FT_INVALID_HANDLE;
    if ((buffer == nullptr && bytes > 0) || returned == nullptr) return FT_INVALID_PARAMETER;
    auto* p = static_cast<std::uint8_t*>(buffer);
    const std::int64_t deadline = nowMs() + readTimeoutMs_;
    DWORD done = 0;
    while (done < bytes) {
        const ssize_t n = ::read(fd_, p + done, bytes - done);
        if (n > 0) {
            done += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            *returned = done;
            return FT_IO_ERROR;
        }
        const int w = waitFd(fd_, POLLIN, deadline);
        if (w == 0) break;  // time-out: what came so far
        if (w < 0) {
            *returned = done;
            return FT_IO_ERROR;
        }
    }
    *returned = done;
    return FT_OK;
}

FT_STATUS SerialDriver::FT_GetQueueStatus(FT_HANDLE handle, DWORD* queued) {
    if (queued) *queued = 0;
    if (!valid(handle)) return FT_INVALID_HANDLE;
    if (queued == nullptr) return FT_INVALID_PARAMETER;
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0) return FT_IO_ERROR;
    *queued = static_cast<DWORD>(std::max(n, 0));
    return FT_OK;
}
#endif

}  // namespace xmca
