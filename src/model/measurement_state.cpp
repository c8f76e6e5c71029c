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

}  // namespace xmca
