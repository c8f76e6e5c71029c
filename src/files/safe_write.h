// Whole-file writes that never destroy the previous file when they fail.
#pragma once

#include <string>
#include <string_view>

namespace xmca {

enum class WriteStatus {
    Ok,
    OpenFailed,   // the file (or its temporary beside it) could not be created
    WriteFailed,  // created, but not every byte could be written and flushed
    Refused,      // the target is write-protected, or a loop of symbolic links
    NotRegular,   // the target exists and is not a regular file (a pipe, device, directory)
};

// Makes data the whole content of path. A regular file, or a new one, is written
// under a temporary name in the same directory, flushed to disk and renamed over
// the target only once every byte is down; on failure the previous file stays as
// it was and the temporary is removed. A target that exists and is not a regular
// file (a device such as /dev/full, a pipe, a directory) is refused without
// being opened: opening a pipe with no reader would block for ever.
// A symbolic link is followed, so the file it points at is the one replaced; a
// loop of links is refused, never replaced by a file. A file the user may not
// write, or one with no write permission for anyone (0444), is refused even
// where the directory would allow replacing it. A write cut short by the
// file-size limit fails like any other and leaves no temporary behind.
WriteStatus writeWholeFile(const std::string& path, std::string_view data);

// What writeWholeFile would say before any data is at stake: Refused and
// NotRegular as it decides them, OpenFailed when its temporary cannot be created
// in the target's directory (missing, not writable, a dangling link into a
// missing folder). Nothing is left behind. Ok does not promise the disk will
// hold the data.
WriteStatus checkWriteTarget(const std::string& path);

}  // namespace xmca
