#include "analyser_link.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

namespace xmca {
namespace {

constexpr std::size_t kSerialBytes = 64;
constexpr std::size_t kBlockBytes = 512;
constexpr int kDrainRounds = 64;

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int twoDigits(int v) { return ((v % 100) + 100) % 100; }

}  // namespace

enum class WaitResult { Ok, DriverError, TimedOut };

AnalyserLink::AnalyserLink(FtdiDriver& driver, Clock clock) : driver_(driver), clock_(std::move(clock)) {
    if (!clock_) clock_ = steadyMs;
}

FT_HANDLE AnalyserLink::slot(int dev) const {
    if (dev < 0 || dev >= kMaxDevices) return nullptr;
    return handles_[dev];
}

FT_HANDLE AnalyserLink::handle(int dev) const { return slot(dev); }

const std::string& AnalyserLink::serialNumber(int dev) const {
    static const std::string none;
    if (dev < 0 || dev >= kMaxDevices) return none;
    return serials_[dev];
}

int AnalyserLink::OpenDevice(int dev) {
    if (dev < 0 || dev >= kMaxDevices) return 0;

    // Five 64-byte serial buffers and the null pointer that ends the list.
    char serialBuf[kMaxDevices][kSerialBytes] = {};
    void* list[kMaxDevices + 1] = {};
    for (int i = 0; i < kMaxDevices; ++i) list[i] = serialBuf[i];
    list[kMaxDevices] = nullptr;
    DWORD count = 0;
    if (driver_.FT_ListDevices(list, &count, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER) != FT_OK) return 0;

    DeviceCount = static_cast<std::int32_t>(std::min<DWORD>(count, std::numeric_limits<std::int32_t>::max()));
    // Only the table's five entries can be addressed, however many are attached.
    const int usable = static_cast<int>(std::min<DWORD>(count, kMaxDevices));
    if (dev >= usable) return 0;

    char serial[kSerialBytes + 1] = {};
    std::memcpy(serial, serialBuf[dev], kSerialBytes);
    const std::string serialText(serial, strnlen(serial, kSerialBytes));

    // A handle kept from an earlier open of the same device is used again: the driver
    // will not open a device twice, and there is no close, so opening afresh would
    // fail for the rest of the run.
    if (handles_[dev] == nullptr || serials_[dev] != serialText) {
        FT_HANDLE h = nullptr;
        if (driver_.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &h) != FT_OK || h == nullptr) return 0;
        handles_[dev] = h;
        serials_[dev] = serialText;
    }
    FT_HANDLE h = handles_[dev];
    if (driver_.FT_ResetDevice(h) != FT_OK) return 0;
    if (driver_.FT_SetLatencyTimer(h, 6) != FT_OK) return 0;
    driver_.FT_SetTimeouts(h, 3000, 3000);
    driver_.FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX);
    DeviceOpen = 1;
    return 1;
}

bool AnalyserLink::writeCommand(FT_HANDLE h, std::string_view command) {
    if (h == nullptr) return false;
    if (closing && closing->load()) return false;
    // Bytes waiting before a command is sent belong to no exchange of ours: the
    // line is out of step. So is it after any failed exchange. A reply that came
    // in late must not be taken for the answer to this command.
    if (!resyncPending_) {
        DWORD q = 0;
        if (driver_.FT_GetQueueStatus(h, &q) == FT_OK && q > 0) resyncPending_ = true;
    }
    if (resyncPending_) resync(h);
    if (closing && closing->load()) return false;  // closed while the line settled
    DWORD written = 0;
    const auto len = static_cast<DWORD>(command.size());
    if (driver_.FT_Write(h, command.data(), len, &written) != FT_OK || written != len) {
        // The analyser may have seen part of it, or may still answer.
        lostStep();
        return false;  // a partly written command is not a command
    }
    return true;
}

void AnalyserLink::resync(FT_HANDLE h) {
    ++resyncCount;
    std::array<std::uint8_t, 4096> scratch;
    const std::int64_t start = clock_();
    std::int64_t lastByte = start;
    bool lineOk = true;
    for (;;) {
        DWORD q = 0;
        if (driver_.FT_GetQueueStatus(h, &q) != FT_OK) {
            lineOk = false;
            break;
        }
        const std::int64_t now = clock_();
        if (q > 0) {
            DWORD got = 0;
            const DWORD n = std::min<DWORD>(q, scratch.size());
            if (driver_.FT_Read(h, scratch.data(), n, &got) != FT_OK) {
                lineOk = false;
                break;
            }
            lastByte = now;
        } else if (now - lastByte >= resyncQuietMs) {
            break;
        }
        if (now - start >= replyTimeoutMs) break;
        if (pollSleepUs > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(pollSleepUs));
        else if (pollSleepUs == 0)
            std::this_thread::yield();
    }
    driver_.FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX);
    // A driver that fails now gets another attempt before the next command.
    resyncPending_ = !lineOk;
}

