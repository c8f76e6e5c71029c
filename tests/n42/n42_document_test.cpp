// N42 documents: what the writer puts out (checked element by element, as the
// standard's schema orders them), round trips through the reader, documents as
// other writers shape them, and every document the reader must refuse.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <array>

#include <cstring>
#include <limits>
#include <map>

#include <sys/stat.h>

#include "files/sjis_text.h"
#include "files/temp_dir.h"
#include "n42/n42_document.h"
#include "support/n42_schema.h"

namespace xmca::n42 {
namespace {

using H = SpectrumHeader;

SpectrumRecord sampleRecord(int channels = 4096) {
    SpectrumRecord r;
    H& h = r.header;
    h.setI16(H::kYear, 2026);
    h.setI16(H::kMonth, 2);
    h.setI16(H::kDay, 28);
    h.setI16(H::kHour, 23);
    h.setI16(H::kMinute, 59);
    h.setI16(H::kSecond, 7);
    h.setI32(H::kPresetTime, 36000);
    h.setI32(H::kLiveTime, 17995);
    h.setI32(H::kRealTime, 18001);
    h.setText(H::kComment, utf8ToSjis("玄米 福島産 ロット3"));
    h.setText(H::kSampleId, utf8ToSjis("ID-7 試料"));
    r.counts.resize(static_cast<std::size_t>(channels));
    for (int i = 0; i < channels; ++i) r.counts[i] = (i * 7919) % 100003;
    r.counts[0] = 0;
    r.counts[1] = std::numeric_limits<std::int32_t>::max();
    r.calibration = LinearCalibration{0.7f, -3.1f};
    return r;
}

std::string exportOne(const SpectrumRecord& r, MeasurementClass k = MeasurementClass::Foreground) {
    const Measurement m{r, k};
    const ExportResult e = exportN42(std::span(&m, 1), {"0f8fad5b-d9cb-469f-a165-70867728950e", "2026-12-08T00:00:00Z"});
    EXPECT_TRUE(e.ok) << e.error;
    EXPECT_EQ(test::n42SchemaErrors(e.document), "");
    return e.document;
}

// The element tree of a document: names of each element's children in order,
// keyed by a path of element names; text of leaf elements; attributes.
struct Node {
    QString name;
    std::map<QString, QString> attrs;
    QString text;
    std::vector<Node> children;
    std::vector<QString> childNames() const {
        std::vector<QString> n;
        for (const auto& c : children) n.push_back(c.name);
        return n;
    }
    const Node* child(const QString& n) const {
        for (const auto& c : children)
            if (c.name == n) return &c;
        return nullptr;
    }
};

Node parseTree(const std::string& doc) {
    QXmlStreamReader xr(QByteArray::fromStdString(doc));
    std::vector<Node> stack(1);
    while (!xr.atEnd()) {
        xr.readNext();
        if (xr.isStartElement()) {
            EXPECT_EQ(xr.namespaceUri(), QLatin1String(kNamespace)) << xr.name().toString().toStdString();
            Node n;
            n.name = xr.name().toString();
            for (const auto& a : xr.attributes()) n.attrs[a.name().toString()] = a.value().toString();
            stack.push_back(n);
        } else if (xr.isCharacters()) {
            stack.back().text += xr.text();
        } else if (xr.isEndElement()) {
            Node n = stack.back();
            stack.pop_back();
            stack.back().children.push_back(n);
        }
    }
    EXPECT_FALSE(xr.hasError()) << xr.errorString().toStdString();
    return stack.front().children.empty() ? Node{} : stack.front().children.front();
}

std::vector<QString> names(std::initializer_list<const char*> l) {
    std::vector<QString> v;
    for (auto s : l) v.push_back(QString::fromLatin1(s));
    return v;
}

TEST(N42Export, DocumentHasTheStandardsElementsInSchemaOrder) {
    SpectrumRecord bg = sampleRecord(1024);
    bg.calibration.reset();
    bg.header.setText(H::kComment, "");
    bg.header.setText(H::kSampleId, "");
    const std::vector<Measurement> ms{{sampleRecord(), MeasurementClass::Foreground},
                                      {bg, MeasurementClass::Background}};
    const ExportResult e = exportN42(ms);
    ASSERT_TRUE(e.ok) << e.error;
    EXPECT_EQ(test::n42SchemaErrors(e.document), "");
    const Node root = parseTree(e.document);
    ASSERT_EQ(root.name, "RadInstrumentData");
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$")
                    .match(root.attrs.at("n42DocUUID"))
                    .hasMatch());
    EXPECT_EQ(root.childNames(),
              names({"RadInstrumentDataCreatorName", "RadInstrumentInformation", "RadDetectorInformation",
                     "EnergyCalibration", "EnergyCalibration", "RadMeasurement", "RadMeasurement"}));

