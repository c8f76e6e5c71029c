#include "file_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xmca {

std::FILE* openRegularFile(const std::string& path, InputKind& kind) {
    kind = InputKind::Missing;
    if (path.empty()) return nullptr;
    // O_NONBLOCK: opening a FIFO with no writer returns at once instead of waiting.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) kind = S_ISDIR(st.st_mode) ? InputKind::Directory : InputKind::NotRegular;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        kind = S_ISDIR(st.st_mode) ? InputKind::Directory : InputKind::NotRegular;
        ::close(fd);
        return nullptr;
    }
    // A regular file never blocks; reads go back to the ordinary mode.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        return nullptr;
    }
    kind = InputKind::Regular;
    return f;
}

const char* inputKindText(InputKind kind) {
    switch (kind) {
        case InputKind::Regular: return "";
        case InputKind::Missing: return "cannot be opened";
        case InputKind::Directory: return "is a directory";
        case InputKind::NotRegular: return "is not a regular file";
    }
    return "";
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (a.empty() || b.empty()) return false;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace xmca
