// The analyser link: enumeration and open by serial number, every command of the
// protocol, the 128-channel block spectrum read and the status read. Operations
// return 1 on success and 0 on failure. Talks only to an FtdiDriver.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "device_status.h"
#include "ftdi_driver.h"

namespace xmca {

class AnalyserLink {
public:
    static constexpr int kMaxDevices = 5;
    static constexpr std::size_t kReplyBuffer = 512;

    // Monotonic milliseconds; injectable so tests can bound waits without sleeping.
    using Clock = std::function<std::int64_t()>;

    explicit AnalyserLink(FtdiDriver& driver, Clock clock = {});

    int OpenDevice(int dev);
    int StartAcquisition(int dev);   // "$G;"
    int StartScan(int dev);          // "$X;"
    int StopAcquisition(int dev);    // "$S;"
    int ClearSpectrum(int dev, std::span<std::int32_t> spectrum);          // "$C;"
    int ReadSpectrum(int dev, std::span<std::int32_t> spectrum);           // "$R1;".."$Rn;"
    int ReadStatus(int dev);                                               // "$R0;"
    int SetPresetTime(int dev, std::int32_t tenths);                       // "$P<n>;"
    int SetChannelCount(int dev, std::int32_t channels);                   // "$M4;".."$M32;"
    int SetCursorChannel(int dev, int channel);                            // "$@Cnnnn;"
    void SyncClock(int dev, const std::tm& local);                         // "$tYYMMDDhhmm;"
    // A command answered by an acknowledgement: write, wait for a reply, accept "!".
    int SendCommand(int dev, std::string_view command);

    // Command texts, for the status box and for tests.
    static std::string presetCommand(std::int32_t tenths);
    static std::string cursorCommand(int channel);
    static std::string clockCommand(const std::tm& local);
    static std::string channelCountCommand(std::int32_t channels);  // "" when unsupported

    // State (the names the rest of the program uses).
    std::int32_t DeviceCount = 0;
    std::int32_t DeviceOpen = 0;
    std::int32_t AcquisitionRunning = 0;
    std::int32_t AcquisitionMode = 1;  // 1 = MCA, 0 = scan-map
    // Channels the analyser holds: 2048 at power-on, then the count of the last
    // acknowledged "$M" command. The spectrum read and clear follow it.
    std::int32_t ChannelCount = 2048;
    std::int32_t BlockChannels = 128;
    std::int32_t MaxCount = 0;
    float TotalCounts = 0.0f;
    DeviceStatus Status;

    // Upper bound on every wait for reply bytes (the driver's own time-out).
    std::int64_t replyTimeoutMs = 3000;
    // Pause between queue polls while waiting; 0 only yields (tests with a fake clock);
    // negative neither sleeps nor yields (a fake clock that moves on every reading,
    // as in the fault soak and the fuzz targets, where a yield costs real time).
    int pollSleepUs = 200;
    // After a failed exchange the line must stay quiet this long before the next
    // command goes out, so a reply up to this late is swallowed, not taken for the
    // next answer. The whole wait stays within replyTimeoutMs.
    std::int64_t resyncQuietMs = 1000;
    // Resynchronisations done so far (for tests and diagnostics).
    std::int64_t resyncCount = 0;
    // True when the next command will first wait for a quiet line and purge.
    bool resyncPending() const { return resyncPending_; }
    // Marks the line as out of step: the next command resynchronises first.
    void lostStep() { resyncPending_ = true; }
    // When set and true, no further command is written (the program is closing): an
    // exchange under way is finished, none is started.
    const std::atomic<bool>* closing = nullptr;

    FT_HANDLE handle(int dev) const;  // nullptr when not open or dev out of range
    const std::string& serialNumber(int dev) const;

private:
    // Waits until at least `need` bytes are queued; false on a driver error or time-out.
    bool waitQueued(FT_HANDLE h, DWORD need, DWORD* queued);
    // Reads everything queued into dst (at most cap bytes) and drains any excess.
    bool readQueued(FT_HANDLE h, DWORD queued, std::uint8_t* dst, std::size_t cap, DWORD* stored);
    bool writeCommand(FT_HANDLE h, std::string_view command);
    // Write, wait for at least one byte, read it; acknowledged when the first byte is '!'.
    enum class Exchange { WriteFailed, NotAcknowledged, Acknowledged };
    Exchange exchange(int dev, std::string_view command, bool needAck);
    // Discards whatever is still queued (bounded), so a stale reply cannot be taken
    // for the answer to the next command.
    void drain(FT_HANDLE h);
    // Waits until no byte has arrived for resyncQuietMs (at most replyTimeoutMs),
    // discarding what comes, then purges both driver buffers.
    void resync(FT_HANDLE h);
    FT_HANDLE slot(int dev) const;

    FtdiDriver& driver_;
    Clock clock_;
    bool resyncPending_ = false;
    FT_HANDLE handles_[kMaxDevices] = {};
    std::string serials_[kMaxDevices];
};

}  // namespace xmca
