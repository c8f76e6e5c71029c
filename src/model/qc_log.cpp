#include "model/qc_log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>

#include <cmath>

#include "files/sha256.h"
#include "files/spectrum_file.h"
#include "model/bq_calic.h"
#include "model/local_time.h"
#include "model/settings_io.h"

namespace xmca {
namespace {

struct LoadedSpectrum {
    std::vector<std::int32_t> counts = std::vector<std::int32_t>(kMaxFileChannels, 0);
    int channels = 0;
    double seconds = 0;
    SpectrumHeader header;
};

std::string utcText(std::time_t t) {
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return "";
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

// The header's acquisition start (local time, as the acquisition stamps it) in UTC;
// empty when the header holds no date.
std::string acquisitionStartUtc(const SpectrumHeader& h) {
    using H = SpectrumHeader;
    const int y = h.i16(H::kYear), mo = h.i16(H::kMonth), d = h.i16(H::kDay);
    const int hh = h.i16(H::kHour), mi = h.i16(H::kMinute), ss = h.i16(H::kSecond);
    if (y < 1970 || y > 9999) return "";
    const auto t = fromLocalFields(y, mo, d, hh, mi, ss);
    return t ? utcText(*t) : "";
}

bool loadCounted(const std::string& path, LoadedSpectrum& out, std::string& error) {
    SpectrumHeader& h = out.header;
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

// When a run's spectrum was acquired: its acquisition start, else (runs recorded
// before it was kept) when it was recorded.
std::optional<std::time_t> acquiredOf(const reg::QcRun& r) {
    if (const auto t = parseUtc(r.acquiredUtc)) return t;
    return parseUtc(r.createdUtc);
}

// A baseline's runs as the rules see them: net rates decay-corrected to the
// acquisition of its first baseline run.
struct BaselineView {
    std::optional<std::time_t> start;
    std::vector<qc::QcValues> values, sd;  // its baseline runs, oldest first
    std::vector<qc::QcValues> judged;      // its judged runs, oldest first
    qc::BaselineStats stats;
};

double decayFactor(std::optional<std::time_t> start, std::optional<std::time_t> at, double halfLifeYears) {
    if (!start || !at || !(halfLifeYears > 0)) return 1.0;
    const double years = std::difftime(*at, *start) / (365.25 * 86400.0);
    return std::exp2(years / halfLifeYears);
}

BaselineView viewOf(const std::vector<reg::QcRun>& runs, double halfLifeYears) {
    BaselineView b;
    for (const auto& run : runs) {
        if (!complete(run)) continue;
        const bool isBaseline = run.status == qc::statusName(qc::Status::Baseline);
        if (isBaseline && !b.start) b.start = acquiredOf(run);
        const double f = decayFactor(b.start, acquiredOf(run), halfLifeYears);
        qc::QcValues v = valuesOf(run);
        v.netRateCps *= f;
        if (isBaseline) {
            b.values.push_back(v);
            b.sd.push_back({run.peakChannelU.value_or(0), run.fwhmPercentU.value_or(0), run.netRateU.value_or(0) * f});
        } else {
            b.judged.push_back(v);
        }
    }
    b.stats = qc::baselineStats(b.values, b.sd);
    return b;
}

// The Cs-All window of the activity computation, which the check source's line must stay well inside.
const qc::AnalysisWindow kQcWindow{kWindowCsAll.start, kWindowCsAll.end, kNetChannels};

std::string todayLocalDate() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

}  // namespace

std::optional<double> knownHalfLifeYears(const std::string& nuclide) {
    static const std::pair<const char*, double> table[] = {
        {"Cs-137", 30.08}, {"Co-60", 5.2711}, {"Ba-133", 10.551}, {"Na-22", 2.6029}, {"Eu-152", 13.517}};
    for (const auto& [name, years] : table)
        if (nuclide == name) return years;
    return std::nullopt;
}

QcSettings qcSettings(const LabSettings& lab) {
    QcSettings s;
    s.baselineRuns = std::clamp(lab.qcBaselineRuns, 2, 100);
    s.requireDailyQc = lab.qcRequireDaily;
    s.minNetCounts = std::clamp(lab.qcMinNetCounts, 100.0, 1e9);
    s.nuclide = lab.qcNuclide.empty() ? "Cs-137" : lab.qcNuclide;
    s.halfLifeYears = lab.qcHalfLifeYears > 0 ? lab.qcHalfLifeYears : knownHalfLifeYears(s.nuclide).value_or(30.08);
    return s;
}

std::string qcDetector(const LabSettings& lab) { return lab.qcDetector.empty() ? installationName(lab) : lab.qcDetector; }

std::string qcDetectorInForce(const LabSettings& lab, const std::string& path) {
    if (!lab.qcDetector.empty()) return lab.qcDetector;
    const LabSettings onDisk = loadLabSettings(path);
    return onDisk.qcDetector.empty() ? installationName(lab) : onDisk.qcDetector;
}

bool saveLabSettingsKeepingQc(LabSettings& lab, const std::string& path) {
    const LabSettings onDisk = loadLabSettings(path);
    lab.qcBaselineRuns = onDisk.qcBaselineRuns;
    lab.qcRequireDaily = onDisk.qcRequireDaily;
    lab.qcMinNetCounts = onDisk.qcMinNetCounts;
    lab.qcNuclide = onDisk.qcNuclide;
    lab.qcHalfLifeYears = onDisk.qcHalfLifeYears;
    if (!onDisk.qcDetector.empty()) lab.qcDetector = onDisk.qcDetector;
    return saveLabSettings(lab, path);
}

bool bindQcDetector(LabSettings& lab, const std::string& path) {
    if (!lab.qcDetector.empty()) return true;
    // Only this key is ours: other settings may have changed since lab was read.
    LabSettings current = loadLabSettings(path);
    if (!current.qcDetector.empty()) {
        lab.qcDetector = current.qcDetector;
        return true;
    }
    // The installation's name as it stands in the file (lab may be an older copy).
    lab.qcDetector = installationName(current.installation.empty() ? lab : current);
    current.qcDetector = lab.qcDetector;
    return saveLabSettings(current, path);
}

std::optional<std::time_t> parseUtc(const std::string& utc) {
    std::tm tm{};
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char z = 0;
    if (std::sscanf(utc.c_str(), "%d-%d-%dT%d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 || z != 'Z') return std::nullopt;
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return timegm(&tm);
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
    out.channels = check.channels;
    out.acquiredUtc = acquisitionStartUtc(check.header);
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
                 bool newBaseline, QcRecordOutcome& out, std::string& error, std::time_t now) {
    if (!m.ok) {
        error = m.error.empty() ? "no QC figures to record" : m.error;
        return false;
    }
    // Refusals first: a refused spectrum leaves no trace, not even a new baseline.
    const auto acquired = parseUtc(m.acquiredUtc);
    if (!acquired) {
        error = m.checkFile + " has no acquisition start date";
        return false;
    }
    if (now == 0) now = std::time(nullptr);
    if (std::difftime(*acquired, now) > 60) {
        error = m.checkFile + " is dated in the future (acquired " + m.acquiredUtc + ", now " + utcText(now) + ")";
        return false;
    }
    if (m.checkSha256.size() != 64) {
        error = "the content hash of " + m.checkFile + " could not be formed";
        return false;
    }
    std::vector<reg::QcRun> found;
    reg::QcRunFilter byHash;
    byHash.checkSha256 = m.checkSha256;
    byHash.limit = 1;
    if (!r.listQcRuns(byHash, found, error)) return false;
    if (!found.empty()) {
        error = "this check spectrum is already in the register (QC run " + std::to_string(found.front().id) + ")";
        return false;
    }
    reg::QcRunFilter latestFilter;
    latestFilter.installation = installation;
    latestFilter.limit = 1;
    if (!r.listQcRuns(latestFilter, found, error)) return false;
    if (!found.empty()) {
        const auto latest = acquiredOf(found.front());
        if (latest && *acquired < *latest) {
            error = m.checkFile + " was acquired " + m.acquiredUtc + ", before the latest QC run of " +
                    installation + " (run " + std::to_string(found.front().id) + ", " + utcText(*latest) + ")";
            return false;
        }
    }
    if (m.figures.netCounts < settings.minNetCounts) {
        error = "only " + std::to_string(static_cast<long long>(std::floor(m.figures.netCounts))) +
                " net counts in the 662 keV window, at least " +
                std::to_string(static_cast<long long>(settings.minNetCounts)) + " are needed";
        const double perSecond = m.figures.netCounts / m.figures.checkSeconds;
        if (perSecond > 0 && std::isfinite(perSecond))
            error += ": count the check source for at least " +
                     std::to_string(static_cast<long long>(std::ceil(settings.minNetCounts / perSecond))) + " s";
        return false;
    }

    reg::QcBaseline baseline;
    bool haveBaseline = false;
    if (!newBaseline && !r.latestQcBaseline(installation, baseline, haveBaseline, error)) return false;
    if (newBaseline) {
        if (!startQcBaseline(r, installation, settings.baselineRuns, "new baseline", baseline, error)) return false;
    } else if (!haveBaseline) {
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
    BaselineView view = viewOf(runs, settings.halfLifeYears);
    out.decayFactor = decayFactor(view.start ? view.start : acquired, acquired, settings.halfLifeYears);
    qc::RunFigures run{m.figures.values, m.figures.countingSd, m.channels};
    run.values.netRateCps *= out.decayFactor;
    run.countingSd.netRateCps *= out.decayFactor;
    out.netRateCorrectedCps = run.values.netRateCps;
    out.assessment = qc::assess(run, view.stats, out.nRequired, view.judged, kQcWindow);
    if (out.assessment.status == qc::Status::Baseline) {
        view.values.push_back(run.values);
        view.sd.push_back(run.countingSd);
        out.baseline = qc::baselineStats(view.values, view.sd);
        // Said with the run that completes it: accepted, or why it goes on.
        out.assessment.reasons.clear();
        out.baselineAccepted = qc::baselineAccepted(out.baseline, out.nRequired, &out.assessment.reasons);
    } else {
        out.baseline = view.stats;
        out.baselineAccepted = out.assessment.status != qc::Status::Action ||
                               qc::baselineAccepted(view.stats, out.nRequired);
    }

    reg::QcRun& rec = out.run;
    rec.installation = installation;
    rec.baselineId = baseline.id;
    rec.operatorName = operatorName;
    rec.checkFile = m.checkFile;
    rec.checkSha256 = m.checkSha256;
    rec.backgroundFile = m.backgroundFile;
    rec.backgroundSha256 = m.backgroundSha256;
    rec.peakChannel = m.figures.values.peakChannel;
    rec.fwhmPercent = m.figures.values.fwhmPercent;
    rec.netRateCps = m.figures.values.netRateCps;
    rec.backgroundRateCps = m.figures.backgroundRateCps;
    rec.acquiredUtc = m.acquiredUtc;
    rec.peakChannelU = m.figures.countingSd.peakChannel;
    rec.fwhmPercentU = m.figures.countingSd.fwhmPercent;
    rec.netRateU = m.figures.countingSd.netRateCps;
    rec.status = qc::statusName(out.assessment.status);
    rec.reason = qc::reasonsText(out.assessment.reasons);
    rec.programVersion = XMCA_VERSION;
    return r.appendQcRun(rec, error);
}

bool loadQcHistory(reg::Register& r, const std::string& installation, qc::History& out, std::string& error,
                   double halfLifeYears) {
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
    for (const auto& run : runs)
        if (complete(run)) byBaseline[run.baselineId.value_or(0)].push_back(run);
    std::map<std::int64_t, std::optional<std::time_t>> starts;
    for (const auto& [id, list] : byBaseline) {
        const BaselineView view = viewOf(list, halfLifeYears);
        starts[id] = view.start;
        qc::HistoryBaseline b;
        b.id = id;
        b.createdUtc = list.front().createdUtc;
        // The latest baseline says how many runs it needs; an earlier one was
        // complete when any of its runs was judged, with as many runs as it had.
        const int baselineRuns = static_cast<int>(view.values.size());
        const bool judged = !view.judged.empty();
        if (found && id == latest.id) b.nRequired = static_cast<int>(latest.nRequired);
        else b.nRequired = judged ? baselineRuns : baselineRuns + 1;
        b.stats = view.stats;
        b.accepted = qc::baselineAccepted(b.stats, b.nRequired);
        out.baselines.push_back(b);
    }
    for (const auto& run : runs) {
        if (!complete(run)) continue;
        qc::HistoryRun h;
        h.id = run.id;
        h.createdUtc = run.createdUtc;
        h.acquiredUtc = run.acquiredUtc;
        h.values = valuesOf(run);
        h.baselineId = run.baselineId.value_or(0);
        h.values.netRateCps *= decayFactor(starts[h.baselineId], acquiredOf(run), halfLifeYears);
        h.backgroundRateCps = run.backgroundRateCps;
        h.status = qc::statusFromName(run.status).value_or(qc::Status::Action);
        h.reason = run.reason;
        out.runs.push_back(h);
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
        // The day a check spectrum was acquired, not the day it was recorded.
        const bool passed = std::any_of(runs.begin(), runs.end(), [&](const reg::QcRun& run) {
            const auto at = acquiredOf(run);
            return at && localDateOf(utcText(*at)) == today && run.status != qc::statusName(qc::Status::Action);
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
    if (!qcLockoutReason(*r, qcDetectorInForce(lab, defaultLabSettingsPath()), qcSettings(lab), reason, error))
        return kQcUnknown;
    return reason;
}

}  // namespace xmca
