#include "fuzz_entries.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/acquisition_cycle.h"
#include "device/analyser_link.h"
#include "files/sjis_text.h"
#include "files/spectrum_file.h"
#include "model/spectrum_io.h"

namespace xmca::fuzz {

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}

// Hands out the input's bytes; zeros once it runs dry.
class Bytes {
public:
    Bytes(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    std::uint8_t u8() { return i_ < n_ ? d_[i_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | u8() << 8); }
    bool empty() const { return i_ >= n_; }

private:
    const std::uint8_t* d_;
    std::size_t n_;
    std::size_t i_ = 0;
};

// One scratch file per process for the reader, removed at exit.
const std::string& scratchPath() {
    static const std::string path = [] {
        std::string p = "/tmp/xmca-fuzz-XXXXXX";
        const int fd = ::mkstemp(p.data());
        if (fd >= 0) ::close(fd);
        static std::string keep = p;
        std::atexit([] { ::unlink(keep.c_str()); });
        return p;
    }();
    return path;
}

}  // namespace

void spectrumFile(const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratchPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    auto s = std::make_unique<MeasurementState>();
    // The LLD and the memory chosen come from the input too.
    s->workingLld = size > 0 ? data[0] * 40 - 200 : 0;
    s->selectedSource = size > 1 ? data[1] % 4 : 0;
    const FileLoadResult r = loadSpectrum(*s, path);
    check(r.opened, "a regular file opens");
    check(r.channelsRead >= 0 && r.channelsRead <= kMaxFileChannels && r.channelsRead % kBlockChannels == 0,
          "channels read are whole blocks within 8192");
    if (r.valid) {
        check(s->channelCount == r.channelsRead, "a valid file sets N");
        check(s->view.lo == 0 && s->view.hi == r.channelsRead - 1, "a valid file sets the window");
    }
    const std::string dump = textDump(*s, "fuzz.txt");
    check(dump.rfind("*** Veltramond Co.", 0) == 0, "the dump starts with its banner");
    fillHeaderForWrite(*s);
    const std::string bytes = encodeSpectrumFile(
        s->header, std::span<const std::int32_t>(s->spectrum.data(), static_cast<std::size_t>(std::clamp(s->channelCount, 0, kWorkChannels))));
    check(bytes.size() >= SpectrumHeader::kFileSize, "an encoded file holds its header");
}

