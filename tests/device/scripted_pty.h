// An analyser on a pseudo-terminal that answers by a script instead of the
// simulator: the faults of a real line (a cable pulled after the start, firmware
// that acknowledges everything) with every byte crossing a real descriptor.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace xmca::test {

class ScriptedPty {
public:
    // The reply to one command ("$M16;", "$R0;" ...); empty: no reply at all.
    using Script = std::function<std::string(const std::string& command)>;

    explicit ScriptedPty(Script script) : script_(std::move(script)) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw std::runtime_error("no pty");
        char name[128] = {};
        if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no pty name");
        path_ = name;
        keep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);  // no hang-up while the driver reopens
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedPty() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (keep_ >= 0) ::close(keep_);
        if (master_ >= 0) ::close(master_);
    }
    ScriptedPty(const ScriptedPty&) = delete;
    ScriptedPty& operator=(const ScriptedPty&) = delete;

    const std::string& path() const { return path_; }
    std::vector<std::string> received() {
        std::lock_guard<std::mutex> lock(m_);
        return received_;
    }

    // Acknowledges the setup and the start ("$M", "$P", "$C;", "$G;"), then never
    // answers again: a cable pulled right after the start.
    static std::string silentAfterStart(const std::string& cmd) {
        static const char* const kSetup[] = {"$M", "$P", "$C;", "$G;"};
        for (const char* p : kSetup)
            if (cmd.rfind(p, 0) == 0) return "!";
        return {};
    }
    // "!" to every command, reads included.
    static std::string answersEverything(const std::string&) { return "!"; }

private:
    void serve() {
        std::string buf;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
                char chunk[256];
                const ssize_t n = ::read(master_, chunk, sizeof chunk);
                if (n > 0) buf.append(chunk, static_cast<std::size_t>(n));
            }
            std::string out;
            for (;;) {
                const std::size_t start = buf.find('$');
                buf.erase(0, start == std::string::npos ? buf.size() : start);
                const std::size_t end = buf.find(';', 1);
                if (end == std::string::npos) break;
                const std::string cmd = buf.substr(0, end + 1);
                buf.erase(0, end + 1);
                {
                    std::lock_guard<std::mutex> lock(m_);
                    received_.push_back(cmd);
                }
                out += script_(cmd);
            }
            std::size_t off = 0;
            while (off < out.size() && !stop_) {
                const ssize_t n = ::write(master_, out.data() + off, out.size() - off);
                if (n > 0) off += static_cast<std::size_t>(n);
                else ::poll(nullptr, 0, 1);
            }
        }
    }

    Script script_;
    int master_ = -1;
    int keep_ = -1;
    std::string path_;
    std::mutex m_;
    std::vector<std::string> received_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace xmca::test