    const Node& inst = root.children[1];
    EXPECT_EQ(inst.childNames(), names({"RadInstrumentManufacturerName", "RadInstrumentModelName",
                                        "RadInstrumentClassCode", "RadInstrumentVersion"}));
    // The space inside the punctuation run is a no-break space, as the schema's
    // non-blank string pattern needs.
    EXPECT_EQ(inst.child("RadInstrumentManufacturerName")->text, QString::fromUtf8("Veltramond Co.,\u00A0Ltd."));
    EXPECT_EQ(inst.child("RadInstrumentVersion")->childNames(),
              names({"RadInstrumentComponentName", "RadInstrumentComponentVersion"}));
    const Node& det = root.children[2];
    EXPECT_EQ(det.child("RadDetectorCategoryCode")->text, "Gamma");
    EXPECT_EQ(det.child("RadDetectorKindCode")->text, "CsI");

    // Calibrated: "offset gain 0"; uncalibrated: a remark, then "0 1 0".
    EXPECT_EQ(root.children[3].childNames(), names({"CoefficientValues"}));
    EXPECT_EQ(root.children[3].children[0].text, "-3.1 0.7 0");
    EXPECT_EQ(root.children[4].childNames(), names({"Remark", "CoefficientValues"}));
    EXPECT_EQ(root.children[4].children[1].text, "0 1 0");