void headerText(const std::uint8_t* data, std::size_t size) {
    SpectrumHeader h;
    std::copy_n(data, std::min<std::size_t>(size, SpectrumHeader::kFileSize), h.bytes().begin());
    const std::string comment = sjisToUtf8(h.comment());
    const std::string sample = sjisToUtf8(h.sampleId());
    // Back to Shift-JIS: never longer than the field, never half a character.
    for (const std::string* t : {&comment, &sample}) {
        const std::string raw = utf8ToSjis(*t, SpectrumHeader::kTextField - 1);
        check(raw.size() <= SpectrumHeader::kTextField - 1, "a label fits its field");
        check(sjisPrefixLength(raw, raw.size()) == raw.size(), "a label never ends in half a character");
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string utf8 = sjisToUtf8(text);
    const std::string sjis = utf8ToSjis(text, size % 64);
    check(sjis.size() <= size % 64, "the Shift-JIS text keeps its limit");
    (void)utf8;
    if (const auto cal = headerCalibration(h)) {
        check(std::isfinite(cal->first) && std::isfinite(cal->second) && cal->first != 0.0f, "a calibration is usable");
        for (int ch : {0, 4095, 8191}) {
            const std::string label = energyLabel(static_cast<double>(ch) * cal->first + cal->second);
            check(label.size() <= 12, "an energy label keeps its width");
        }
    }
    auto s = std::make_unique<MeasurementState>();
    applyHeaderValues(*s, h);
}

namespace {

// An analyser that answers from the fuzz input: for each command written, how
// many bytes come back, which, how late, and whether a driver call fails.
class FuzzDriver : public FtdiDriver {
public:
    FuzzDriver(Bytes& in, std::int64_t& nowMs) : in_(in), now_(nowMs) {}

    FT_STATUS FT_ListDevices(void* a, void* b, DWORD) override {
        auto** list = static_cast<char**>(a);
        std::snprintf(list[0], 64, "FUZZ0001");
        *static_cast<DWORD*>(b) = 1;
        return FT_OK;
    }
    FT_STATUS FT_OpenEx(void*, DWORD, FT_HANDLE* h) override {
        *h = this;
        return FT_OK;
    }
    FT_STATUS FT_ResetDevice(FT_HANDLE) override { return FT_OK; }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE, std::uint8_t) override { return FT_OK; }
    FT_STATUS FT_SetTimeouts(FT_HANDLE, DWORD, DWORD) override { return FT_OK; }
    FT_STATUS FT_Purge(FT_HANDLE, DWORD mask) override {
        if (mask & FT_PURGE_RX) {
            queued_.clear();
            pending_.clear();
        }
        return FT_OK;
    }
    FT_STATUS FT_Write(FT_HANDLE, const void*, DWORD n, DWORD* written) override {
        const std::uint8_t mode = in_.u8();
        if (mode == 0xFF) return FT_IO_ERROR;
        *written = (mode == 0xFE && n > 0) ? n - 1 : n;
        // Reply: 0 = "!", 1 = "?", 2 = 512 bytes, 3 = 310 bytes, else a length from the input.
        std::size_t len = 0;
        switch (mode & 7) {
            case 0: len = 1; break;
            case 1: len = 1; break;
            case 2: len = 512; break;
            case 3: len = 310; break;
            default: len = in_.u16() % 1200; break;
        }
        std::vector<std::uint8_t> reply(len);
        for (auto& b : reply) b = in_.u8();
        if ((mode & 7) == 0) reply[0] = '!';
        if ((mode & 7) == 1) reply[0] = '?';
        // Delay: none, or up to about 6.5 s.
        const std::int64_t delay = (mode & 0x18) == 0x18 ? in_.u16() % 6500 : 0;
        pending_.push_back({now_ + delay, std::move(reply)});
        return FT_OK;
    }
    FT_STATUS FT_Read(FT_HANDLE, void* buf, DWORD n, DWORD* got) override {
        *got = 0;
        if (in_.u8() == 0xFD) return FT_IO_ERROR;
        const DWORD k = std::min<DWORD>(n, static_cast<DWORD>(queued_.size()));
        std::copy_n(queued_.begin(), k, static_cast<std::uint8_t*>(buf));
        queued_.erase(queued_.begin(), queued_.begin() + k);
        *got = k;
        return FT_OK;
    }
    FT_STATUS FT_GetQueueStatus(FT_HANDLE, DWORD* q) override {
        ++now_;  // time passes while the host polls
        while (!pending_.empty() && pending_.front().atMs <= now_) {
            queued_.insert(queued_.end(), pending_.front().bytes.begin(), pending_.front().bytes.end());
            pending_.pop_front();
        }
        if (failPolls_ > 0) {
            --failPolls_;
            return FT_IO_ERROR;
        }
        *q = static_cast<DWORD>(queued_.size());
        return FT_OK;
    }
    void failNextPolls(int n) { failPolls_ = n; }

private:
    struct Pending {
        std::int64_t atMs;
        std::vector<std::uint8_t> bytes;
    };
    Bytes& in_;
    std::int64_t& now_;
    std::deque<std::uint8_t> queued_;
    std::deque<Pending> pending_;
    int failPolls_ = 0;
};

}  // namespace

void analyserLink(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    std::int64_t nowMs = 0;
    FuzzDriver driver(in, nowMs);
    AnalyserLink link(driver, [&nowMs] { return nowMs; });
    link.pollSleepUs = -1;
    auto s = std::make_unique<MeasurementState>();
    AcquisitionCycle cycle(*s, link);
    if (cycle.open().kind != OpenOutcome::Opened) return;

    // A buffer with guard channels after the analyser's largest spectrum.
    std::vector<std::int32_t> buf(kDeviceChannels + 16, -1);
    for (int op = 0; op < 64 && !in.empty(); ++op) {
        const std::int64_t before = nowMs;
        switch (in.u8() % 10) {
            case 0: link.ReadSpectrum(0, std::span<std::int32_t>(buf.data(), kDeviceChannels)); break;
            case 1: link.ReadStatus(0); break;
            case 2: cycle.start(std::tm{}); break;
            case 3: cycle.stop(); break;
            case 4: cycle.clear(); break;
            case 5: link.SetChannelCount(0, 256 << (in.u8() % 6)); break;
            case 6: s->settings.deadTimePerEvent = static_cast<float>(in.u16()) * (in.u8() % 2 ? 1e30f : 0.01f); break;
            case 7: driver.failNextPolls(in.u8() % 4); break;
            default: cycle.tick(); break;
        }
        // Every wait is bounded: no operation takes longer than its exchanges allow
        // (a tick is at most two full reads, a status read and a stop, each
        // exchange at most a time-out plus a resynchronisation).
        check(nowMs - before <= 70 * 2 * (link.replyTimeoutMs + 10), "waits are bounded");
        check(link.ChannelCount >= 512 && link.ChannelCount <= kDeviceChannels, "the analyser count is one it acknowledged");
        for (std::size_t g = kDeviceChannels; g < buf.size(); ++g) check(buf[g] == -1, "no count past the buffer");
        check(s->deadTimePermille >= 0, "dead time is never negative");
        check(!cycle.timer.enabled || link.AcquisitionRunning == 1, "the timer runs only with an acquisition");
    }
}

}  // namespace xmca::fuzz
