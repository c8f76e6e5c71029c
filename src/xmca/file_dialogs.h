// The file dialogs of the main window's file commands, and the local path of a
// name chosen in one.
#pragma once

#include <QString>
#include <string>

class QWidget;

namespace xmca {

// The path in the file system's own encoding.
std::string localPath(const QString& path);

// A modal dialog for one existing file (open) or any file name (save), with a name
// filter and the suffix added to a name typed without one; selectName is offered
// first when given. Empty when cancelled.
QString runFileDialog(QWidget* parent, const QString& title, const QString& filter, const QString& suffix, bool open,
                      const QString& selectName = {});

}  // namespace xmca
