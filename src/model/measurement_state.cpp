#include "measurement_state.h"

namespace xmca {

MeasurementState::MeasurementState() {
    // Before any analyser is opened every spectrum shows a ramp: channel n holds n.
    for (int k = 0; k < kDeviceChannels; ++k) {
        spectrum[k] = k;
        for (auto& m : mem) m.counts[k] = k;
    }
    // The template that each acquisition start copies into the live header.
    headerTemplate.setText(SpectrumHeader::kBanner, SpectrumHeader::kMakerBanner, SpectrumHeader::kBannerSize);
    headerTemplate.setChannelCount(static_cast<std::int16_t>(channelCount));
    headerTemplate.setI32(SpectrumHeader::kPresetTime, settings.presetTime);
    headerTemplate.setF32(SpectrumHeader::kCalibMarker, 1.0f);
    liveHeader = headerTemplate;
}

std::pair<float, float> calibrationFor(const Calibration& c, std::int32_t n) {
    if (c.channels <= 0 || n <= 0 || n >= c.channels || c.channels % n != 0) return {c.gain, c.offset};
    const float r = static_cast<float>(c.channels / n);
    // New channel j covers old channels r j .. r j + r - 1: its energy is that of their middle.
    return {c.gain * r, c.offset + c.gain * (r - 1.0f) / 2.0f};
}

void labelRun(MeasurementState& s, std::int32_t presetTenths, const std::string& sampleIdRaw,
              const std::string& commentRaw) {
    s.settings.presetTime = presetTenths;
    s.presetTimeShown = presetTenths;
    s.headerTemplate.setI32(SpectrumHeader::kPresetTime, presetTenths);
    s.headerTemplate.setText(SpectrumHeader::kSampleId, sampleIdRaw);
    s.headerTemplate.setText(SpectrumHeader::kComment, commentRaw);
    s.settings.label1 = s.headerTemplate.comment();
    s.settings.label2 = s.headerTemplate.sampleId();
}

}  // namespace xmca
