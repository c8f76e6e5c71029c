// The N42 writer: instrument and detector description, one energy calibration
// and one measurement per spectrum.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>
#include <QXmlStreamWriter>

#include <charconv>
#include <cmath>
#include <string>

#include "files/sjis_text.h"
#include "n42/n42_document.h"

namespace xmca::n42 {

namespace {

using H = SpectrumHeader;

constexpr const char* kDetectorId = "Gamma-CsI";

QString q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// XML 1.0 cannot carry most control characters; they become U+FFFD.
QString xmlSafe(QString s) {
    for (QChar& c : s) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n') || u == 0xFFFE || u == 0xFFFF) c = QChar(0xFFFD);
    }
    return s;
}

// Punctuation, separators and control/format characters: what the schema's \w
// leaves out.
bool outsideWord(char32_t c) {
    switch (QChar::category(c)) {
        case QChar::Punctuation_Connector: case QChar::Punctuation_Dash: case QChar::Punctuation_Open:
        case QChar::Punctuation_Close: case QChar::Punctuation_InitialQuote: case QChar::Punctuation_FinalQuote:
        case QChar::Punctuation_Other: case QChar::Separator_Space: case QChar::Separator_Line:
        case QChar::Separator_Paragraph: case QChar::Other_Control: case QChar::Other_Format:
        case QChar::Other_Surrogate: case QChar::Other_PrivateUse: case QChar::Other_NotAssigned:
            return true;
        default:
            return false;
    }
}

// Text for an element of the schema's non-blank string type, whose pattern
// admits word characters and spaces around one run without white space: every
// character outside \w must lie in that run. Tabs and line breaks become
// spaces; the spaces between the first and the last such character become
// no-break spaces (not white space to the schema), so "Co., Ltd." stays readable.
// An empty or blank text becomes "-".
QString nonBlank(const QString& text) {
    std::u32string t;
    for (char32_t c : xmlSafe(text).toUcs4()) t += (c == '\t' || c == '\n' || c == '\r') ? U' ' : c;
    const auto first = t.find_first_not_of(U' '), last = t.find_last_not_of(U' ');
    if (first == std::u32string::npos) return QStringLiteral("-");
    t = t.substr(first, last - first + 1);
    std::size_t lo = std::u32string::npos, hi = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] != U' ' && outsideWord(t[i])) {
            if (lo == std::u32string::npos) lo = i;
            hi = i;
        }
    }
    if (lo != std::u32string::npos)
        for (std::size_t i = lo; i < hi; ++i)
            if (t[i] == U' ') t[i] = U'\u00A0';
    return QString::fromUcs4(t.data(), static_cast<qsizetype>(t.size()));
}

std::string number(float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// The counts, sixteen to a line.
QString channelText(std::span<const std::int32_t> counts) {
    std::string out;
    out.reserve(counts.size() * 8 + 16);
    char buf[16];
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (i % 16 == 0) out += '\n';
        else out += ' ';
        const auto r = std::to_chars(buf, buf + sizeof buf, counts[i]);
        out.append(buf, r.ptr);
    }
    out += '\n';
    return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

DateTime startOf(const H& h) {
    return {h.i16(H::kYear), h.i16(H::kMonth), h.i16(H::kDay), h.i16(H::kHour), h.i16(H::kMinute),
            h.i16(H::kSecond)};
}

const char* className(MeasurementClass k) { return k == MeasurementClass::Background ? "Background" : "Foreground"; }

std::string check(const SpectrumRecord& r, const char* what) {
    const H& h = r.header;
    const std::string w = what;
    if (r.counts.empty()) return "Error ! N42 export: the " + w + " spectrum has no channels";
    // The import takes at most this many channels as they are: a document it would
    // have to combine is not written.
    if (r.counts.size() > static_cast<std::size_t>(kMaxImportChannels))
        return "Error ! N42 export: the " + w + " spectrum has more than " + std::to_string(kMaxImportChannels) +
               " channels";
    for (std::size_t i = 0; i < r.counts.size(); ++i)
        if (r.counts[i] < 0) return "Error ! N42 export: negative count in channel " + std::to_string(i) + " of the " + w;
    if (!isValidDateTime(startOf(h)))
        return "Error ! N42 export: the " + w + " spectrum has no valid start date";
    if (h.i32(H::kRealTime) < 0 || h.i32(H::kLiveTime) < 0 || h.i32(H::kPresetTime) < 0)
        return "Error ! N42 export: negative time in the " + w + " spectrum";
    if (r.calibration && (!std::isfinite(r.calibration->gain) || !std::isfinite(r.calibration->offset)))
        return "Error ! N42 export: the " + w + " calibration is not finite";
    return {};
}

}  // namespace

std::string nonBlankText(std::string_view utf8) {
    const QByteArray b = nonBlank(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))).toUtf8();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

