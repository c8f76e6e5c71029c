#include "file_dialogs.h"

#include <QFile>
#include <QFileDialog>

namespace xmca {

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString runFileDialog(QWidget* parent, const QString& title, const QString& filter, const QString& suffix, bool open,
                      const QString& selectName) {
    QFileDialog dlg(parent, title);
    dlg.setNameFilter(filter);
    dlg.setDefaultSuffix(suffix);
    dlg.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!selectName.isEmpty()) dlg.selectFile(selectName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().front();
}

}  // namespace xmca