    const QRegularExpression duration("^PT[0-9]+\\.[0-9]S$");
    const char* kinds[] = {"Foreground", "Background"};
    for (int k = 0; k < 2; ++k) {
        const Node& m = root.children[5 + k];
        std::vector<QString> expected = k == 0 ? names({"Remark", "Remark", "Remark"}) : names({"Remark"});
        for (auto n : {"MeasurementClassCode", "StartDateTime", "RealTimeDuration", "Spectrum"})
            expected.push_back(QString::fromLatin1(n));
        EXPECT_EQ(m.childNames(), expected);
        EXPECT_EQ(m.child("MeasurementClassCode")->text, kinds[k]);
        EXPECT_EQ(m.child("StartDateTime")->text, "2026-02-28T23:59:07");
        EXPECT_TRUE(duration.match(m.child("RealTimeDuration")->text).hasMatch());
        const Node* sp = m.child("Spectrum");
        EXPECT_EQ(sp->childNames(), names({"LiveTimeDuration", "ChannelData"}));
        EXPECT_EQ(sp->attrs.at("radDetectorInformationReference"), det.attrs.at("id"));
        EXPECT_EQ(sp->attrs.at("energyCalibrationReference"), root.children[3 + k].attrs.at("id"));
        EXPECT_EQ(sp->child("LiveTimeDuration")->text, "PT1799.5S");
        EXPECT_EQ(sp->child("ChannelData")->text.simplified().split(' ').size(),
                  k == 0 ? 4096 : 1024);
    }
    EXPECT_EQ(root.children[5].children[0].text, "Comment: 玄米 福島産 ロット3");
    EXPECT_EQ(root.children[5].children[1].text, "Sample ID: ID-7 試料");
    EXPECT_NE(root.children[5].attrs.at("id"), root.children[6].attrs.at("id"));
}

TEST(N42Export, RefusesWhatTheStandardCannotCarry) {
    SpectrumRecord r = sampleRecord(512);
    r.header.setI16(H::kYear, 0);  // a header never stamped
    EXPECT_EQ(exportN42(std::vector<Measurement>{{r}}).error.rfind("Error !", 0), 0u);
    r = sampleRecord(512);
    r.header.setI16(H::kDay, 29);
    r.header.setI16(H::kMonth, 2);  // 2026 is no leap year
    EXPECT_FALSE(exportN42(std::vector<Measurement>{{r}}).ok);
    r = sampleRecord(512);
    r.header.setI32(H::kLiveTime, -5);
    EXPECT_FALSE(exportN42(std::vector<Measurement>{{r}}).ok);
    r = sampleRecord(512);
    r.counts[9] = -1;  // a net spectrum
    EXPECT_FALSE(exportN42(std::vector<Measurement>{{r}}).ok);
    EXPECT_FALSE(exportN42({}).ok);
}

TEST(N42RoundTrip, CountsTimesStartCalibrationAndJapaneseTextsComeBack) {
    for (const int n : {512, 1024, 4096}) {
        const SpectrumRecord in = sampleRecord(n);
        const ImportResult out = importN42(exportOne(in));
        ASSERT_TRUE(out.ok) << out.error;
        EXPECT_TRUE(out.notes.empty());
        EXPECT_EQ(out.spectrum.counts, in.counts);
        const H& h = out.spectrum.header;
        EXPECT_EQ(h.channelCount(), n);
        for (auto off : {H::kYear, H::kMonth, H::kDay, H::kHour, H::kMinute, H::kSecond})
            EXPECT_EQ(h.i16(off), in.header.i16(off)) << off;
        for (auto off : {H::kPresetTime, H::kLiveTime, H::kRealTime}) EXPECT_EQ(h.i32(off), in.header.i32(off)) << off;
        EXPECT_EQ(h.comment(), in.header.comment());
        EXPECT_EQ(h.sampleId(), in.header.sampleId());
        ASSERT_TRUE(out.spectrum.calibration);
        EXPECT_EQ(out.spectrum.calibration->gain, 0.7f);
        EXPECT_EQ(out.spectrum.calibration->offset, -3.1f);
        EXPECT_EQ(h.calibMarker(), 0.0f);
        EXPECT_EQ(h.f32(H::kCalibCoef1), 0.7f);
        EXPECT_EQ(h.f32(H::kCalibCoef2), -3.1f);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.bytes().data()), 20), "Veltramond Co., Ltd.");
    }
}

TEST(N42RoundTrip, UncalibratedStaysUncalibratedAndTheForegroundIsChosen) {
    SpectrumRecord bg = sampleRecord(1024);
    bg.counts.assign(1024, 5);
    SpectrumRecord fg = sampleRecord(2048);
    fg.calibration.reset();
    const std::vector<Measurement> ms{{bg, MeasurementClass::Background}, {fg, MeasurementClass::Foreground}};
    const std::string doc = exportN42(ms).document;
    EXPECT_EQ(test::n42SchemaErrors(doc), "");
    ImportResult r = importN42(doc);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.kind, MeasurementClass::Foreground);
    EXPECT_EQ(r.spectrum.counts, fg.counts);
    EXPECT_FALSE(r.spectrum.calibration);
    EXPECT_EQ(r.spectrum.header.calibMarker(), 1.0f);

    // Only a background: it is the one taken.
    r = importN42(exportOne(bg, MeasurementClass::Background));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.kind, MeasurementClass::Background);
    EXPECT_EQ(r.spectrum.counts, bg.counts);
}

TEST(N42RoundTrip, ControlCharactersInTextsStillGiveAWellFormedDocument) {
    SpectrumRecord r = sampleRecord(512);
    r.header.setText(H::kComment, "a\x01<b>&\"c\"\t");
    const ImportResult out = importN42(exportOne(r));
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_EQ(out.spectrum.header.comment(), "a?<b>&\"c\"\t");
}

