// The N42 reader: walks the document once with QXmlStreamReader, keeping the
// energy calibrations and the first spectrum of each measurement, then turns the
// chosen measurement into a .dat header and counts.
#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <algorithm>
#include <limits>
#include <utility>

#include "files/file_guard.h"
#include "files/sjis_text.h"
#include "n42/n42_document.h"

namespace xmca::n42 {

namespace {

using H = SpectrumHeader;
constexpr int kBlock = 512;  // the .dat reader takes whole blocks of 512 counts

struct CalibrationEntry {
    QString id;
    bool uncalibrated = false;
    bool hasCoefficients = false;
    QString coefficients;
};

struct SpectrumEntry {
    QString calibrationRef;
    bool hasCalibrationRef = false;
    bool hasLive = false;
    QString live;
    QString data;
    QString compression;
};

struct MeasurementEntry {
    QString classCode;
    bool hasStart = false, hasReal = false;
    QString start, real;
    std::vector<QString> remarks;
    std::optional<SpectrumEntry> spectrum;  // the first one with channel data
};

struct Document {
    std::vector<CalibrationEntry> calibrations;
    std::vector<MeasurementEntry> measurements;
};

class Parser {
public:
    explicit Parser(std::string_view data)
        : xr_(QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()))) {}

    // Empty on success, else the refusal.
    std::string run(Document& doc) {
        if (!findRoot()) return failure();
        if (xr_.name() != u"RadInstrumentData" || xr_.namespaceUri() != QLatin1String(kNamespace)) {
            return "Error ! not an N42.42-2011 document (root element " +
                   (xr_.namespaceUri().isEmpty() ? std::string() : "{" + xr_.namespaceUri().toString().toStdString() + "}") +
                   xr_.name().toString().toStdString() + ")";
        }
        while (nextChild()) {
            if (!ours()) skip();
            else if (xr_.name() == u"EnergyCalibration") readCalibration(doc);
            else if (xr_.name() == u"RadMeasurement") readMeasurement(doc);
            else skip();
        }
        // Read to the end so that anything after the root is checked too.
        while (!xr_.atEnd() && !xr_.hasError()) {
            xr_.readNext();
            if (xr_.tokenType() == QXmlStreamReader::DTD) return dtdRefusal();
        }
        if (stop_) return stopReason_;
        return xr_.hasError() ? failure() : std::string();
    }

private:
    static std::string dtdRefusal() {
        return "Error ! N42 documents with a DTD or entity declarations are not accepted";
    }

    std::string failure() {
        if (stop_) return stopReason_;
        if (xr_.error() == QXmlStreamReader::PrematureEndOfDocumentError)
            return "Error ! the N42 document is truncated";
        if (xr_.error() == QXmlStreamReader::NoError) return "Error ! not an XML document (no root element)";
        return "Error ! not a well-formed XML document (line " + std::to_string(xr_.lineNumber()) + ": " +
               xr_.errorString().toStdString() + ")";
    }

    bool findRoot() {
        while (!xr_.atEnd()) {
            const auto t = xr_.readNext();
            if (t == QXmlStreamReader::DTD || t == QXmlStreamReader::EntityReference) {
                halt(dtdRefusal());
                return false;
            }
            if (t == QXmlStreamReader::StartElement) return true;
            if (t == QXmlStreamReader::Invalid) return false;
        }
        return false;
    }

    void halt(std::string why) {
        if (!stop_) {
            stop_ = true;
            stopReason_ = std::move(why);
        }
        xr_.raiseError(QStringLiteral("refused"));
    }

    bool ours() const { return xr_.namespaceUri() == QLatin1String(kNamespace); }

    // The next child start element of the current element; false at its end.
    bool nextChild() {
        while (!xr_.atEnd()) {
            const auto t = xr_.readNext();
            if (t == QXmlStreamReader::StartElement) return true;
            if (t == QXmlStreamReader::EndElement) return false;
            if (t == QXmlStreamReader::EntityReference || t == QXmlStreamReader::DTD) {
                halt(dtdRefusal());
                return false;
            }
            if (t == QXmlStreamReader::Invalid) return false;
        }
        return false;
    }

