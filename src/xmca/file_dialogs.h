// The local path of a file name chosen in a dialog.
#pragma once

#include <QString>
#include <string>

namespace xmca {

// The path in the file system's own encoding.
std::string localPath(const QString& path);

}  // namespace xmca
