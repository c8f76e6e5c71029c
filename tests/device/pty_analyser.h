// The simulated analyser served on a pseudo-terminal: the test opens the slave path
// with SerialDriver, and every command and reply crosses a real file descriptor.
// A thread reads commands off the master, hands them to the simulator as one write
// each, and writes whatever it queues back.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "device/simulated_analyser.h"

namespace xmca::test {

class PtyAnalyser {
public:
    // wallSpeed 0: the simulator runs on a manual clock the test moves (with());
    // above 0: on the wall clock at that speed, for a program that polls in real time.
    explicit PtyAnalyser(SimulatedAnalyserConfig cfg = {}, double wallSpeed = 0)
        : clock_(std::make_shared<ManualClock>()),
          sim_(cfg, wallSpeed > 0 ? std::shared_ptr<SimClock>(std::make_shared<WallClock>(wallSpeed))
                                  : std::shared_ptr<SimClock>(clock_)) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw std::runtime_error("no pty");
        char name[128] = {};
        if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no pty name");
        path_ = name;
        // Held open so the master never sees a hang-up while the driver reopens.
        keep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        char serial[64] = {};
        void* list[2] = {serial, nullptr};
        DWORD n = 0;
        sim_.FT_ListDevices(list, &n, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER);
        sim_.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &h_);
        thread_ = std::thread([this] { serve(); });
    }

    ~PtyAnalyser() { hangUp(); }

    // Stops serving and closes the master: the port's far end is gone.
    void hangUp() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (keep_ >= 0) ::close(keep_);
        if (master_ >= 0) ::close(master_);
        keep_ = master_ = -1;
    }

    const std::string& path() const { return path_; }

    // Runs f on the simulator (and its clock) with the server held off.
    template <typename F>
    auto with(F f) {
        std::lock_guard<std::mutex> lock(m_);
        return f(sim_, *clock_);
    }

    // Every command as the server framed it off the wire.
    std::vector<std::string> received() {
        std::lock_guard<std::mutex> lock(m_);
        return received_;
    }
    void clearReceived() {
        std::lock_guard<std::mutex> lock(m_);
        received_.clear();
    }

private:
    // One command: "$" up to its ";" ("$V;;" carries the full-scale index 11, the
    // character ';', so a ';' right after "$V;" belongs to it).
    static std::size_t commandLength(const std::string& buf) {
        if (buf.compare(0, 4, "$V;;") == 0) return 4;
        const std::size_t end = buf.find(';', 1);
        return end == std::string::npos ? 0 : end + 1;
    }

    void serve() {
        std::string buf;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            const int r = ::poll(&p, 1, 5);
            if (r > 0 && (p.revents & POLLIN)) {
                char chunk[256];
                const ssize_t n = ::read(master_, chunk, sizeof chunk);
                if (n > 0) buf.append(chunk, static_cast<std::size_t>(n));
            }
            std::vector<std::uint8_t> out;
            {
                std::lock_guard<std::mutex> lock(m_);
                // Bytes ahead of a "$" are line noise to the firmware.
                const std::size_t start = buf.find('$');
                buf.erase(0, start == std::string::npos ? buf.size() : start);
                while (std::size_t len = commandLength(buf)) {
                    const std::string cmd = buf.substr(0, len);
                    buf.erase(0, len);
                    received_.push_back(cmd);
                    DWORD w = 0;
                    sim_.FT_Write(h_, cmd.data(), static_cast<DWORD>(cmd.size()), &w);
                }
                DWORD q = 0;
                if (sim_.FT_GetQueueStatus(h_, &q) == FT_OK && q > 0) {
                    out.resize(q);
                    DWORD got = 0;
                    sim_.FT_Read(h_, out.data(), q, &got);
                    out.resize(got);
                }
            }
            std::size_t off = 0;
            while (off < out.size() && !stop_) {
                const ssize_t n = ::write(master_, out.data() + off, out.size() - off);
                if (n > 0) off += static_cast<std::size_t>(n);
                else ::poll(nullptr, 0, 1);
            }
        }
    }

    std::shared_ptr<ManualClock> clock_;
    SimulatedAnalyser sim_;
    FT_HANDLE h_ = nullptr;
    int master_ = -1;
    int keep_ = -1;
    std::string path_;
    std::mutex m_;
    std::vector<std::string> received_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace xmca::test