// A document as another writer might shape it, around the given measurement body.
std::string otherWriter(const std::string& body, const std::string& calibration = "-1.5 0.5 0") {
    return "<?xml version=\"1.0\"?>\n"
           "<n:RadInstrumentData xmlns:n=\"http://physics.nist.gov/N42/2011/N42\" xmlns:x=\"urn:vendor\" "
           "n42DocUUID=\"d7b1c3a0-0000-4000-8000-000000000001\">"
           "<n:RadInstrumentInformation id=\"i\"><n:RadInstrumentManufacturerName>X</n:RadInstrumentManufacturerName>"
           "</n:RadInstrumentInformation><n:RadDetectorInformation id=\"d\"/>"
           "<n:EnergyCalibration id=\"c0\"><n:CoefficientValues>0 3 0</n:CoefficientValues></n:EnergyCalibration>"
           "<n:EnergyCalibration id=\"c1\"><n:CoefficientValues>" + calibration +
           "</n:CoefficientValues></n:EnergyCalibration>"
           "<x:Extra><n:RadMeasurement id=\"hidden\"/></x:Extra>"
           "<n:RadMeasurement id=\"bg\"><n:MeasurementClassCode>Background</n:MeasurementClassCode>"
           "<n:StartDateTime>2020-01-01T00:00:00Z</n:StartDateTime><n:RealTimeDuration>PT10S</n:RealTimeDuration>"
           "<n:Spectrum id=\"s0\" radDetectorInformationReference=\"d\" energyCalibrationReference=\"c0\">"
           "<n:ChannelData>9 9 9</n:ChannelData></n:Spectrum></n:RadMeasurement>"
           "<n:RadMeasurement id=\"fg\">" + body + "</n:RadMeasurement></n:RadInstrumentData>\n";
}

const std::string kForeground =
    "<n:Remark> Wheat flour </n:Remark><n:MeasurementClassCode>Foreground</n:MeasurementClassCode>"
    "<n:StartDateTime>2024-03-10T14:25:30.75+09:00</n:StartDateTime>"
    "<n:RealTimeDuration>PT1H0M0.04S</n:RealTimeDuration>"
    "<n:Spectrum id=\"s1\" radDetectorInformationReference=\"d\" energyCalibrationReference=\"c1\">"
    "<x:Note>ignored</x:Note><n:LiveTimeDuration>P0DT59M58.96S</n:LiveTimeDuration>"
    "<n:ChannelData compressionCode=\"CountedZeroes\">\n 1.0E+01 0 3 +7 2.000 0 994 </n:ChannelData>"
    "<n:ChannelData>1 2 3</n:ChannelData></n:Spectrum>";

TEST(N42Import, TakesOtherWritersDocumentsItCanRepresent) {
    const ImportResult r = importN42(otherWriter(kForeground));
    ASSERT_TRUE(r.ok) << r.error;
    std::vector<std::int32_t> expected(1024, 0);
    expected[0] = 10;
    expected[4] = 7;
    expected[5] = 2;
    EXPECT_EQ(r.spectrum.counts, expected);  // 6 + 3 + 994 = 1000 channels, padded to 1024
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("1000 channels padded with zeros to 1024"), std::string::npos);
    const H& h = r.spectrum.header;
    EXPECT_EQ(h.channelCount(), 1024);
    EXPECT_EQ(h.i32(H::kRealTime), 36000);
    EXPECT_EQ(h.i32(H::kLiveTime), 35990);
    EXPECT_EQ(h.i32(H::kPresetTime), 36000);  // no preset remark: the real time
    EXPECT_EQ(h.i16(H::kYear), 2024);
    EXPECT_EQ(h.i16(H::kHour), 14);  // the clock time as written
    EXPECT_EQ(h.i16(H::kSecond), 30);
    EXPECT_EQ(h.comment(), "Wheat flour");  // a plain remark stands for the comment
    EXPECT_EQ(h.sampleId(), "");
    ASSERT_TRUE(r.spectrum.calibration);  // the referenced calibration, not the first
    EXPECT_EQ(r.spectrum.calibration->gain, 0.5f);
    EXPECT_EQ(r.spectrum.calibration->offset, -1.5f);

    // Linear coefficients with explicit zero higher terms are linear.
    EXPECT_TRUE(importN42(otherWriter(kForeground, "-1.5 0.5 0 0.0")).ok);
}

