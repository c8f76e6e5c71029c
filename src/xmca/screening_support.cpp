#include "xmca/screening_support.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPrinter>

#include "xmca/page_dialogs.h"

#include "model/screening_record.h"

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

bool deliverScreeningReport(PageDialogs& dialogs, const xmca::report::ScreeningReportData& data, const QString& base,
                            const QString& folder, QString& failure) {
    failure.clear();
    if (dialogs.hasPrinter()) {
        QPrinter p(QPrinter::HighResolution);
        if (!dialogs.choosePrinter(p)) return false;
        if (xmca::report::printScreeningReport(p, data)) return true;
        failure = QApplication::translate("ScreeningReport", "The report could not be printed.");
        return false;
    }
    PageDialogs::FileQuestion question;
    question.kind = PageDialogs::Kind::SavePdf;
    question.title = QApplication::translate("ScreeningReport", "Save screening report as PDF");
    question.filter = QApplication::translate("ScreeningReport", "PDF (*.pdf)");
    question.suffix = QStringLiteral("pdf");
    question.suggested = QDir(folder).filePath(base + QStringLiteral(".pdf"));
    QString path = dialogs.chooseFile(question);
    if (path.isEmpty()) return false;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    const auto pdf = xmca::report::screeningReportPdf(data);
    if (xmca::report::writePdf(path.toStdString(), pdf) == xmca::WriteStatus::Ok) return true;
    failure = QApplication::translate("ScreeningReport", "The report could not be written to %1.").arg(path);
    return false;
}

namespace {

// The names of inputs and figures a correction may change, for lupdate.
[[maybe_unused]] constexpr const char* kChangeNames[] = {
    QT_TRANSLATE_NOOP("ScreeningSupport", "sample ID"),       QT_TRANSLATE_NOOP("ScreeningSupport", "product"),
    QT_TRANSLATE_NOOP("ScreeningSupport", "origin"),          QT_TRANSLATE_NOOP("ScreeningSupport", "mass"),
    QT_TRANSLATE_NOOP("ScreeningSupport", "nominal mass"),    QT_TRANSLATE_NOOP("ScreeningSupport", "sampling date"),
    QT_TRANSLATE_NOOP("ScreeningSupport", "operator"),        QT_TRANSLATE_NOOP("ScreeningSupport", "sample spectrum"),
    QT_TRANSLATE_NOOP("ScreeningSupport", "background spectrum"),
    QT_TRANSLATE_NOOP("ScreeningSupport", "screening level"), QT_TRANSLATE_NOOP("ScreeningSupport", "lower limit"),
    QT_TRANSLATE_NOOP("ScreeningSupport", "lower limit reached"), QT_TRANSLATE_NOOP("ScreeningSupport", "verdict"),
    QT_TRANSLATE_NOOP("ScreeningSupport", "baseline"),        QT_TRANSLATE_NOOP("ScreeningSupport", "ok"),
    QT_TRANSLATE_NOOP("ScreeningSupport", "warning"),         QT_TRANSLATE_NOOP("ScreeningSupport", "action"),
};

QStringList shown(const std::vector<std::string>& names) {
    QStringList out;
    for (const auto& n : names) out << QCoreApplication::translate("ScreeningSupport", n.c_str());
    return out;
}

}  // namespace

QString qcStatusText(const std::string& status) {
    return QCoreApplication::translate("ScreeningSupport", status.c_str());
}

void setCorrectionChanges(xmca::report::ScreeningReportData& data, const xmca::reg::MeasurementRecord& original,
                          const xmca::reg::MeasurementRecord& correction) {
    data.changedInputs = shown(xmca::changedInputs(original, correction));
    data.changedFigures = shown(xmca::changedFigures(original, correction));
}

QString correctionChangesText(const xmca::reg::MeasurementRecord& original,
                              const xmca::reg::MeasurementRecord& correction) {
    const QStringList inputs = shown(xmca::changedInputs(original, correction));
    const QStringList figures = shown(xmca::changedFigures(original, correction));
    const QString none = QCoreApplication::translate("ScreeningSupport", "none");
    return QCoreApplication::translate("ScreeningSupport", "Changed against record %1: inputs %2; figures %3")
        .arg(original.id)
        .arg(inputs.isEmpty() ? none : inputs.join(QStringLiteral(", ")),
             figures.isEmpty() ? none : figures.join(QStringLiteral(", ")));
}
