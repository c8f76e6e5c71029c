#include "batch_acquisition.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace xmca {

namespace {

// The spectrum and times of the last tick whose spectrum and status both came in.
struct WholeRead {
    bool held = false;
    std::array<std::int32_t, kWorkChannels> spectrum{};
    std::int32_t channelCount = 0, realTime = 0, liveTime = 0, maxCount = 0;
    float totalCounts = 0.0f;

    void take(const MeasurementState& s) {
        held = true;
        spectrum = s.spectrum;
        channelCount = s.channelCount;
        realTime = s.realTime;
        liveTime = s.liveTime;
        maxCount = s.maxCount;
        totalCounts = s.totalCounts;
    }
    void restore(MeasurementState& s) const {
        s.spectrum = spectrum;
        s.channelCount = channelCount;
        s.realTime = realTime;
        s.liveTime = liveTime;
        s.maxCount = maxCount;
        s.totalCounts = totalCounts;
    }
};

// A failed command: a rejection ("?" or another byte) or no reply at all (the
// link then waits for a quiet line before the next command).
std::string refusal(const AnalyserLink& link, const std::string& what) {
    return "Error ! " + what + (link.resyncPending() ? ": no reply from the analyser" : ": rejected by the analyser");
}

}  // namespace

BatchResult runBatchAcquisition(MeasurementState& s, AnalyserLink& link, const BatchRequest& req,
                                const BatchHooks& hooks, const std::tm& localNow) {
    BatchResult r;
    AcquisitionCycle cycle(s, link);

    // The settings as the MCA setup leaves them.
    s.settings.channelCount = req.channels;
    s.settings.presetTime = req.presetTenths;
    s.settings.deadTimePerEvent = req.deadTimeUs;
    s.channelCount = req.channels;
    s.presetTimeShown = req.presetTenths;
    s.headerTemplate.setChannelCount(static_cast<std::int16_t>(req.channels));
    s.headerTemplate.setI32(SpectrumHeader::kPresetTime, req.presetTenths);

    if (cycle.open().kind == OpenOutcome::Failed) {
        r.error = "Error ! OpenMCA: no analyser found";
        return r;
    }
    if (!link.SetChannelCount(0, req.channels)) {
        r.error = AnalyserLink::channelCountCommand(req.channels).empty()
                      ? "Error ! SetChannelCount " + std::to_string(req.channels) + " ch: no analyser command"
                      : refusal(link, "SetChannelCount");
        return r;
    }
    if (!link.SetPresetTime(0, req.presetTenths)) {
        r.error = refusal(link, "SetPresetTime");
        return r;
    }
    if (req.clear && !cycle.clear()) {
        r.error = refusal(link, "Clear");
        return r;
    }
    cycle.start(localNow);
    if (!link.AcquisitionRunning) {
        r.error = refusal(link, "Start");
        return r;
    }

    // Until the analyser has sent a whole spectrum, the working spectrum holds
    // whatever was there before (never counts of this run).
    const auto last = std::make_unique<WholeRead>();
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
        if (t.spectrumRead && t.statusRead && !t.presetStop) last->take(s);
        if (hooks.progress) hooks.progress(s);
        if (t.presetStop) {
            r.stop = BatchResult::Preset;
            if (t.spectrumRead) {
                r.content = BatchResult::Final;
                return r;
            }
            // The analyser stopped at the preset, so its spectrum no longer
            // changes: read it again until it comes in whole. The times stand.
            std::vector<std::int32_t> scratch(kDeviceChannels);
            while (r.finalReads < req.finalReadAttempts) {
                ++r.finalReads;
                if (link.ReadSpectrum(0, scratch)) {
                    std::copy(scratch.begin(), scratch.end(), s.spectrum.begin());
                    s.maxCount = link.MaxCount;
                    s.totalCounts = link.TotalCounts;
                    r.content = BatchResult::Final;
                    return r;
                }
            }
            break;
        }
        if (now - lastAnswer >= req.stallMs) {
            r.stop = BatchResult::Stalled;
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

    if (r.stop != BatchResult::Preset) {
        // Stopped early: "$S;", then the final spectrum and times as the analyser
        // holds them, read until they come in whole.
        cycle.stop();
        link.AcquisitionRunning = 0;
        const int attempts = r.stop == BatchResult::Stalled ? std::min(1, req.finalReadAttempts) : req.finalReadAttempts;
        while (r.finalReads < attempts) {
            ++r.finalReads;
            bool whole = false;
            if (cycle.readAnalyserView(&whole) && whole) {
                r.content = BatchResult::Final;
                break;
            }
        }
        s.acquiring = false;
    }
    if (r.content != BatchResult::Final) {
        if (last->held) {
            last->restore(s);
            r.content = BatchResult::LastWhole;
        } else {
            r.content = BatchResult::Nothing;
        }
    }
    s.acquiring = false;
    if (r.stop == BatchResult::Stalled) {
        r.error = r.content == BatchResult::Final ? "Error ! the analyser stopped answering; saved what it holds"
                  : r.content == BatchResult::LastWhole
                      ? "Error ! the analyser stopped answering; only the last whole read is kept"
                      : "Error ! the analyser stopped answering; nothing was read, nothing is saved";
    } else if (r.content == BatchResult::LastWhole) {
        r.error = "Error ! the final spectrum never came in whole; only the last whole read is kept";
    } else if (r.content == BatchResult::Nothing) {
        r.error = "Error ! no whole spectrum came in; nothing is saved";
    }
    return r;
}

}  // namespace xmca