TEST(N42Import, RefusesWhatADatFileCannotHold) {
    const std::string good = exportOne(sampleRecord(512));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string d = good;
        const auto p = d.find(from);
        EXPECT_NE(p, std::string::npos) << from;
        return p == std::string::npos ? d : d.replace(p, from.size(), to);
    };
    // The document with other channel data (and compression code).
    auto withData = [&](const std::string& data, const std::string& code = "None") {
        std::string d = good;
        const auto open = d.find("<ChannelData");
        const auto close = d.find("</ChannelData>");
        return d.replace(open, close - open, "<ChannelData compressionCode=\"" + code + "\">" + data);
    };
    std::string noSpectrum = good;
    noSpectrum.erase(noSpectrum.find("<Spectrum "),
                     noSpectrum.find("</Spectrum>") + 11 - noSpectrum.find("<Spectrum "));
    const std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE RadInstrumentData [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
        "<RadInstrumentData xmlns=\"http://physics.nist.gov/N42/2011/N42\"><Remark>&c;</Remark></RadInstrumentData>";
    std::string tooMany;
    for (int i = 0; i < kMaxDocumentChannels + 1; ++i) tooMany += "1 ";

    // What, the document, and a part of the message that says why.
    const std::vector<std::array<std::string, 3>> cases = {
        {"empty file", "", "not an XML document"},
        {"not XML", "channel,count\n0,12\n", "not a well-formed XML"},
        {"binary .dat bytes", std::string("Veltramond Co., Ltd.\0\0\0\x04", 24), "not a well-formed XML"},
        {"other root", replaced("RadInstrumentData xmlns", "RadData xmlns"), "not an N42.42-2011 document"},
        {"other namespace", replaced("N42/2011/N42", "N42/2006/N42"), "not an N42.42-2011 document"},
        {"no namespace", "<RadInstrumentData><RadMeasurement/></RadInstrumentData>", "not an N42.42-2011"},
        {"no measurement", "<RadInstrumentData xmlns=\"http://physics.nist.gov/N42/2011/N42\"/>", "no channel data"},
        {"no spectrum", noSpectrum, "no channel data"},
        {"empty channel data", withData(" \n "), "no channel data"},
        {"non-numeric count", withData("1 2 x3 4"), "'x3' is not a number"},
        {"not-a-number count", withData("1 NaN 4"), "'NaN' is not a number"},
        {"infinite count", withData("1 INF 4"), "'INF' is not a number"},
        {"negative count", withData("1 -2 4"), "negative count in N42 channel 1"},
        {"fractional count", withData("1 2.5 4"), "channel 1 is not a whole number"},
        {"count beyond int32", withData("1 2147483648 4"), "channel 1 is too large"},
        {"count beyond double", withData("1 1e999 4"), "out of range"},
        {"more than 65536 channels", withData(tooMany), "more than 65536 channels"},
        {"zero run beyond 65536", withData("5 0 65536", "CountedZeroes"), "more than 65536 channels"},
        {"zero run without length", withData("5 0", "CountedZeroes"), "without the length"},
        {"fractional zero run", withData("5 0 2.5", "CountedZeroes"), "zero-run length"},
        {"unknown compression", withData("5 6", "Zip"), "'Zip' is not supported"},
        {"live above real", replaced("<LiveTimeDuration>PT1799.5S", "<LiveTimeDuration>PT1800.2S"),
         "live time PT1800.2S is above the real time PT1800.1S"},
        {"calibration not as coefficients",
         replaced("<CoefficientValues>-3.1 0.7 0</CoefficientValues>", "<EnergyBoundaryValues>0 1</EnergyBoundaryValues>"),
         "has no coefficients"},
        {"missing calibration", replaced("energyCalibrationReference=\"EnergyCalibration-Foreground\"",
                                         "energyCalibrationReference=\"nowhere\""), "missing energy calibration"},
        {"truncated", good.substr(0, good.size() / 2), "truncated"},
        {"truncated before the end tag", good.substr(0, good.rfind("</RadInstrumentData>")), "truncated"},
        {"entity expansion", laughs, "DTD"},
        {"external entity", "<?xml version=\"1.0\"?><!DOCTYPE r SYSTEM \"file:///etc/passwd\"><r/>", "DTD"},
        {"trailing garbage", good + "<more/>", "not a well-formed XML"},
        {"year-month duration", replaced("<RealTimeDuration>PT1800.1S", "<RealTimeDuration>P1M"), "real time 'P1M'"},
        {"bad live time", replaced("<LiveTimeDuration>PT1799.5S", "<LiveTimeDuration>-PT1S"), "live time"},
    };
    for (const auto& [what, doc, why] : cases) {
        const ImportResult r = importN42(doc);
        EXPECT_FALSE(r.ok) << what;
        EXPECT_EQ(r.error.rfind("Error !", 0), 0u) << what << ": " << r.error;
        EXPECT_NE(r.error.find(why), std::string::npos) << what << ": " << r.error;
    }
}

