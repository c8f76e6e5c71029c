// Spectra in the ANSI N42.42-2011 radiation-data interchange format: a document
// with one RadMeasurement per spectrum (written with QXmlStreamWriter), and the
// reader that brings the first foreground spectrum of any writer's document back
// as a .dat header and counts, refusing what a .dat file cannot hold.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/spectrum_header.h"

namespace xmca::n42 {

inline constexpr const char* kNamespace = "http://physics.nist.gov/N42/2011/N42";
inline constexpr int kMaxImportChannels = 4096;
// Channels a document may hold; beyond kMaxImportChannels they are combined on import.
inline constexpr int kMaxDocumentChannels = 65536;
// Documents larger than this are refused before parsing.
inline constexpr std::size_t kMaxDocumentBytes = 64u << 20;
// Remark of the energy calibration of a spectrum without one ("0 1 0").
inline constexpr const char* kUncalibratedRemark = "Uncalibrated: the energy axis is the channel number";
// Prefixes of the measurement remarks that carry the header's texts.
inline constexpr const char* kCommentPrefix = "Comment: ";
inline constexpr const char* kSampleIdPrefix = "Sample ID: ";
inline constexpr const char* kPresetPrefix = "Preset time: ";

enum class MeasurementClass { Foreground, Background };

// energy = gain x channel + offset, channel 0 first.
struct LinearCalibration {
    float gain = 0;
    float offset = 0;
};

// One spectrum with what travels with it. The header supplies the start date,
// preset, live and real time and the comment and sample ID (raw Shift-JIS);
// the calibration is given apart because callers decide whether the header's
// coefficients apply.
struct SpectrumRecord {
    SpectrumHeader header;
    std::vector<std::int32_t> counts;
    std::optional<LinearCalibration> calibration;
};

struct Measurement {
    SpectrumRecord spectrum;
    MeasurementClass kind = MeasurementClass::Foreground;
};

struct ExportOptions {
    std::string uuid;          // n42DocUUID; empty: a new random UUID
    std::string documentTime;  // n42DocDateTime; empty: now, in UTC
};

struct ExportResult {
    bool ok = false;
    std::string document;  // UTF-8 XML
    std::string error;     // starts "Error !" when !ok
};

// One document holding the measurements in order. Refuses a spectrum whose start
// date is not a calendar date, whose times are negative, or that has no channels.
ExportResult exportN42(std::span<const Measurement> measurements, const ExportOptions& options = {});

struct ImportResult {
    bool opened = true;   // false: the file could not be read at all
    bool ok = false;
    std::string error;    // starts "Error !" when !ok
    std::vector<std::string> notes;  // what was adapted (e.g. zero channels added)
    MeasurementClass kind = MeasurementClass::Foreground;
    // The .dat header (banner, channel count, calibration marker and
    // coefficients, start, times, texts) and counts, channel count a multiple
    // of 512 so that the program reads the file back.
    SpectrumRecord spectrum;
};

// The first Foreground measurement of document (else the first measurement).
ImportResult importN42(std::string_view document);
// importN42 of a whole file; opened is false when it cannot be read.
ImportResult importN42File(const std::string& path);

// Lexical helpers, exposed for tests.
// UTF-8 text as the writer puts it into an element of the schema's non-blank
// string type (names, versions): line breaks and tabs become spaces, the spaces
// between the first and last punctuation become no-break spaces, blank is "-".
std::string nonBlankText(std::string_view utf8);
// xsd:duration in tenths of a second (rounded); nullopt if malformed, negative,
// in years or months, or beyond int32.
std::optional<std::int32_t> parseDurationTenths(std::string_view text);
std::string formatDurationTenths(std::int32_t tenths);  // "PT1800.5S"

struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
bool isValidDateTime(const DateTime& d);
// xsd:dateTime; the clock time as written (fraction of a second and zone are
// dropped); nullopt if malformed or not a calendar date in years 1..9999.
std::optional<DateTime> parseDateTime(std::string_view text);
std::string formatDateTime(const DateTime& d);  // "2026-12-08T06:03:09"

}  // namespace xmca::n42
