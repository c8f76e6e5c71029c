// Checks every reader and writer of the program applies to the paths it is given:
// inputs must be regular files and are opened without ever blocking; an output
// must never be one of the command's own inputs.
#pragma once

#include <cstdio>
#include <string>

namespace xmca {

enum class InputKind {
    Regular,     // a regular file, opened
    Missing,     // cannot be opened (no such file, no permission, ...)
    Directory,   // a directory
    NotRegular,  // a FIFO, socket or device: reading it could block or never end
};

// Opens path for binary reading. Only a regular file is opened; the open itself
// never waits (a FIFO without a writer would block it for ever). Returns nullptr
// and sets kind otherwise.
std::FILE* openRegularFile(const std::string& path, InputKind& kind);

// The words for a refused input, e.g. "is a directory"; empty for Regular.
const char* inputKindText(InputKind kind);

// True when both paths name the same existing file (after links, hard links and
// "./" spellings). A path that does not exist yet is never the same file.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace xmca
