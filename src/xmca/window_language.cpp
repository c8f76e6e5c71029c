#include "window_language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>
#include <memory>
#include <vector>

namespace xmca::ui {

namespace {

// The status box's fixed messages, as the core and the window's handlers write them.
// lupdate reads them from here; statusText() looks them up under this context.
const char* const kStatusMessages[] = {
    QT_TRANSLATE_NOOP("Status", "Error"),  // the "Dev#" box when no analyser answers
    QT_TRANSLATE_NOOP("Status", "File Write Error !"),
    QT_TRANSLATE_NOOP("Status", "Error ! Memory 4096ch Max"),
    QT_TRANSLATE_NOOP("Status", "Error ! File Write: the file is an input"),
    QT_TRANSLATE_NOOP("Status", "Error ! ROI # Unknown"),
    QT_TRANSLATE_NOOP("Status", "Error ! ROI LowCh"),
    QT_TRANSLATE_NOOP("Status", "Error ! ROI HighCh"),
    QT_TRANSLATE_NOOP("Status", "Error ! Sample Spectrum"),
    QT_TRANSLATE_NOOP("Status", "Error ! BG Spectrum"),
    QT_TRANSLATE_NOOP("Status", "Error ! BG Channels"),
    QT_TRANSLATE_NOOP("Status", "Error ! Sample Real Time"),
    QT_TRANSLATE_NOOP("Status", "Error ! BG Real Time"),
    QT_TRANSLATE_NOOP("Status", "Error ! EngCalib LowCh"),
    QT_TRANSLATE_NOOP("Status", "Error ! EngCalib HiCh"),
    QT_TRANSLATE_NOOP("Status", "Error ! Energy Calib LowCh"),
    QT_TRANSLATE_NOOP("Status", "Error ! Energy Calib HighCh"),
    QT_TRANSLATE_NOOP("Status", "Error ! Energy Calib LowEng"),
    QT_TRANSLATE_NOOP("Status", "Error ! Energy Calib HighEng"),
    QT_TRANSLATE_NOOP("Status", "Error ! Energy Calib LowCh = HighCh"),
    QT_TRANSLATE_NOOP("Status", "Error ! Energy Calib Gain"),
    QT_TRANSLATE_NOOP("Status", "Error ! No Peak at Cursor"),
    QT_TRANSLATE_NOOP("Status", "Error ! Peak Fit Width"),
    QT_TRANSLATE_NOOP("Status", "Error ! Screening Level"),
    QT_TRANSLATE_NOOP("Status", "Error ! Lower Limit"),
    QT_TRANSLATE_NOOP("Status", "Error ! SPC_LLD"),
    QT_TRANSLATE_NOOP("Status", "Error ! Preset Time"),
    QT_TRANSLATE_NOOP("Status", "Error ! Dead Time per Event"),
    QT_TRANSLATE_NOOP("Status", "Error ! PreSet Time"),
    QT_TRANSLATE_NOOP("Status", "Error ! ReFlesh Timer"),
    QT_TRANSLATE_NOOP("Status", "Error ! SetPresetTime"),
    QT_TRANSLATE_NOOP("Status", "Error ! SetChannelCount"),
    QT_TRANSLATE_NOOP("Status", "Error ! Print"),
    QT_TRANSLATE_NOOP("Status", "Error ! N42 export: no spectrum"),
    QT_TRANSLATE_NOOP("Status", "Error ! the N42 document is too large"),
    QT_TRANSLATE_NOOP("Status", "Error ! the N42 document is truncated"),
    QT_TRANSLATE_NOOP("Status", "Error ! the N42 document holds no channel data"),
    QT_TRANSLATE_NOOP("Status", "Error ! not an XML document (no root element)"),
    QT_TRANSLATE_NOOP("Status", "Error ! not an XML document (the file is empty)"),
    QT_TRANSLATE_NOOP("Status", "Error ! N42 documents with a DTD or entity declarations are not accepted"),
    QT_TRANSLATE_NOOP("Status", "Error ! N42 energy calibration needs an offset and a gain"),
    QT_TRANSLATE_NOOP("Status", "Error ! N42 energy calibration has a non-zero quadratic term"),
    QT_TRANSLATE_NOOP("Status", "Error ! N42 energy calibration has non-zero terms beyond the linear one"),
    QT_TRANSLATE_NOOP("Status", "Error ! N42 energy calibration is out of range"),
    QT_TRANSLATE_NOOP("Status", "Error ! N42 spectrum refers to a missing energy calibration"),
    QT_TRANSLATE_NOOP("Status", "Error ! the N42 measurement has neither a real nor a live time"),
    QT_TRANSLATE_NOOP("Status", "Gain check OK"),
    QT_TRANSLATE_NOOP("Status", "Error ! Sample Live Time"),
    QT_TRANSLATE_NOOP("Status", "Error ! BG Live Time"),
    QT_TRANSLATE_NOOP("Status", "Error ! Background is the sample"),
    QT_TRANSLATE_NOOP("Status", "Gain OK"),
    QT_TRANSLATE_NOOP("Status", "Error ! Export: processed spectrum (compressed, smoothed or net), not a measurement"),
    QT_TRANSLATE_NOOP("Status", "(no file)"),  // the inputs line without a file
    // Calibrating a method.
    QT_TRANSLATE_NOOP("Status", "Error ! a Cs-137 standard is needed"),
    QT_TRANSLATE_NOOP("Status", "Error ! the standards' responses cannot be solved for three nuclides"),
    QT_TRANSLATE_NOOP("Status", "Error ! the nominal mass must be above 0 kg"),
    QT_TRANSLATE_NOOP("Status", "Error ! a method needs spectra of 2048 channels"),
};

// Messages with figures or names in them: the English pattern and, as the source
// text, its template with %1, %2 for the captured parts.
struct Pattern {
    const char* regex;
    const char* source;
};
const Pattern kStatusPatterns[] = {
    {R"(^this check spectrum is already in the register \(QC run (\d+)\)$)",
     QT_TRANSLATE_NOOP("Status", "this check spectrum is already in the register (QC run %1)")},
    {R"(^(.+) is dated in the future \(acquired (\S+), now (\S+)\)$)",
     QT_TRANSLATE_NOOP("Status", "%1 is dated in the future (acquired %2, now %3)")},
    {R"(^(.+) was acquired \S+, before the latest QC run of (.+) \(run (\d+), \S+\)$)",
     QT_TRANSLATE_NOOP("Status", "%1 was acquired before the latest QC run of %2 (run %3)")},
    {R"(^(.+) has no acquisition start date$)", QT_TRANSLATE_NOOP("Status", "%1 has no acquisition start date")},
    {R"(^only (\d+) net counts in the 662 keV window, at least (\d+) are needed: count the check source for at least (\d+) s$)",
     QT_TRANSLATE_NOOP("Status", "only %1 net counts in the 662 keV window, at least %2 are needed: count the check "
                                 "source for at least %3 s")},
    {R"(^Error ! Mem(\d+) Empty$)", QT_TRANSLATE_NOOP("Status", "Error ! Mem%1 Empty")},
    // Why a check spectrum gives no QC figures (the QC page shows them after "Error ! ").
    {R"(^no 662 keV peak stands out between channels (\d+) and (\d+)$)",
     QT_TRANSLATE_NOOP("Status", "no 662 keV peak stands out between channels %1 and %2")},
    {R"(^no 662 keV peak between channels (\d+) and (\d+)$)",
     QT_TRANSLATE_NOOP("Status", "no 662 keV peak between channels %1 and %2")},
    {R"(^the 662 keV peak has no clear width between channels (\d+) and (\d+)$)",
     QT_TRANSLATE_NOOP("Status", "the 662 keV peak has no clear width between channels %1 and %2")},
    {R"(^too few counts in the 662 keV peak \((\d+)\); count the check source longer$)",
     QT_TRANSLATE_NOOP("Status", "too few counts in the 662 keV peak (%1); count the check source longer")},
    {R"(^the background has (\d+) channels, the check spectrum (\d+)$)",
     QT_TRANSLATE_NOOP("Status", "the background has %1 channels, the check spectrum %2")},
    {R"(^the check spectrum has too few channels$)", QT_TRANSLATE_NOOP("Status", "the check spectrum has too few channels")},
    {R"(^the check spectrum has no counting time$)", QT_TRANSLATE_NOOP("Status", "the check spectrum has no counting time")},
    {R"(^the background has no counting time$)", QT_TRANSLATE_NOOP("Status", "the background has no counting time")},
    {R"(^the 662 keV search range lies outside the spectrum$)",
     QT_TRANSLATE_NOOP("Status", "the 662 keV search range lies outside the spectrum")},
    {R"(^Check gain: K-40 peak at channel (\S+)$)", QT_TRANSLATE_NOOP("Status", "Check gain: K-40 peak at channel %1")},
    {R"(^Check gain: Cs-137 peak at channel (\S+)$)",
     QT_TRANSLATE_NOOP("Status", "Check gain: Cs-137 peak at channel %1")},
    {R"(^Error ! SetChannelCount (\d+) ch: no analyser command$)",
     QT_TRANSLATE_NOOP("Status", "Error ! SetChannelCount %1 ch: no analyser command")},
    {R"(^Error ! cannot open (.+)$)", QT_TRANSLATE_NOOP("Status", "Error ! cannot open %1")},
    {R"(^Error ! cannot read (.+)$)", QT_TRANSLATE_NOOP("Status", "Error ! cannot read %1")},
    {R"(^Error ! (.+) cannot be opened$)", QT_TRANSLATE_NOOP("Status", "Error ! %1 cannot be opened")},
    {R"(^Error ! (.+) is a directory$)", QT_TRANSLATE_NOOP("Status", "Error ! %1 is a directory")},
    {R"(^Error ! (.+) is not a regular file$)", QT_TRANSLATE_NOOP("Status", "Error ! %1 is not a regular file")},
    {R"(^Lower limit of measurement (\S+) Bq/kg \(required (\S+)\)$)",
     QT_TRANSLATE_NOOP("Status", "Lower limit of measurement %1 Bq/kg (required %2)")},
    {R"(^Lower limit not met - count longer \((.+) needed\)$)",
     QT_TRANSLATE_NOOP("Status", "Lower limit not met - count longer (%1 needed)")},
    {R"(^Lower limit not met - count longer \(count the background longer\)$)",
     QT_TRANSLATE_NOOP("Status", "Lower limit not met - count longer (count the background longer)")},
    {R"(^Below screening level \((\S+) Bq/kg\)$)", QT_TRANSLATE_NOOP("Status", "Below screening level (%1 Bq/kg)")},
    {R"(^Above screening level - confirm \((\S+) Bq/kg\)$)",
     QT_TRANSLATE_NOOP("Status", "Above screening level - confirm (%1 Bq/kg)")},
    {R"(^Error ! Sample Counts \(channel (\d+)\)$)", QT_TRANSLATE_NOOP("Status", "Error ! Sample Counts (channel %1)")},
    {R"(^Error ! BG Counts \(channel (\d+)\)$)", QT_TRANSLATE_NOOP("Status", "Error ! BG Counts (channel %1)")},
    {R"(^Error ! the (\S+) standard is the background file$)",
     QT_TRANSLATE_NOOP("Status", "Error ! the %1 standard is the background file")},
    {R"(^Error ! the (\S+) standard holds no significant (\S+) peak$)",
     QT_TRANSLATE_NOOP("Status", "Error ! the %1 standard holds no significant %2 peak")},
    {R"(^Error ! the (\S+) standard's activity must be above 0 Bq$)",
     QT_TRANSLATE_NOOP("Status", "Error ! the %1 standard's activity must be above 0 Bq")},
    {R"(^Error ! the (\S+) standard's reference date is after its spectrum was measured$)",
     QT_TRANSLATE_NOOP("Status", "Error ! the %1 standard's reference date is after its spectrum was measured")},
    {R"(^Error ! the (\S+) standard needs its reference date$)",
     QT_TRANSLATE_NOOP("Status", "Error ! the %1 standard needs its reference date")},
    {R"(^Error ! the (\S+) standard's spectrum has no start date$)",
     QT_TRANSLATE_NOOP("Status", "Error ! the %1 standard's spectrum has no start date")},
    {R"(^Error ! the (\S+) standard and the background have different channel counts$)",
     QT_TRANSLATE_NOOP("Status", "Error ! the %1 standard and the background have different channel counts")},
    {R"(^Error ! two (\S+) standards given$)", QT_TRANSLATE_NOOP("Status", "Error ! two %1 standards given")},
    // A withheld verdict: the reason is translated on its own (kVerdicts).
    {R"(^No verdict - (.+)$)", QT_TRANSLATE_NOOP("Status", "No verdict - %1")},
    {R"(^windows need (\d+) channels$)", QT_TRANSLATE_NOOP("Status", "windows need %1 channels")},
    {R"(^unexplained peak at (\S+) keV$)", QT_TRANSLATE_NOOP("Status", "unexplained peak at %1 keV")},
    // The printed results block: its inputs line, the sd note, the limits with the gain check.
    {R"(^Sample (.+), background (.+); method: (.+)$)",
     QT_TRANSLATE_NOOP("Status", "Sample %1, background %2; method: %3")},
    {R"(^Sample (.+), background (.+)$)", QT_TRANSLATE_NOOP("Status", "Sample %1, background %2")},
    {R"(^(.*)   \(sd: counting standard deviation\)$)",
     QT_TRANSLATE_NOOP("Status", "%1   (sd: counting standard deviation)")},
    {R"(^Lower limit of measurement (\S+) Bq/kg \(required (\S+)\);  (.+)$)",
     QT_TRANSLATE_NOOP("Status", "Lower limit of measurement %1 Bq/kg (required %2);  %3")},
    // Any other refusal: the words after the prefix are looked up on their own.
    {R"(^Error ! (.+)$)", QT_TRANSLATE_NOOP("Status", "Error ! %1")},
};

// The verdicts as the core names them.
const char* const kVerdicts[] = {
    QT_TRANSLATE_NOOP("Verdict", "Lower limit not met - count longer"),
    QT_TRANSLATE_NOOP("Verdict", "Below screening level"),
    QT_TRANSLATE_NOOP("Verdict", "Above screening level - confirm"),
    // The reasons a verdict is withheld for ("No verdict - <reason>").
    QT_TRANSLATE_NOOP("Verdict", "check gain"),
    QT_TRANSLATE_NOOP("Verdict", "sample below background"),
    QT_TRANSLATE_NOOP("Verdict", "Re Calic baseline subtracted"),
    QT_TRANSLATE_NOOP("Verdict", "QC action required"),
    QT_TRANSLATE_NOOP("Verdict", "no QC passed today"),
    QT_TRANSLATE_NOOP("Verdict", "QC state could not be read"),
    QT_TRANSLATE_NOOP("Verdict", "no characteristic limits"),
    QT_TRANSLATE_NOOP("Verdict", "background has no K-40 peak"),
    QT_TRANSLATE_NOOP("Verdict", "background shows caesium"),
    QT_TRANSLATE_NOOP("Verdict", "background too old"),
    QT_TRANSLATE_NOOP("Verdict", "background dated after the sample"),
    QT_TRANSLATE_NOOP("Verdict", "mass outside 0.5-2 x nominal"),
    QT_TRANSLATE_NOOP("Verdict", "not given"),
    QT_TRANSLATE_NOOP("Verdict", "mass outside the method's range"),
    QT_TRANSLATE_NOOP("Verdict", "no detection limit with the method's uncertainty"),
    QT_TRANSLATE_NOOP("Verdict", "the method's figures could not be formed"),
    QT_TRANSLATE_NOOP("Verdict", "no decay correction: the sampling date is not before the measurement"),
    // The method of the figures, as the record and the page give it.
    QT_TRANSLATE_NOOP("Verdict", "Bq Calic, no baseline"),
    QT_TRANSLATE_NOOP("Verdict", "Re Calic, trapezoid baseline subtracted"),
};

std::vector<std::unique_ptr<QTranslator>>& installed() {
    static std::vector<std::unique_ptr<QTranslator>> list;
    return list;
}

QString& current() {
    static QString lang = QStringLiteral("en");
    return lang;
}

// The program's translation: beside an installed program first (a translation can
// be mended there without a rebuild), else the copy built into the program.
bool loadProgramTranslation(QTranslator& t, const QString& lang) {
    const QString file = QStringLiteral("xmca_") + lang;
    const QString installedDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/xmca/translations");
    return t.load(file, installedDir) || t.load(file, QStringLiteral(":/i18n"));
}

}  // namespace

QString chooseLanguage(const QString& override, const QLocale& locale) {
    if (override == QLatin1String("ja") || override == QLatin1String("en")) return override;
    return locale.language() == QLocale::Japanese ? QStringLiteral("ja") : QStringLiteral("en");
}

bool installLanguage(const QString& lang) {
    for (auto& t : installed()) QCoreApplication::removeTranslator(t.get());
    installed().clear();
    current() = QStringLiteral("en");
    if (lang == QLatin1String("en")) return true;

    auto own = std::make_unique<QTranslator>();
    if (!loadProgramTranslation(*own, lang)) return false;
    QCoreApplication::installTranslator(own.get());
    installed().push_back(std::move(own));
    // Qt's own texts (file and print dialogs, standard buttons), when the system has them.
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QStringLiteral("qtbase_") + lang, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        installed().push_back(std::move(qt));
    }
    current() = lang;
    return true;
}

