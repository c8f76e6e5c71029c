#include "register/register_copy.h"

#include <map>
#include <vector>

namespace xmca::reg {

namespace {

void count(CopyCounts& c, bool inserted) {
    ++(inserted ? c.copied : c.already);
}

// Maps a link through the ids given so far; false when it names a record not copied.
bool relink(std::optional<std::int64_t>& link, const std::map<std::int64_t, std::int64_t>& ids,
            const std::string& what, std::string& error) {
    if (!link) return true;
    const auto it = ids.find(*link);
    if (it == ids.end()) {
        error = what + " names record " + std::to_string(*link) + ", which the register does not hold";
        return false;
    }
    link = it->second;
    return true;
}

}  // namespace

bool copyRegister(Register& from, ServerRegister& to, CopyReport& report, std::string& error) {
    report = {};
    std::vector<MeasurementRecord> measurements;
    std::vector<QcBaseline> baselines;
    std::vector<QcRun> runs;
    if (!from.listMeasurements({}, measurements, error) || !from.listQcBaselines(baselines, error) ||
        !from.listQcRuns({}, runs, error))
        return false;

    std::map<std::int64_t, std::int64_t> ids;  // local id -> server id
    for (auto it = measurements.rbegin(); it != measurements.rend(); ++it) {
        MeasurementRecord rec = *it;
        const std::int64_t localId = rec.id;
        bool inserted = false;
        if (!relink(rec.supersedes, ids, "measurement " + std::to_string(localId), error) ||
            !to.copyMeasurement(rec, inserted, error))
            return false;
        ids[localId] = rec.id;
        count(report.measurements, inserted);
    }
    ids.clear();
    for (auto it = baselines.rbegin(); it != baselines.rend(); ++it) {
        QcBaseline b = *it;
        const std::int64_t localId = b.id;
        bool inserted = false;
        if (!to.copyQcBaseline(b, inserted, error)) return false;
        ids[localId] = b.id;
        count(report.qcBaselines, inserted);
    }
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        QcRun run = *it;
        bool inserted = false;
        if (!relink(run.baselineId, ids, "QC run " + std::to_string(run.id), error) ||
            !to.copyQcRun(run, inserted, error))
            return false;
        count(report.qcRuns, inserted);
    }
    return true;
}

}  // namespace xmca::reg
