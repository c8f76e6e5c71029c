#include "model/qc_log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>

#include "files/sha256.h"
#include "files/spectrum_file.h"

namespace xmca {
namespace {

struct LoadedSpectrum {
    std::vector<std::int32_t> counts = std::vector<std::int32_t>(kMaxFileChannels, 0);
    int channels = 0;
    double seconds = 0;
};

bool loadCounted(const std::string& path, LoadedSpectrum& out, std::string& error) {
    SpectrumHeader h;
    const SpectrumReadResult r = readSpectrumFile(path, h, out.counts);
    if (!r.opened) {
        error = "Error ! cannot open " + path;
        return false;
    }
    if (!r.valid) {
        error = "Error ! " + path + " is not a valid spectrum file (" + std::to_string(r.channelsRead) +
                " channels read)";
        return false;
    }
    out.channels = r.channelsRead;
    const std::int32_t live = h.i32(SpectrumHeader::kLiveTime), real = h.i32(SpectrumHeader::kRealTime);
    out.seconds = (live > 0 ? live : real) * 0.1;
    if (!(out.seconds > 0)) {
        error = "Error ! " + path + " has no counting time";
        return false;
    }
    return true;
}

qc::QcValues valuesOf(const reg::QcRun& r) {
    return {r.peakChannel.value_or(0), r.fwhmPercent.value_or(0), r.netRateCps.value_or(0)};
}

bool complete(const reg::QcRun& r) { return r.peakChannel && r.fwhmPercent && r.netRateCps; }

// The runs of one baseline (or of an installation), oldest first.
bool runsOldestFirst(reg::Register& r, const reg::QcRunFilter& f, std::vector<reg::QcRun>& out, std::string& error) {
    if (!r.listQcRuns(f, out, error)) return false;
    std::sort(out.begin(), out.end(), [](const reg::QcRun& a, const reg::QcRun& b) { return a.id < b.id; });
    return true;
}

// The values of a baseline's first nRequired baseline runs.
std::vector<qc::QcValues> baselineValues(const std::vector<reg::QcRun>& runs, int nRequired) {
    std::vector<qc::QcValues> v;
    for (const auto& run : runs) {
        if (static_cast<int>(v.size()) >= nRequired) break;
        if (run.status == qc::statusName(qc::Status::Baseline) && complete(run)) v.push_back(valuesOf(run));
    }
    return v;
}

std::string todayLocalDate() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

}  // namespace

QcSettings qcSettings(const LabSettings& lab) {
    QcSettings s;
    s.baselineRuns = std::clamp(lab.qcBaselineRuns, 2, 100);
    s.requireDailyQc = lab.qcRequireDaily;
    return s;
}

std::string localDateOf(const std::string& createdUtc) {
    std::tm tm{};
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(createdUtc.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return "";
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    const std::time_t t = timegm(&tm);
    std::tm local{};
    if (!localtime_r(&t, &local)) return "";
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &local);
    return buf;
}

QcFileMeasurement measureCheckFiles(const std::string& checkPath, const std::string& backgroundPath) {
    QcFileMeasurement out;
    LoadedSpectrum check, bg;
    if (!loadCounted(checkPath, check, out.error)) return out;
    if (!backgroundPath.empty() && !loadCounted(backgroundPath, bg, out.error)) return out;
    std::optional<qc::CountedSpectrum> background;
    if (!backgroundPath.empty()) background = qc::CountedSpectrum{bg.counts, bg.channels, bg.seconds};
    out.figures = qc::measureCheckSource({check.counts, check.channels, check.seconds}, background);
    if (!out.figures.ok) {
        out.error = "Error ! " + out.figures.error;
        return out;
    }
    out.checkFile = checkPath;
    out.checkSha256 = sha256OfFile(checkPath).value_or("");
    if (!backgroundPath.empty()) {
        out.backgroundFile = backgroundPath;
        out.backgroundSha256 = sha256OfFile(backgroundPath).value_or("");
    }
    out.ok = true;
    return out;
}

bool startQcBaseline(reg::Register& r, const std::string& installation, int nRequired, const std::string& note,
                     reg::QcBaseline& out, std::string& error) {
    out = {};
    out.installation = installation;
    out.nRequired = std::max(nRequired, 2);
    out.note = note;
    return r.appendQcBaseline(out, error);
}

bool recordQcRun(reg::Register& r, const QcFileMeasurement& m, const std::string& installation,
                 const std::string& operatorName, const QcSettings& settings,
                 bool newBaseline, QcRecordOutcome& out, std::string& error) {
    if (!m.ok) {
        error = m.error.empty() ? "no QC figures to record" : m.error;
        return false;
    }
    reg::QcBaseline baseline;
    bool found = false;
    if (!newBaseline && !r.latestQcBaseline(installation, baseline, found, error)) return false;
    if (newBaseline) {
        if (!startQcBaseline(r, installation, settings.baselineRuns, "new baseline", baseline, error)) return false;
    } else if (!found) {
        // Made only if still none: two first runs at once share one baseline.
        baseline = {};
        baseline.installation = installation;
        baseline.nRequired = std::max(settings.baselineRuns, 2);
        baseline.note = "first baseline";
        bool created = false;
        if (!r.appendFirstQcBaseline(baseline, created, error)) return false;
    }
    std::vector<reg::QcRun> runs;
    reg::QcRunFilter filter;
    filter.installation = installation;
    filter.baselineId = baseline.id;
    if (!runsOldestFirst(r, filter, runs, error)) return false;

    out = {};
    out.baselineId = baseline.id;
    out.nRequired = static_cast<int>(baseline.nRequired);
    std::vector<qc::QcValues> base = baselineValues(runs, out.nRequired);
    out.assessment = qc::assess(m.figures.values, qc::baselineStats(base), out.nRequired);
    if (out.assessment.status == qc::Status::Baseline) base.push_back(m.figures.values);
    out.baseline = qc::baselineStats(base);

    reg::QcRun& run = out.run;
    run.installation = installation;
    run.baselineId = baseline.id;
    run.operatorName = operatorName;
    run.checkFile = m.checkFile;
    run.checkSha256 = m.checkSha256;
    run.backgroundFile = m.backgroundFile;
    run.backgroundSha256 = m.backgroundSha256;
    run.peakChannel = m.figures.values.peakChannel;
    run.fwhmPercent = m.figures.values.fwhmPercent;
    run.netRateCps = m.figures.values.netRateCps;
    run.backgroundRateCps = m.figures.backgroundRateCps;
    run.status = qc::statusName(out.assessment.status);
    run.programVersion = XMCA_VERSION;
    return r.appendQcRun(run, error);
}

bool loadQcHistory(reg::Register& r, const std::string& installation, qc::History& out, std::string& error) {
    out = {};
    out.installation = installation;
    std::vector<reg::QcRun> runs;
    reg::QcRunFilter filter;
    filter.installation = installation;
    if (!runsOldestFirst(r, filter, runs, error)) return false;
    reg::QcBaseline latest;
    bool found = false;
    if (!r.latestQcBaseline(installation, latest, found, error)) return false;

    std::map<std::int64_t, std::vector<reg::QcRun>> byBaseline;
    for (const auto& run : runs) {
        if (!complete(run)) continue;
        qc::HistoryRun h;
        h.id = run.id;
        h.createdUtc = run.createdUtc;
        h.values = valuesOf(run);
        h.backgroundRateCps = run.backgroundRateCps;
        h.status = qc::statusFromName(run.status).value_or(qc::Status::Action);
        h.baselineId = run.baselineId.value_or(0);
        out.runs.push_back(h);
        byBaseline[h.baselineId].push_back(run);
    }
    for (const auto& [id, list] : byBaseline) {
        qc::HistoryBaseline b;
        b.id = id;
        b.createdUtc = list.front().createdUtc;
        // The latest baseline says how many runs it needs; an earlier one was
        // complete when any of its runs was judged, with as many runs as it had.
        int baselineRuns = 0;
        bool judged = false;
        for (const auto& run : list) {
            if (run.status == qc::statusName(qc::Status::Baseline)) ++baselineRuns;
            else judged = true;
        }
        if (found && id == latest.id) b.nRequired = static_cast<int>(latest.nRequired);
        else b.nRequired = judged ? baselineRuns : baselineRuns + 1;
        b.stats = qc::baselineStats(baselineValues(list, b.nRequired));
        out.baselines.push_back(b);
    }
    return true;
}

bool qcLockoutReason(reg::Register& r, const std::string& installation, const QcSettings& settings,
                     std::string& reason, std::string& error, const std::string& todayLocal) {
    reason.clear();
    reg::QcRunFilter filter;
    filter.installation = installation;
    filter.limit = 200;
    std::vector<reg::QcRun> runs;
    if (!r.listQcRuns(filter, runs, error)) return false;
    std::sort(runs.begin(), runs.end(), [](const reg::QcRun& a, const reg::QcRun& b) { return a.id > b.id; });
    reg::QcBaseline latest;
    bool found = false;
    if (!r.latestQcBaseline(installation, latest, found, error)) return false;

    if (!runs.empty() && runs.front().status == qc::statusName(qc::Status::Action)) {
        // A baseline started after the action run (after a recalibration) clears it.
        const bool newerBaseline = found && runs.front().baselineId && latest.id != *runs.front().baselineId;
        if (!newerBaseline) {
            reason = kQcActionRequired;
            return true;
        }
    }
    if (settings.requireDailyQc) {
        const std::string today = todayLocal.empty() ? todayLocalDate() : todayLocal;
        const bool passed = std::any_of(runs.begin(), runs.end(), [&](const reg::QcRun& run) {
            return localDateOf(run.createdUtc) == today && run.status != qc::statusName(qc::Status::Action);
        });
        if (!passed) reason = kNoQcToday;
    }
    return true;
}

bool qcCalledFor(reg::Register& r, const std::string& installation, const std::string& reason,
                 const std::string& atUtc, bool& calledFor, std::string& error) {
    calledFor = false;
    reg::QcRunFilter filter;
    filter.installation = installation;
    std::vector<reg::QcRun> runs;
    if (!r.listQcRuns(filter, runs, error)) return false;
    std::vector<reg::QcBaseline> baselines;
    if (!r.listQcBaselines(baselines, error)) return false;
    // What was in the register at that moment, newest first.
    std::sort(runs.begin(), runs.end(), [](const reg::QcRun& a, const reg::QcRun& b) { return a.id > b.id; });
    runs.erase(std::remove_if(runs.begin(), runs.end(), [&](const reg::QcRun& x) { return x.createdUtc > atUtc; }),
               runs.end());
    // Times are whole seconds: a baseline of the same second is not taken to precede the
    // moment, but a run's own baseline always precedes the run.
    std::int64_t latestBaseline = runs.empty() ? 0 : runs.front().baselineId.value_or(0);
    for (const auto& b : baselines)
        if (b.installation == installation && b.createdUtc < atUtc) latestBaseline = std::max(latestBaseline, b.id);
    if (reason == kQcActionRequired) {
        calledFor = !runs.empty() && runs.front().status == qc::statusName(qc::Status::Action) &&
                    !(runs.front().baselineId && latestBaseline != *runs.front().baselineId);
    } else if (reason == kNoQcToday) {
        const std::string day = localDateOf(atUtc);
        calledFor = std::none_of(runs.begin(), runs.end(), [&](const reg::QcRun& run) {
            return localDateOf(run.createdUtc) == day && run.status != qc::statusName(qc::Status::Action);
        });
    }
    return true;
}

}  // namespace xmca

namespace xmca {

std::string qcLockoutReason(reg::Register* r, const LabSettings& lab) {
    if (!r) return kQcUnknown;
    std::string reason, error;
    if (!qcLockoutReason(*r, installationName(lab), qcSettings(lab), reason, error)) return kQcUnknown;
    return reason;
}

}  // namespace xmca
