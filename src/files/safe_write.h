// Whole-file writes that never destroy the previous file when they fail.
#pragma once

#include <string>
#include <string_view>

namespace xmca {

enum class WriteStatus {
    Ok,
    OpenFailed,   // the file (or its temporary beside it) could not be created
    WriteFailed,  // created, but not every byte could be written and flushed
};

// Makes data the whole content of path. A regular file, or a new one, is written
// under a temporary name in the same directory, flushed to disk and renamed over
// the target only once every byte is down; on failure the previous file stays as
// it was and the temporary is removed. A target that exists and is not a regular
// file (a device such as /dev/full, a pipe) is written directly, never replaced.
// A symbolic link is followed, so the file it points at is the one replaced.
WriteStatus writeWholeFile(const std::string& path, std::string_view data);

}  // namespace xmca