    void skip() {
        int depth = 1;
        while (depth > 0 && !xr_.atEnd()) {
            const auto t = xr_.readNext();
            if (t == QXmlStreamReader::StartElement) ++depth;
            else if (t == QXmlStreamReader::EndElement) --depth;
            else if (t == QXmlStreamReader::EntityReference) halt(dtdRefusal());
            else if (t == QXmlStreamReader::Invalid) return;
        }
    }

    // Text of a simple element (child elements are an error).
    QString text() {
        QString s = xr_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        return s;
    }

    void readCalibration(Document& doc) {
        CalibrationEntry c;
        c.id = xr_.attributes().value("id").toString();
        while (nextChild()) {
            if (!ours()) skip();
            else if (xr_.name() == u"Remark") c.uncalibrated |= text().trimmed() == QLatin1String(kUncalibratedRemark);
            else if (xr_.name() == u"CoefficientValues") {
                c.hasCoefficients = true;
                c.coefficients = text();
            } else skip();
        }
        doc.calibrations.push_back(std::move(c));
    }

    void readSpectrum(MeasurementEntry& m) {
        SpectrumEntry s;
        const auto attrs = xr_.attributes();
        s.hasCalibrationRef = attrs.hasAttribute("energyCalibrationReference");
        s.calibrationRef = attrs.value("energyCalibrationReference").toString().trimmed();
        bool hasData = false;
        while (nextChild()) {
            if (!ours()) skip();
            else if (xr_.name() == u"LiveTimeDuration") {
                s.hasLive = true;
                s.live = text();
            } else if (xr_.name() == u"ChannelData" && !hasData) {
                hasData = true;
                s.compression = xr_.attributes().value("compressionCode").toString().trimmed();
                s.data = text();
            } else skip();
        }
        if (hasData && !m.spectrum) m.spectrum = std::move(s);
    }

    void readMeasurement(Document& doc) {
        MeasurementEntry m;
        while (nextChild()) {
            if (!ours()) skip();
            else if (xr_.name() == u"Remark") m.remarks.push_back(text());
            else if (xr_.name() == u"MeasurementClassCode") m.classCode = text().trimmed();
            else if (xr_.name() == u"StartDateTime") {
                m.hasStart = true;
                m.start = text().trimmed();
            } else if (xr_.name() == u"RealTimeDuration") {
                m.hasReal = true;
                m.real = text().trimmed();
            } else if (xr_.name() == u"Spectrum") readSpectrum(m);
            else skip();
        }
        doc.measurements.push_back(std::move(m));
    }

    QXmlStreamReader xr_;
    bool stop_ = false;
    std::string stopReason_;
};

// Whitespace-separated xsd:double values; each token is checked with its index.
template <typename Fn>
std::string forEachNumber(const QString& text, Fn&& fn) {
    const QByteArray bytes = text.toUtf8();
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    std::size_t index = 0;
    while (true) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
        if (p == end) return {};
        const char* tokEnd = p;
        while (tokEnd < end && !(*tokEnd == ' ' || *tokEnd == '\t' || *tokEnd == '\n' || *tokEnd == '\r')) ++tokEnd;
        const char* num = p;
        if (*num == '+' && tokEnd - num > 1 && num[1] != '-') ++num;
        double v = 0;
        const auto r = std::from_chars(num, tokEnd, v);
        const std::string token(p, static_cast<std::size_t>(std::min<std::ptrdiff_t>(tokEnd - p, 24)));
        if (r.ec == std::errc::result_out_of_range) return "Error ! N42 value '" + token + "' is out of range";
        if (r.ec != std::errc() || r.ptr != tokEnd || !std::isfinite(v))
            return "Error ! N42 value '" + token + "' is not a number";
        std::string e = fn(index++, v);
        if (!e.empty()) return e;
        p = tokEnd;
    }
}