static WaitResult waitFor(FtdiDriver& driver, const AnalyserLink::Clock& clock, std::int64_t timeoutMs,
                          int sleepUs, FT_HANDLE h, DWORD need, DWORD* queued) {
    const std::int64_t start = clock();
    for (;;) {
        DWORD q = 0;
        if (driver.FT_GetQueueStatus(h, &q) != FT_OK) return WaitResult::DriverError;
        if (q >= need) {
            *queued = q;
            return WaitResult::Ok;
        }
        if (clock() - start >= timeoutMs) {
            *queued = q;
            return WaitResult::TimedOut;
        }
        if (sleepUs > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(sleepUs));
        else if (sleepUs == 0)
            std::this_thread::yield();
    }
}

bool AnalyserLink::waitQueued(FT_HANDLE h, DWORD need, DWORD* queued) {
    return waitFor(driver_, clock_, replyTimeoutMs, pollSleepUs, h, need, queued) == WaitResult::Ok;
}

void AnalyserLink::drain(FT_HANDLE h) {
    std::array<std::uint8_t, 4096> scratch;
    for (int round = 0; round < kDrainRounds; ++round) {
        DWORD q = 0;
        if (driver_.FT_GetQueueStatus(h, &q) != FT_OK || q == 0) return;
        DWORD got = 0;
        const DWORD n = std::min<DWORD>(q, scratch.size());
        if (driver_.FT_Read(h, scratch.data(), n, &got) != FT_OK || got == 0) return;
    }
}

bool AnalyserLink::readQueued(FT_HANDLE h, DWORD queued, std::uint8_t* dst, std::size_t cap, DWORD* stored) {
    *stored = 0;
    const DWORD n = static_cast<DWORD>(std::min<std::size_t>(queued, cap));
    DWORD got = 0;
    if (driver_.FT_Read(h, dst, n, &got) != FT_OK) return false;
    *stored = std::min(got, n);
    if (queued > cap) drain(h);
    return true;
}

AnalyserLink::Exchange AnalyserLink::exchange(int dev, std::string_view command, bool needAck) {
    FT_HANDLE h = slot(dev);
    if (!writeCommand(h, command)) return Exchange::WriteFailed;
    DWORD queued = 0;
    const WaitResult w = waitFor(driver_, clock_, replyTimeoutMs, pollSleepUs, h, 1, &queued);
    if (w != WaitResult::Ok) {
        lostStep();  // its reply may still come
        return Exchange::NotAcknowledged;
    }
    std::array<std::uint8_t, kReplyBuffer> reply{};
    DWORD stored = 0;
    if (!readQueued(h, queued, reply.data(), reply.size(), &stored) || stored == 0) {
        lostStep();  // the reply may still be queued
        return Exchange::NotAcknowledged;
    }
    if (!needAck) return Exchange::Acknowledged;
    return reply[0] == '!' ? Exchange::Acknowledged : Exchange::NotAcknowledged;
}

int AnalyserLink::SendCommand(int dev, std::string_view command) {
    return exchange(dev, command, true) == Exchange::Acknowledged ? 1 : 0;
}

int AnalyserLink::StartAcquisition(int dev) {
    AcquisitionMode = 1;
    const Exchange r = exchange(dev, "$G;", true);
    // Once the command went out, anything but "!" leaves the analyser stopped.
    if (r != Exchange::WriteFailed) AcquisitionRunning = r == Exchange::Acknowledged ? 1 : 0;
    return r == Exchange::Acknowledged ? 1 : 0;
}

int AnalyserLink::StartScan(int dev) {
    AcquisitionMode = 0;
    const Exchange r = exchange(dev, "$X;", true);
    if (r != Exchange::WriteFailed) AcquisitionRunning = r == Exchange::Acknowledged ? 1 : 0;
    return r == Exchange::Acknowledged ? 1 : 0;
}

int AnalyserLink::StopAcquisition(int dev) {
    const int ok = SendCommand(dev, "$S;");
    if (ok) AcquisitionRunning = 0;
    return ok;
}

int AnalyserLink::ClearSpectrum(int dev, std::span<std::int32_t> spectrum) {
    if (!SendCommand(dev, "$C;")) return 0;
    const std::size_t n = std::min<std::size_t>(std::max(ChannelCount, 0), spectrum.size());
    std::fill_n(spectrum.begin(), n, 0);
    return 1;
}

