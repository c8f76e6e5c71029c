#include "xmca/screening_support.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

QString screeningFileStem(const QString& sampleId) {
    QString out;
    for (const QChar c : sampleId.trimmed()) {
        const bool bad = c.unicode() < 0x20 || c == QLatin1Char('/') || c == QLatin1Char('\\') ||
                         c == QLatin1Char(':') || c == QLatin1Char('*') || c == QLatin1Char('?') ||
                         c == QLatin1Char('"') || c == QLatin1Char('<') || c == QLatin1Char('>') ||
                         c == QLatin1Char('|') || c.isSpace();
        out += bad ? QLatin1Char('_') : c;
    }
    while (out.startsWith(QLatin1Char('.'))) out[0] = QLatin1Char('_');
    if (out.isEmpty()) out = QStringLiteral("sample");
    return out.left(80);
}

QString verdictColourName(const std::string& verdict) {
    if (verdict.rfind("Below", 0) == 0) return QStringLiteral("#008000");
    if (verdict.rfind("Above", 0) == 0) return QStringLiteral("#c00000");
    if (verdict.rfind("No verdict", 0) == 0) return QStringLiteral("#606060");
    return QStringLiteral("#d06000");
}

bool deliverScreeningReport(QWidget* parent, const xmca::report::ScreeningReportData& data, const QString& base,
                            const QString& folder, const std::function<bool()>& hasPrinter,
                            const std::function<bool(QPrinter&)>& choosePrinter,
                            const std::function<QString(const QString&)>& choosePdf) {
    const bool printer = hasPrinter ? hasPrinter() : !QPrinterInfo::defaultPrinter().isNull();
    if (printer) {
        QPrinter p(QPrinter::HighResolution);
        bool ok = false;
        if (choosePrinter) {
            ok = choosePrinter(p);
        } else {
            QPrintDialog dlg(&p, parent);
            ok = dlg.exec() == QDialog::Accepted;
        }
        if (!ok) return false;
        if (xmca::report::printScreeningReport(p, data)) return true;
        QMessageBox::warning(parent, QApplication::translate("ScreeningReport", "Print"),
                             QApplication::translate("ScreeningReport", "The report could not be printed."));
        return false;
    }
    const QString suggested = QDir(folder).filePath(base + QStringLiteral(".pdf"));
    QString path = choosePdf ? choosePdf(suggested)
                             : QFileDialog::getSaveFileName(
                                   parent, QApplication::translate("ScreeningReport", "Save screening report as PDF"),
                                   suggested, QApplication::translate("ScreeningReport", "PDF (*.pdf)"));
    if (path.isEmpty()) return false;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    const auto pdf = xmca::report::screeningReportPdf(data);
    if (xmca::report::writePdf(path.toStdString(), pdf) == xmca::WriteStatus::Ok) return true;
    if (!choosePdf)
        QMessageBox::warning(parent, QApplication::translate("ScreeningReport", "Print"),
                             QApplication::translate("ScreeningReport", "The report could not be written to %1.")
                                 .arg(path));
    return false;
}
