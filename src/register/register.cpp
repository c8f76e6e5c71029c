#include "register/register.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

#include "register/postgres_register.h"
#include "register/sqlite_register.h"

namespace xmca::reg {

bool checkRegisterLocation(const std::string& location, std::string& error) {
    if (location.empty()) {
        error = "no register location given";
        return false;
    }
    if (isServerLocation(location)) return checkServerLocation(location, error);
    std::string head = location.substr(0, 5);
    for (auto& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (location == ":memory:" || head == "file:" || location.find('\0') != std::string::npos) {
        error = "the register location names no file that keeps records (an in-memory database would lose "
                "every record when the program ends); give a file path or a server address";
        return false;
    }
    return true;
}

std::unique_ptr<Register> openRegister(const std::string& location, std::string& error, OpenMode mode) {
    if (!checkRegisterLocation(location, error)) return nullptr;
    if (isServerLocation(location)) return openServerRegister(location, ServerOptions{}, error);
    return openSqliteRegister(location, error, mode == OpenMode::CreateWhenAbsent);
}

std::string defaultRegisterLocation() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/xmca/register.sqlite";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share/xmca/register.sqlite";
    return "register.sqlite";
}

std::string simulatorRegisterLocation() {
    const std::string def = defaultRegisterLocation();
    const std::size_t slash = def.find_last_of('/');
    return (slash == std::string::npos ? std::string() : def.substr(0, slash + 1)) + "register-simulated.sqlite";
}

std::string containsPattern(const std::string& text) {
    std::string out = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\') out += '\\';
        out += c;
    }
    return out + '%';
}

std::string newUuid() {
    // Fresh entropy each time: a generator state copied into a forked process
    // would hand both processes the same identifiers.
    std::random_device rd;
    unsigned char b[16];
    for (int i = 0; i < 16; i += 4) {
        const std::uint32_t v = rd();
        for (int j = 0; j < 4; ++j) b[i + j] = static_cast<unsigned char>(v >> (8 * j));
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char out[37];
    std::snprintf(out, sizeof out, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return out;
}

std::string utcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

}  // namespace xmca::reg