int AnalyserLink::ReadSpectrum(int dev, std::span<std::int32_t> spectrum) {
    FT_HANDLE h = slot(dev);
    const int per = BlockChannels > 0 ? BlockChannels : 128;
    const std::size_t perBytes = static_cast<std::size_t>(per) * 4;
    int blocks = std::max(ChannelCount, 0) / per;
    // Never past the caller's buffer, nor past what one 512-byte reply can hold.
    blocks = std::min<int>(blocks, static_cast<int>(spectrum.size() / static_cast<std::size_t>(per)));
    if (perBytes > kBlockBytes) return 0;

    bool skipped = false;
    std::array<std::uint8_t, kBlockBytes> block{};
    for (int k = 1; k <= blocks; ++k) {
        const std::string cmd = "$R" + std::to_string(k) + ";";
        if (!writeCommand(h, cmd)) return 0;
        DWORD queued = 0;
        const WaitResult w = waitFor(driver_, clock_, replyTimeoutMs, pollSleepUs, h, static_cast<DWORD>(perBytes), &queued);
        if (w == WaitResult::DriverError) {
            // This block keeps its old counts; its reply may still come, so the
            // next block's command first waits for a quiet line.
            lostStep();
            skipped = true;
            continue;
        }
        if (w == WaitResult::TimedOut) {
            // A block that never completes: stop here rather than wait out every
            // remaining block. Its partial reply is dropped before the next command.
            lostStep();
            return 0;
        }
        // A block is exactly 512 bytes. More means a stale or over-long reply is
        // mixed in, and its bytes cannot be told apart: nothing of it is stored.
        if (queued != perBytes) {
            lostStep();
            return 0;
        }
        DWORD stored = 0;
        if (!readQueued(h, queued, block.data(), perBytes, &stored) || stored != perBytes) {
            lostStep();
            return 0;
        }
        const std::size_t base = static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(per);
        for (int c = 0; c < per; ++c) {
            const std::uint8_t* p = block.data() + 4 * c;
            const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                    static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
            spectrum[base + static_cast<std::size_t>(c)] = static_cast<std::int32_t>(v);
        }
    }

    const std::size_t n = std::min<std::size_t>(std::max(ChannelCount, 0), spectrum.size());
    std::int32_t maxCount = 0;
    std::uint32_t total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        maxCount = std::max(maxCount, spectrum[i]);
        total += static_cast<std::uint32_t>(spectrum[i]);
    }
    MaxCount = maxCount;
    TotalCounts = static_cast<float>(total);
    // A skipped block leaves stale counts in the buffer: the read is reported failed.
    return skipped ? 0 : 1;
}

int AnalyserLink::ReadStatus(int dev) {
    FT_HANDLE h = slot(dev);
    if (!writeCommand(h, "$R0;")) return 0;
    DWORD queued = 0;
    const WaitResult w =
        waitFor(driver_, clock_, replyTimeoutMs, pollSleepUs, h, static_cast<DWORD>(DeviceStatus::kSize), &queued);
    // The record is exactly 310 bytes; anything else is out of step and never taken.
    if (w != WaitResult::Ok || queued != DeviceStatus::kSize) {
        lostStep();
        return 0;
    }
    std::array<std::uint8_t, DeviceStatus::kSize> rec{};
    DWORD stored = 0;
    if (!readQueued(h, queued, rec.data(), rec.size(), &stored) || stored != DeviceStatus::kSize) {
        lostStep();
        return 0;
    }
    Status = DeviceStatus::unpack(rec.data());
    return 1;
}

std::string AnalyserLink::presetCommand(std::int32_t tenths) { return "$P" + std::to_string(tenths) + ";"; }

std::string AnalyserLink::cursorCommand(int channel) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$@C%04d;", channel);
    return buf;
}

std::string AnalyserLink::clockCommand(const std::tm& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "$t%02d%02d%02d%02d%02d;", twoDigits(t.tm_year + 1900), twoDigits(t.tm_mon + 1),
                  twoDigits(t.tm_mday), twoDigits(t.tm_hour), twoDigits(t.tm_min));
    return buf;
}

std::string AnalyserLink::channelCountCommand(std::int32_t channels) {
    switch (channels) {
        case 512: return "$M4;";
        case 1024: return "$M8;";
        case 2048: return "$M16;";
        case 4096: return "$M32;";
        default: return "";
    }
}

int AnalyserLink::SetPresetTime(int dev, std::int32_t tenths) {
    if (tenths < 0) return 0;  // the analyser has no negative preset
    return SendCommand(dev, presetCommand(tenths));
}

int AnalyserLink::SetChannelCount(int dev, std::int32_t channels) {
    const std::string cmd = channelCountCommand(channels);
    if (cmd.empty()) return 0;  // no command for this count: nothing is sent
    if (!SendCommand(dev, cmd)) return 0;
    // The spectrum reads follow what the analyser acknowledged, whatever the
    // program shows.
    ChannelCount = channels;
    return 1;
}

int AnalyserLink::SetCursorChannel(int dev, int channel) {
    // The command carries exactly four digits.
    if (channel < 0 || channel > 9999) return 0;
    return SendCommand(dev, cursorCommand(channel));
}

void AnalyserLink::SyncClock(int dev, const std::tm& local) { exchange(dev, clockCommand(local), false); }

}  // namespace xmca
