#include "file_dialogs.h"

#include <QFile>

namespace xmca {

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace xmca