std::string parseCounts(const SpectrumEntry& s, std::vector<std::int32_t>& counts) {
    const bool zeroes = s.compression == u"CountedZeroes";
    if (!zeroes && !s.compression.isEmpty() && s.compression != u"None")
        return "Error ! N42 channel data compression '" + s.compression.toStdString() + "' is not supported";
    bool pendingZero = false;
    const std::string tooMany = "Error ! the N42 spectrum has more than " + std::to_string(kMaxDocumentChannels) +
                                " channels";
    std::string e = forEachNumber(s.data, [&](std::size_t, double v) -> std::string {
        const std::string ch = std::to_string(counts.size());
        if (pendingZero) {
            // The number of zero channels that a 0 stands for.
            pendingZero = false;
            if (v < 1 || v != std::floor(v)) return "Error ! N42 zero-run length at channel " + ch + " is not a whole positive number";
            if (v > kMaxDocumentChannels - static_cast<double>(counts.size())) return tooMany;
            counts.insert(counts.end(), static_cast<std::size_t>(v), 0);
            return {};
        }
        if (v < 0) return "Error ! negative count in N42 channel " + ch;
        if (v != std::floor(v)) return "Error ! N42 count in channel " + ch + " is not a whole number";
        if (v > std::numeric_limits<std::int32_t>::max()) return "Error ! N42 count in channel " + ch + " is too large";
        if (static_cast<int>(counts.size()) >= kMaxDocumentChannels) return tooMany;
        if (zeroes && v == 0) {
            pendingZero = true;
            return {};
        }
        counts.push_back(static_cast<std::int32_t>(v));
        return {};
    });
    if (!e.empty()) return e;
    if (pendingZero) return "Error ! N42 counted-zeroes data ends without the length of its last zero run";
    if (counts.empty()) return "Error ! the N42 document holds no channel data";
    return {};
}

// The coefficients of a calibration, energy = k0 + k1 x + k2 x^2 ... at channel x;
// empty when the calibration says the spectrum is uncalibrated.
std::string parseCoefficients(const CalibrationEntry& c, std::vector<double>& k) {
    if (c.uncalibrated) return {};
    if (!c.hasCoefficients)
        return "Error ! N42 energy calibration '" + c.id.toStdString() + "' has no coefficients (only linear ones can be kept)";
    std::string e = forEachNumber(c.coefficients, [&](std::size_t, double v) -> std::string {
        k.push_back(v);
        return {};
    });
    if (!e.empty()) return e;
    if (k.size() < 2) return "Error ! N42 energy calibration needs an offset and a gain";
    return {};
}

// A straight line for a polynomial over channels 0 .. n-1: its linear part when
// the higher terms stay within half a channel's energy width over the range,
// else the least-squares line through the polynomial's energies (with a note).
std::pair<double, double> straightLine(const std::vector<double>& k, std::size_t n, std::vector<std::string>& notes) {
    const auto higher = [&](double x) {
        double v = 0, p = x * x;
        for (std::size_t i = 2; i < k.size(); ++i, p *= x) v += k[i] * p;
        return v;
    };
    double worst = 0;
    for (std::size_t x = 0; x < n; ++x) worst = std::max(worst, std::fabs(higher(static_cast<double>(x))));
    if (!(worst > 0)) return {k[0], k[1]};
    char buf[160];
    if (worst <= 0.5 * std::fabs(k[1])) {
        std::snprintf(buf, sizeof buf, "energy calibration: terms beyond the linear one dropped (at most %.3g over the range)",
                      worst);
        notes.emplace_back(buf);
        return {k[0], k[1]};
    }
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i), y = k[0] + k[1] * x + higher(x);
        sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    const double m = static_cast<double>(n), det = m * sxx - sx * sx;
    const double gain = det != 0 ? (m * sxy - sx * sy) / det : k[1];
    const double offset = (sy - gain * sx) / m;
    std::snprintf(buf, sizeof buf,
                  "energy calibration is not linear (up to %.3g off a straight line); the best straight line over "
                  "channels 0..%zu is kept",
                  worst, n > 0 ? n - 1 : 0);
    notes.emplace_back(buf);
    return {offset, gain};
}

std::string remarkAfter(const std::vector<QString>& remarks, const char* prefix, bool& found) {
    const QString p = QString::fromLatin1(prefix);
    for (const QString& r : remarks) {
        if (r.startsWith(p)) {
            found = true;
            return r.mid(p.size()).toStdString();
        }
    }
    return {};
}

ImportResult fail(std::string why) {
    ImportResult r;
    r.error = std::move(why);
    return r;
}

}  // namespace

