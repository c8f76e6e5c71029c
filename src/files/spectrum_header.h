// The 1024-byte spectrum header that heads every .dat file, held in memory as a
// 1028-byte copy (one further 32-bit word travels with every whole-header copy).
// Fields are packed and unpacked explicitly, little-endian, at fixed offsets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace xmca {

class SpectrumHeader {
public:
    static constexpr std::size_t kFileSize = 1024;   // bytes stored in a file
    static constexpr std::size_t kCopySize = 1028;   // bytes of an in-memory copy
    static constexpr std::size_t kRoiSlots = 100;    // int16 slots of each ROI array
    static constexpr std::size_t kTextField = 32;    // comment and sample-ID bytes

    // Byte offsets of the fields the program uses.
    enum Offset : std::size_t {
        kBanner = 0,
        kChannelCount = 54,
        kCalibMarker = 64,
        kCalibCoef1 = 68,
        kCalibCoef2 = 72,
        kYear = 80,
        kMonth = 82,
        kDay = 84,
        kHour = 88,
        kMinute = 90,
        kSecond = 92,
        kRoiStart = 94,
        kRoiEnd = 294,
        kRoiColour = 494,
        kPresetTime = 704,
        kLiveTime = 712,
        kRealTime = 716,
        kComment = 774,
        kSampleId = 806,
        kNote = 992,  // a note of this program in the header's unused tail (32 bytes)
    };

    static constexpr const char* kMakerBanner = "Veltramond Co., Ltd.";
    static constexpr std::size_t kBannerSize = 21;
    // The note of a spectrum counted on the simulated analyser.
    static constexpr const char* kSimulatedNote = "SIMULATED - NOT A MEASUREMENT";

    SpectrumHeader() { bytes_.fill(0); }

    // Raw access, for copies and file I/O.
    std::array<std::uint8_t, kCopySize>& bytes() { return bytes_; }
    const std::array<std::uint8_t, kCopySize>& bytes() const { return bytes_; }

    std::int16_t i16(std::size_t off) const;
    void setI16(std::size_t off, std::int16_t v);
    std::int32_t i32(std::size_t off) const;
    void setI32(std::size_t off, std::int32_t v);
    float f32(std::size_t off) const;
    void setF32(std::size_t off, float v);

    std::int16_t channelCount() const { return i16(kChannelCount); }
    void setChannelCount(std::int16_t n) { setI16(kChannelCount, n); }
    float calibMarker() const { return f32(kCalibMarker); }
    // The marker holds 1.0 when no calibration is stored; any other value means
    // the two coefficients are valid.
    bool hasCalibration() const { return calibMarker() != 1.0f; }

    std::int16_t roiStart(int j) const { return i16(kRoiStart + 2 * j); }
    std::int16_t roiEnd(int j) const { return i16(kRoiEnd + 2 * j); }
    std::int16_t roiColour(int j) const { return i16(kRoiColour + 2 * j); }
    void setRoiStart(int j, std::int16_t v) { setI16(kRoiStart + 2 * j, v); }
    void setRoiEnd(int j, std::int16_t v) { setI16(kRoiEnd + 2 * j, v); }
    void setRoiColour(int j, std::int16_t v) { setI16(kRoiColour + 2 * j, v); }

    // Text fields: raw bytes up to the first NUL within the field (at most 31 bytes
    // are stored so that the terminating zero always fits; a cut never splits a
    // two-byte Shift-JIS character).
    std::string text(std::size_t off, std::size_t size = kTextField) const;
    void setText(std::size_t off, const std::string& raw, std::size_t size = kTextField);
    std::string comment() const { return text(kComment); }
    std::string sampleId() const { return text(kSampleId); }
    // Counted on the simulated analyser (the note travels with every copy and file).
    bool simulated() const { return text(kNote) == kSimulatedNote; }
    void markSimulated() { setText(kNote, kSimulatedNote); }

    bool operator==(const SpectrumHeader& o) const { return bytes_ == o.bytes_; }

private:
    std::array<std::uint8_t, kCopySize> bytes_;
};

}  // namespace xmca