TEST(N42Values, DurationsInTheFormsTheHeaderCanHold) {
    EXPECT_EQ(parseDurationTenths("PT1800.5S"), 18005);
    EXPECT_EQ(parseDurationTenths("PT0.06S"), 1);
    EXPECT_EQ(parseDurationTenths("P1D"), 864000);
    EXPECT_EQ(parseDurationTenths("P0Y0M1DT1H1M1S"), 900610);
    EXPECT_EQ(parseDurationTenths("PT2M"), 1200);
    for (const char* bad : {"", "P", "PT", "-PT1S", "P1M", "P1Y", "PT1.S", "PT.5S", "PT1H.5M", "1S", "PT1S2M",
                            "PT1M1H", "PT300000000S", "PT1e3S", "P1DT"})
        EXPECT_FALSE(parseDurationTenths(bad)) << bad;
    EXPECT_EQ(formatDurationTenths(18005), "PT1800.5S");
    EXPECT_EQ(formatDurationTenths(3), "PT0.3S");
}

TEST(N42Values, DateTimesAreCalendarDates) {
    const auto d = parseDateTime("2024-02-29T23:59:59.999-05:00");
    ASSERT_TRUE(d);
    EXPECT_EQ(formatDateTime(*d), "2024-02-29T23:59:59");
    for (const char* bad : {"2023-02-29T00:00:00", "2024-13-01T00:00:00", "2024-01-01T24:00:00",
                            "0000-01-01T00:00:00", "2024-01-01 00:00:00", "2024-01-01T00:00:00+5",
                            "2024-01-01T00:00:00.Z", "2024-1-01T00:00:00", "2024-01-01"})
        EXPECT_FALSE(parseDateTime(bad)) << bad;
}

TEST(N42Import, OnlyARegularFileIsReadAndAFifoNeverBlocks) {
    xmca::test::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.n42").c_str(), 0600), 0);
    for (const std::string& path : {dir.file("pipe.n42"), dir.path().string(), dir.file("missing.n42")}) {
        SCOPED_TRACE(path);
        const ImportResult r = importN42File(path);  // a FIFO without a writer would block an ordinary open
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.opened);
        EXPECT_TRUE(r.error.starts_with("Error !")) << r.error;
    }
}

