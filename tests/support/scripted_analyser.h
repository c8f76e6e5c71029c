// A scripted analyser for the acquisition-cycle tests: acknowledges commands,
// returns a status record and spectrum blocks that the test sets directly, and
// logs every command written.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "device/device_status.h"
#include "device/ftdi_driver.h"

namespace xmca::test {

class ScriptedAnalyser : public FtdiDriver {
public:
    int devices = 1;
    bool openFails = false;
    std::string ack = "!";           // reply to acknowledged commands
    DeviceStatus status;             // returned by "$R0;"
    std::vector<std::uint32_t> counts = std::vector<std::uint32_t>(4096, 0);
    std::vector<std::string> log;    // commands written
    std::size_t statusBytes = DeviceStatus::kSize;  // bytes of the status reply

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD) override {
        auto** list = static_cast<char**>(arg1);
        for (int i = 0; i < devices && list[i]; ++i) std::snprintf(list[i], 64, "SIM%04d", i);
        *static_cast<DWORD*>(arg2) = static_cast<DWORD>(devices);
        return FT_OK;
    }
    FT_STATUS FT_OpenEx(void*, DWORD, FT_HANDLE* h) override {
        if (openFails || devices == 0) return FT_DEVICE_NOT_OPENED;
        *h = this;
        return FT_OK;
    }
    FT_STATUS FT_ResetDevice(FT_HANDLE) override { return FT_OK; }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE, std::uint8_t) override { return FT_OK; }
    FT_STATUS FT_SetTimeouts(FT_HANDLE, DWORD, DWORD) override { return FT_OK; }
    FT_STATUS FT_Purge(FT_HANDLE, DWORD) override { return FT_OK; }
    FT_STATUS FT_Write(FT_HANDLE h, const void* buf, DWORD n, DWORD* written) override {
        if (h != this) return FT_INVALID_HANDLE;
        const std::string cmd(static_cast<const char*>(buf), n);
        log.push_back(cmd);
        *written = n;
        reply_.clear();
        if (cmd == "$R0;") {
            std::vector<std::uint8_t> rec(DeviceStatus::kSize);
            status.pack(rec.data());
            reply_.assign(rec.begin(), rec.begin() + std::min(statusBytes, rec.size()));
        } else if (cmd.size() > 3 && cmd.compare(0, 2, "$R") == 0) {
            const int k = std::stoi(cmd.substr(2));
            for (int c = (k - 1) * 128; c < k * 128; ++c)
                for (int b = 0; b < 4; ++b) reply_.push_back(static_cast<std::uint8_t>(counts[c] >> (8 * b)));
        } else {
            reply_.assign(ack.begin(), ack.end());
        }
        return FT_OK;
    }
    FT_STATUS FT_Read(FT_HANDLE, void* buf, DWORD n, DWORD* got) override {
        const DWORD k = std::min<DWORD>(n, static_cast<DWORD>(reply_.size()));
        std::copy_n(reply_.begin(), k, static_cast<std::uint8_t*>(buf));
        reply_.erase(reply_.begin(), reply_.begin() + k);
        *got = k;
        return FT_OK;
    }
    FT_STATUS FT_GetQueueStatus(FT_HANDLE, DWORD* q) override {
        *q = static_cast<DWORD>(reply_.size());
        return FT_OK;
    }

    int count(const std::string& cmd) const {
        int n = 0;
        for (const auto& c : log) n += c == cmd;
        return n;
    }

private:
    std::deque<std::uint8_t> reply_;
};

}  // namespace xmca::test
