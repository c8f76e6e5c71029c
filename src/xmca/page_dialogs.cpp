#include "xmca/page_dialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

PageDialogs::FileQuestion PageDialogs::spectrumToOpen(const QString& title, const QString& folder) {
    FileQuestion question;
    question.kind = Kind::OpenSpectrum;
    question.title = title;
    question.filter = QCoreApplication::translate("PageDialogs", "Spectrum (*.dat)");
    question.suffix = QStringLiteral("dat");
    question.folder = folder;
    return question;
}

QString WidgetDialogs::chooseFile(const FileQuestion& question) {
    QFileDialog dlg(parent_, question.title, question.folder);
    dlg.setNameFilter(question.filter);
    dlg.setDefaultSuffix(question.suffix);
    const bool open = question.opens();
    dlg.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!question.suggested.isEmpty()) dlg.selectFile(question.suggested);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().front();
}

bool WidgetDialogs::hasPrinter() { return !QPrinterInfo::availablePrinterNames().isEmpty(); }

bool WidgetDialogs::choosePrinter(QPrinter& printer) {
    QPrintDialog dlg(&printer, parent_);
    dlg.setWindowTitle(tr("Print"));
    return dlg.exec() == QDialog::Accepted;
}

bool WidgetDialogs::confirm(const QString& title, const QString& question) {
    return QMessageBox::question(parent_, title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}