// Names the writer fills from text go through the schema's non-blank string type,
// whose pattern admits only one run of punctuation between words and spaces.
TEST(N42Export, NamesMatchTheSchemasNonBlankStringType) {
    const std::string doc = exportOne(sampleRecord(512));
    const std::string from = "<RadInstrumentManufacturerName>", to = "</RadInstrumentManufacturerName>";
    const auto a = doc.find(from), b = doc.find(to);
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    EXPECT_NE(doc.substr(a, b - a).find("Veltramond Co.,"), std::string::npos);
    for (const char* text : {"Veltramond Co., Ltd.", "a.b c.d e.f", "x (y) - z.", "tab\there\nnew line, too.",
                             "   ", "", "玄米、福島産。 ロット 3.", "Ｃｓ検査-0042 / No.12"}) {
        const std::string name = nonBlankText(text);
        QString escaped = QString::fromStdString(name).toHtmlEscaped();
        const std::string edited = doc.substr(0, a + from.size()) + escaped.toStdString() + doc.substr(b);
        EXPECT_EQ(test::n42SchemaErrors(edited), "") << "'" << text << "' as '" << name << "'";
    }
    EXPECT_EQ(nonBlankText("  a, b.  "), "a,\u00A0b.");
    EXPECT_EQ(nonBlankText("plain words 12"), "plain words 12");
}

// Documents as other programs write them, by hand: more channels than a .dat file
// holds, polynomial calibrations, a start time in a local notation, unusable
// calibrations. Counts, live and real time are never altered.
std::string otherDocument(const std::string& channelData, const std::string& coefficients,
                          const std::string& start = "2014-01-12T15:12:28-05:00", const std::string& code = "None") {
    return "<?xml version=\"1.0\"?>\n"
           "<n42:RadInstrumentData xmlns:n42=\"http://physics.nist.gov/N42/2011/N42\" n42DocUUID=\"x\">\n"
           " <n42:RadInstrumentInformation id=\"i\"><n42:RadInstrumentManufacturerName>Other Maker, Inc."
           "</n42:RadInstrumentManufacturerName></n42:RadInstrumentInformation>\n"
           " <n42:EnergyCalibration id=\"ec\"><n42:CoefficientValues>" + coefficients +
           "</n42:CoefficientValues></n42:EnergyCalibration>\n"
           " <n42:RadMeasurement id=\"m1\"><n42:Remark>survey meter</n42:Remark>"
           "<n42:MeasurementClassCode>Foreground</n42:MeasurementClassCode>"
           "<n42:StartDateTime>" + start + "</n42:StartDateTime><n42:RealTimeDuration>PT300.4S</n42:RealTimeDuration>\n"
           "  <n42:Spectrum id=\"s1\" energyCalibrationReference=\"ec\"><n42:LiveTimeDuration>PT297.2S"
           "</n42:LiveTimeDuration><n42:ChannelData compressionCode=\"" + code + "\">" + channelData +
           "</n42:ChannelData></n42:Spectrum></n42:RadMeasurement>\n"
           "</n42:RadInstrumentData>\n";
}

bool noteSays(const ImportResult& r, const std::string& words) {
    for (const auto& n : r.notes)
        if (n.find(words) != std::string::npos) return true;
    return false;
}

