#include "batch_acquisition.h"

namespace xmca {

BatchResult runBatchAcquisition(MeasurementState& s, AnalyserLink& link, const BatchRequest& req,
                                const BatchHooks& hooks, const std::tm& localNow) {
    BatchResult r;
    AcquisitionCycle cycle(s, link);

    // The settings as the MCA setup leaves them.
    s.settings.channelCount = req.channels;
    s.settings.presetTime = req.presetTenths;
    s.settings.deadTimePerEvent = req.deadTimeUs;
    s.channelCount = req.channels;
    s.presetTime = req.presetTenths;
    s.headerTemplate.setChannelCount(static_cast<std::int16_t>(req.channels));
    s.headerTemplate.setI32(SpectrumHeader::kPresetTime, req.presetTenths);

    if (cycle.open().kind == OpenOutcome::Failed) {
        r.error = "Error ! OpenMCA: no analyser found";
        return r;
    }
    if (!link.SetChannelCount(0, req.channels)) {
        r.error = AnalyserLink::channelCountCommand(req.channels).empty()
                      ? "Error ! SetChannelCount " + std::to_string(req.channels) + " ch: no analyser command"
                      : "Error ! SetChannelCount: rejected by the analyser";
        return r;
    }
    if (!link.SetPresetTime(0, req.presetTenths)) {
        r.error = "Error ! SetPresetTime: rejected by the analyser";
        return r;
    }
    if (req.clear && !cycle.clear()) {
        r.error = "Error ! Clear: rejected by the analyser";
        return r;
    }
    cycle.start(localNow);
    if (!link.AcquisitionRunning) {
        r.error = "Error ! Start: rejected by the analyser";
        return r;
    }

    std::int64_t lastAnswer = hooks.nowMs();
    std::int32_t lastReal = -1;
    for (;;) {
        if (hooks.stopRequested && hooks.stopRequested()) {
            r.stop = BatchResult::Interrupted;
            break;
        }
        const TickOutcome t = cycle.tick();
        ++r.ticks;
        const std::int64_t now = hooks.nowMs();
        // An answer counts only when the analyser's clock moved: a frozen real time
        // would never reach the preset.
        if (t.statusRead && link.Status.realTime != lastReal) {
            lastReal = link.Status.realTime;
            lastAnswer = now;
        }
        if (hooks.progress) hooks.progress(s);
        if (t.presetStop) {
            r.stop = BatchResult::Preset;
            return r;
        }
        if (now - lastAnswer >= req.stallMs) {
            r.stop = BatchResult::Stalled;
            r.error = "Error ! the analyser stopped answering; saved what was acquired";
            break;
        }
        // As the window's timer, which is off during a tick and restarted after it:
        // the next tick comes one interval after this one ended, so a slow link never
        // makes the ticks run back to back.
        const std::int64_t next = now + req.intervalMs;
        while (!(hooks.stopRequested && hooks.stopRequested())) {
            const std::int64_t left = next - hooks.nowMs();
            if (left <= 0) break;
            hooks.sleep(static_cast<int>(left));
        }
    }

    // Stopped early: "$S;", then the final spectrum and times as the analyser holds them.
    cycle.stop();
    link.AcquisitionRunning = 0;
    cycle.readAnalyserView();
    s.acquiring = false;
    return r;
}

}  // namespace xmca