QString currentLanguage() { return current(); }

QString statusText(const QString& english) {
    if (english.isEmpty()) return english;
    const QByteArray key = english.toUtf8();
    for (const char* m : kStatusMessages)
        if (key == m) return QCoreApplication::translate("Status", m);
    for (const char* v : kVerdicts)
        if (key == v) return QCoreApplication::translate("Verdict", v);
    for (const Pattern& p : kStatusPatterns) {
        const QRegularExpressionMatch match = QRegularExpression(QString::fromLatin1(p.regex)).match(english);
        if (!match.hasMatch()) continue;
        // A captured part that is itself a known message (a reason, a method, the gain
        // check) is translated too; names and figures come back unchanged. Each part is
        // shorter than the whole, so this ends.
        QString part[3];
        for (int i = 0; i < 3 && i < match.lastCapturedIndex(); ++i) part[i] = statusText(match.captured(i + 1));
        const QString out = QCoreApplication::translate("Status", p.source);
        // One arg() call for all parts, so a part holding "%1" is not substituted again.
        switch (match.lastCapturedIndex()) {
            case 0: return out;
            case 1: return out.arg(part[0]);
            case 2: return out.arg(part[0], part[1]);
            default: return out.arg(part[0], part[1], part[2]);
        }
    }
    return english;
}

QString verdictText(const QString& english) { return statusText(english); }

}  // namespace xmca::ui