ImportResult importN42(std::string_view data) {
    if (data.size() > kMaxDocumentBytes) return fail("Error ! the N42 document is too large");
    if (data.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return fail("Error ! not an XML document (the file is empty)");
    Document doc;
    {
        Parser p(data);
        std::string e = p.run(doc);
        if (!e.empty()) return fail(std::move(e));
    }
    if (doc.measurements.empty()) return fail("Error ! the N42 document holds no channel data");
    const MeasurementEntry* m = &doc.measurements.front();
    for (const auto& c : doc.measurements) {
        if (c.classCode == u"Foreground") {
            m = &c;
            break;
        }
    }
    if (!m->spectrum) return fail("Error ! the N42 document holds no channel data");

    ImportResult res;
    res.kind = m->classCode == u"Background" ? MeasurementClass::Background : MeasurementClass::Foreground;
    SpectrumRecord& out = res.spectrum;
    if (std::string e = parseCounts(*m->spectrum, out.counts); !e.empty()) return fail(std::move(e));

    // Calibration: the referenced one, else the only one in the document.
    const CalibrationEntry* cal = nullptr;
    if (m->spectrum->hasCalibrationRef) {
        for (const auto& c : doc.calibrations)
            if (c.id == m->spectrum->calibrationRef) cal = &c;
        if (!cal) return fail("Error ! N42 spectrum refers to a missing energy calibration");
    } else if (doc.calibrations.size() == 1) {
        cal = &doc.calibrations.front();
    } else if (doc.calibrations.size() > 1) {
        res.notes.push_back("the spectrum names no energy calibration; imported uncalibrated");
    }
    std::vector<double> coefficients;
    if (cal) {
        if (std::string e = parseCoefficients(*cal, coefficients); !e.empty()) return fail(std::move(e));
    }

    // More channels than a .dat file holds: adjacent channels are combined, 2, 4 ...
    // to one, so every count is kept; the energy scale follows the wider channels.
    const std::size_t raw = out.counts.size();
    std::size_t factor = 1;
    while (raw > factor * static_cast<std::size_t>(kMaxImportChannels)) factor *= 2;
    if (factor > 1) {
        std::vector<std::int32_t> combined((raw + factor - 1) / factor);
        for (std::size_t j = 0; j < combined.size(); ++j) {
            std::int64_t sum = 0;
            for (std::size_t i = j * factor; i < std::min(raw, (j + 1) * factor); ++i) sum += out.counts[i];
            if (sum > std::numeric_limits<std::int32_t>::max())
                return fail("Error ! combining the N42 spectrum's " + std::to_string(raw) + " channels " +
                            std::to_string(factor) + " to one gives a count beyond the file's range");
            combined[j] = static_cast<std::int32_t>(sum);
        }
        out.counts = std::move(combined);
        res.notes.push_back(std::to_string(raw) + " channels combined " + std::to_string(factor) + " to one into " +
                            std::to_string(out.counts.size()) + " channels");
    }
    if (!coefficients.empty()) {
        auto [offset, gain] = straightLine(coefficients, raw, res.notes);
        gain *= static_cast<double>(factor);  // channel j now starts at old channel factor * j
        // A gain the program cannot use (none, negative, or beyond any detector)
        // leaves the spectrum uncalibrated rather than with meaningless energies.
        if (!std::isfinite(gain) || !std::isfinite(offset) || !(gain > 0) || gain > 1e4 || std::fabs(offset) > 1e7) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "energy calibration (offset %.6g, gain %.6g per channel) is not usable; "
                          "imported uncalibrated", offset, gain);
            res.notes.emplace_back(buf);
        } else {
            out.calibration = LinearCalibration{static_cast<float>(gain), static_cast<float>(offset)};
        }
    }

    // Times.
    std::optional<std::int32_t> real, live;
    if (m->hasReal && !(real = parseDurationTenths(m->real.toStdString())))
        return fail("Error ! N42 real time '" + m->real.toStdString() + "' is not a duration the header can hold");
    if (m->spectrum->hasLive && !(live = parseDurationTenths(m->spectrum->live.trimmed().toStdString())))
        return fail("Error ! N42 live time '" + m->spectrum->live.trimmed().toStdString() +
                    "' is not a duration the header can hold");
    if (!real && !live) return fail("Error ! the N42 measurement has neither a real nor a live time");
    if (!real) {
        real = live;
        res.notes.push_back("no real time; the live time stands for it");
    }
    if (!live) live = real;
    if (*live > *real)
        return fail("Error ! N42 live time " + formatDurationTenths(*live) + " is above the real time " +
                    formatDurationTenths(*real));

    H& h = out.header;
    std::memcpy(h.bytes().data() + H::kBanner, H::kMakerBanner, std::strlen(H::kMakerBanner));
    if (m->hasStart) {
        const auto d = parseDateTime(m->start.toStdString());
        if (!d) {
            // Counts and times stand; only the start is unknown.
            res.notes.push_back("start time '" + m->start.left(40).toStdString() +
                                "' is not a date and time; left empty");
        } else {
            h.setI16(H::kYear, static_cast<std::int16_t>(d->year));
            h.setI16(H::kMonth, static_cast<std::int16_t>(d->month));
            h.setI16(H::kDay, static_cast<std::int16_t>(d->day));
            h.setI16(H::kHour, static_cast<std::int16_t>(d->hour));
            h.setI16(H::kMinute, static_cast<std::int16_t>(d->minute));
            h.setI16(H::kSecond, static_cast<std::int16_t>(d->second));
        }
    } else {
        res.notes.push_back("no start time");
    }
    h.setI32(H::kRealTime, *real);
    h.setI32(H::kLiveTime, *live);
    bool hasPreset = false;
    const std::string preset = remarkAfter(m->remarks, kPresetPrefix, hasPreset);
    const auto presetTenths = hasPreset ? parseDurationTenths(preset) : std::nullopt;
    h.setI32(H::kPresetTime, presetTenths ? *presetTenths : *real);

    // Texts: the prefixed remarks, else the first plain remark as the comment.
    bool hasComment = false, hasId = false;
    std::string comment = remarkAfter(m->remarks, kCommentPrefix, hasComment);
    const std::string sampleId = remarkAfter(m->remarks, kSampleIdPrefix, hasId);
    if (!hasComment) {
        for (const QString& r : m->remarks) {
            if (!r.startsWith(QLatin1String(kSampleIdPrefix)) && !r.startsWith(QLatin1String(kPresetPrefix))) {
                comment = r.trimmed().toStdString();
                break;
            }
        }
    }
    const std::string rawComment = utf8ToSjis(comment, H::kTextField - 1);
    const std::string rawId = utf8ToSjis(sampleId, H::kTextField - 1);
    if (sjisToUtf8(rawComment) != comment || sjisToUtf8(rawId) != sampleId)
        res.notes.push_back("comment or sample ID shortened to 31 Shift-JIS bytes or changed where it has no Shift-JIS form");
    h.setText(H::kComment, rawComment);
    h.setText(H::kSampleId, rawId);

    // Calibration fields as "&Write" fills them.
    if (out.calibration) {
        h.setF32(H::kCalibMarker, 0.0f);
        h.setF32(H::kCalibCoef1, out.calibration->gain);
        h.setF32(H::kCalibCoef2, out.calibration->offset);
    } else {
        h.setF32(H::kCalibMarker, 1.0f);
        h.setF32(H::kCalibCoef1, 0.0f);
    }

    // The .dat reader takes whole blocks of 512 counts.
    const std::size_t n = out.counts.size();
    const std::size_t padded = (n + kBlock - 1) / kBlock * kBlock;
    if (padded != n) {
        res.notes.push_back(std::to_string(n) + " channels padded with zeros to " + std::to_string(padded));
        out.counts.resize(padded, 0);
    }
    h.setChannelCount(static_cast<std::int16_t>(padded));
    res.ok = true;
    return res;
}

ImportResult importN42File(const std::string& path) {
    // Only a regular file, opened without blocking: a FIFO would hang the import.
    InputKind kind = InputKind::Missing;
    std::FILE* f = openRegularFile(path, kind);
    if (!f) {
        ImportResult r = fail(kind == InputKind::Missing ? "Error ! cannot open " + path
                                                         : "Error ! " + path + " " + inputKindText(kind));
        r.opened = false;
        return r;
    }
    std::string data;
    char buf[65536];
    bool tooLarge = false;
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) {
        data.append(buf, n);
        if (data.size() > kMaxDocumentBytes) {
            tooLarge = true;
            break;
        }
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (tooLarge) return fail("Error ! the N42 document is too large");
    if (readError) {
        ImportResult r = fail("Error ! cannot read " + path);
        r.opened = false;
        return r;
    }
    return importN42(data);
}

}  // namespace xmca::n42