TEST(N42Import, DocumentsFromOtherPrograms) {
    std::string data8192, zeroes16384;
    std::int64_t total = 0;
    for (int i = 0; i < 8192; ++i) {
        const int c = (i * 37) % 1001;
        data8192 += std::to_string(c) + (i % 16 == 15 ? "\n" : " ");
        total += c;
    }
    // 8192 channels, linear: combined 2 to one, the gain doubled, the offset kept.
    ImportResult r = importN42(otherDocument(data8192, "-2.5 0.366 0"));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.spectrum.counts.size(), 4096u);
    EXPECT_EQ(r.spectrum.counts[10], (20 * 37) % 1001 + (21 * 37) % 1001);
    std::int64_t sum = 0;
    for (auto c : r.spectrum.counts) sum += c;
    EXPECT_EQ(sum, total);
    ASSERT_TRUE(r.spectrum.calibration);
    EXPECT_FLOAT_EQ(r.spectrum.calibration->gain, 0.732f);
    EXPECT_FLOAT_EQ(r.spectrum.calibration->offset, -2.5f);
    EXPECT_TRUE(noteSays(r, "8192 channels combined 2 to one")) << r.notes.size();
    EXPECT_EQ(r.spectrum.header.i32(H::kRealTime), 3004);
    EXPECT_EQ(r.spectrum.header.i32(H::kLiveTime), 2972);
    EXPECT_EQ(r.spectrum.header.channelCount(), 4096);
    EXPECT_EQ(r.spectrum.header.i16(H::kHour), 15);

    // 16384 channels as counted zeroes, with a quadratic term that matters over the
    // range: combined 4 to one, the best straight line, a note.
    zeroes16384 = "0 100 7 0 16282 9";  // channel 100 holds 7, channel 16383 holds 9
    r = importN42(otherDocument(zeroes16384, "1.0 0.18 2e-7", "2014-01-12T15:12:28", "CountedZeroes"));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.spectrum.counts.size(), 4096u);
    EXPECT_EQ(r.spectrum.counts[25], 7);
    EXPECT_EQ(r.spectrum.counts[4095], 9);
    EXPECT_TRUE(noteSays(r, "combined 4 to one"));
    EXPECT_TRUE(noteSays(r, "best straight line"));
    ASSERT_TRUE(r.spectrum.calibration);
    // The line follows the polynomial over the range: both ends within 1 % of it.
    const auto poly = [](double x) { return 1.0 + 0.18 * x + 2e-7 * x * x; };
    const auto line = [&](double j) { return r.spectrum.calibration->offset + r.spectrum.calibration->gain * j; };
    EXPECT_NEAR(line(4095), poly(16380), 0.01 * poly(16380));
    EXPECT_NEAR(line(2048), poly(8192), 0.01 * poly(8192));

    // Small higher terms over the range: the linear part stays as written.
    r = importN42(otherDocument("1 2 3 4 5 6 7 8", "0.5 3.0 1e-9 1e-12"));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_TRUE(r.spectrum.calibration);
    EXPECT_FLOAT_EQ(r.spectrum.calibration->gain, 3.0f);
    EXPECT_FLOAT_EQ(r.spectrum.calibration->offset, 0.5f);

    // A start time in a local notation is left empty; counts and times stay.
    r = importN42(otherDocument("1 2 3 4", "0 1 0", "2014-01-12T3:12:28 PM"));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(noteSays(r, "'2014-01-12T3:12:28 PM' is not a date and time"));
    EXPECT_EQ(r.spectrum.header.i16(H::kYear), 0);
    EXPECT_EQ(r.spectrum.counts[3], 4);
    EXPECT_EQ(r.spectrum.header.i32(H::kRealTime), 3004);

    // Negative, zero or absurd gains: imported without the calibration, with a note.
    for (const char* k : {"0 -0.7", "0 0", "0 1e9", "1e12 1", "5 NaN"}) {
        r = importN42(otherDocument("1 2 3 4", k));
        if (std::string(k) == "5 NaN") {
            EXPECT_FALSE(r.ok) << k;  // not a number at all
            continue;
        }
        ASSERT_TRUE(r.ok) << k << ": " << r.error;
        EXPECT_FALSE(r.spectrum.calibration) << k;
        EXPECT_TRUE(noteSays(r, "not usable; imported uncalibrated")) << k;
    }
}

// The export refuses what the import would have to combine.
TEST(N42Export, MoreChannelsThanTheImportTakesAreRefused) {
    SpectrumRecord big = sampleRecord(4096);
    big.counts.resize(8192, 1);
    const Measurement m{big, MeasurementClass::Foreground};
    const ExportResult e = exportN42(std::span(&m, 1));
    EXPECT_FALSE(e.ok);
    EXPECT_NE(e.error.find("more than 4096 channels"), std::string::npos) << e.error;
}

}  // namespace

}  // namespace xmca::n42
