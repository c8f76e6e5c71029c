#include "measurement_state.h"

namespace xmca {

MeasurementState::MeasurementState() {
    // Before any analyser is opened every spectrum shows a ramp: channel n holds n.
    for (int k = 0; k < kDeviceChannels; ++k) {
        spectrum[k] = k;
        for (auto& m : mem) m.counts[k] = k;
    }
}

}  // namespace xmca
