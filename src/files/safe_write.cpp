#include "safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <vector>

namespace xmca {

namespace {

bool writeAll(int fd, std::string_view data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// The final target of path after following symbolic links (the link itself is
// kept in place). Returns path unchanged when it is not a link, and false when
// the links do not end (a loop, or a chain too long to follow).
bool resolveLinks(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0; hops < 32; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(target.c_str(), buf.data(), buf.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buf.size()) return false;
        std::string link(buf.data(), static_cast<std::size_t>(n));
        if (!link.empty() && link[0] == '/') {
            target = link;
        } else {
            const auto slash = target.rfind('/');
            target = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + link;
        }
    }
    return false;
}

// While it lives, a write past the file-size limit fails with EFBIG instead of
// killing the process with SIGXFSZ (which would leave the temporary behind).
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored() {
        struct sigaction ign {};
        ign.sa_handler = SIG_IGN;
        sigemptyset(&ign.sa_mask);
        ok_ = ::sigaction(SIGXFSZ, &ign, &old_) == 0;
    }
    ~FileSizeSignalIgnored() {
        if (ok_) ::sigaction(SIGXFSZ, &old_, nullptr);
    }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

private:
    struct sigaction old_ {};
    bool ok_ = false;
};

// The file a write of path replaces (links followed), or the refusal.
WriteStatus resolveTarget(const std::string& path, std::string& target, struct stat& st, bool& exists) {
    if (path.empty()) return WriteStatus::OpenFailed;
    if (!resolveLinks(path, target)) return WriteStatus::Refused;
    exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno == ELOOP) return WriteStatus::Refused;
    if (exists && !S_ISREG(st.st_mode)) return WriteStatus::NotRegular;
    // Write-protected: the user's own permission, and a file nobody may write.
    if (exists && ((st.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0))
        return WriteStatus::Refused;
    return WriteStatus::Ok;
}

// A short fixed temporary name beside target, so that a target name near the
// length limit still leaves room for it.
std::string temporaryBeside(const std::string& target) {
    const auto slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    return dir + ".xmca-save-XXXXXX";
}

}  // namespace

WriteStatus checkWriteTarget(const std::string& path) {
    std::string target;
    struct stat st {};
    bool exists = false;
    if (const WriteStatus w = resolveTarget(path, target, st, exists); w != WriteStatus::Ok) return w;
    std::string tmp = temporaryBeside(target);
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return WriteStatus::OpenFailed;
    ::close(fd);
    ::unlink(tmp.c_str());
    return WriteStatus::Ok;
}

WriteStatus writeWholeFile(const std::string& path, std::string_view data) {
    std::string target;
    struct stat st {};
    bool exists = false;
    if (const WriteStatus w = resolveTarget(path, target, st, exists); w != WriteStatus::Ok) return w;
    const FileSizeSignalIgnored noSigxfsz;
    std::string tmp = temporaryBeside(target);
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return WriteStatus::OpenFailed;

    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    ok = ok && writeAll(fd, data);
    ok = ok && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    ok = ok && std::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return WriteStatus::WriteFailed;
    }
    return WriteStatus::Ok;
}

}  // namespace xmca