ExportResult exportN42(std::span<const Measurement> ms, const ExportOptions& options) {
    ExportResult res;
    if (ms.empty()) {
        res.error = "Error ! N42 export: no spectrum";
        return res;
    }
    // Ids: "Foreground", "Background", then numbered if a kind repeats.
    std::vector<QString> ids;
    for (std::size_t i = 0; i < ms.size(); ++i) {
        const std::string e = check(ms[i].spectrum, className(ms[i].kind));
        if (!e.empty()) {
            res.error = e;
            return res;
        }
        QString id = QString::fromLatin1(className(ms[i].kind));
        int n = 1;
        for (std::size_t j = 0; j < i; ++j)
            if (ids[j] == id) id = QString::fromLatin1(className(ms[i].kind)) + QString::number(++n);
        ids.push_back(id);
    }

    QByteArray out;
    out.reserve(static_cast<qsizetype>(4096 + ms.size() * (ms.front().spectrum.counts.size() * 8 + 2048)));
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument();
    w.writeDefaultNamespace(QString::fromLatin1(kNamespace));
    w.writeStartElement(QString::fromLatin1(kNamespace), "RadInstrumentData");
    const QString uuid = options.uuid.empty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : q(options.uuid);
    w.writeAttribute("n42DocUUID", uuid);
    w.writeAttribute("n42DocDateTime", options.documentTime.empty()
                                           ? QDateTime::currentDateTimeUtc().toString(Qt::ISODate)
                                           : q(options.documentTime));
    const QString software = QStringLiteral("xmca " XMCA_VERSION);
    w.writeTextElement("RadInstrumentDataCreatorName", nonBlank(software));

    w.writeStartElement("RadInstrumentInformation");
    w.writeAttribute("id", "RadInstrumentInformation");
    w.writeTextElement("RadInstrumentManufacturerName", nonBlank(QString::fromLatin1(H::kMakerBanner)));
    w.writeTextElement("RadInstrumentModelName", nonBlank(QStringLiteral("USB multichannel analyser")));
    w.writeTextElement("RadInstrumentClassCode", "Other");
    w.writeStartElement("RadInstrumentVersion");
    w.writeTextElement("RadInstrumentComponentName", "Software");
    w.writeTextElement("RadInstrumentComponentVersion", nonBlank(software));
    w.writeEndElement();
    w.writeEndElement();

    w.writeStartElement("RadDetectorInformation");
    w.writeAttribute("id", kDetectorId);
    w.writeTextElement("RadDetectorCategoryCode", "Gamma");
    w.writeTextElement("RadDetectorKindCode", "CsI");
    w.writeEndElement();

    for (std::size_t i = 0; i < ms.size(); ++i) {
        const auto& cal = ms[i].spectrum.calibration;
        w.writeStartElement("EnergyCalibration");
        w.writeAttribute("id", "EnergyCalibration-" + ids[i]);
        if (!cal) w.writeTextElement("Remark", QString::fromLatin1(kUncalibratedRemark));
        w.writeTextElement("CoefficientValues",
                           cal ? q(number(cal->offset) + " " + number(cal->gain) + " 0") : QStringLiteral("0 1 0"));
        w.writeEndElement();
    }

    for (std::size_t i = 0; i < ms.size(); ++i) {
        const SpectrumRecord& r = ms[i].spectrum;
        const H& h = r.header;
        w.writeStartElement("RadMeasurement");
        w.writeAttribute("id", ids[i]);
        if (!h.comment().empty()) w.writeTextElement("Remark", kCommentPrefix + xmlSafe(q(sjisToUtf8(h.comment()))));
        if (!h.sampleId().empty())
            w.writeTextElement("Remark", kSampleIdPrefix + xmlSafe(q(sjisToUtf8(h.sampleId()))));
        w.writeTextElement("Remark", kPresetPrefix + q(formatDurationTenths(h.i32(H::kPresetTime))));
        w.writeTextElement("MeasurementClassCode", className(ms[i].kind));
        w.writeTextElement("StartDateTime", q(formatDateTime(startOf(h))));
        w.writeTextElement("RealTimeDuration", q(formatDurationTenths(h.i32(H::kRealTime))));
        w.writeStartElement("Spectrum");
        w.writeAttribute("id", "Spectrum-" + ids[i]);
        w.writeAttribute("radDetectorInformationReference", kDetectorId);
        w.writeAttribute("energyCalibrationReference", "EnergyCalibration-" + ids[i]);
        w.writeTextElement("LiveTimeDuration", q(formatDurationTenths(h.i32(H::kLiveTime))));
        w.writeStartElement("ChannelData");
        w.writeAttribute("compressionCode", "None");
        w.writeCharacters(channelText(r.counts));
        w.writeEndElement();
        w.writeEndElement();  // Spectrum
        w.writeEndElement();  // RadMeasurement
    }
    w.writeEndElement();
    w.writeEndDocument();
    if (w.hasError()) {
        res.error = "Error ! N42 export: the document could not be written";
        return res;
    }
    res.ok = true;
    res.document.assign(out.constData(), static_cast<std::size_t>(out.size()));
    return res;
}

}  // namespace xmca::n42
