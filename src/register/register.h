// The sample and QC register: an append-only store of screening results and
// check-source runs, behind a small interface so that a shared server database
// can sit beside the local SQLite file without its callers changing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace xmca::reg {

// Schema version this program writes and reads. An older program refuses a newer
// register instead of guessing at its columns.
inline constexpr int kSchemaVersion = 5;

// One window's figures in Bq/kg. Cs-137 and K-40 have no characteristic limits:
// their threshold and limit stay empty.
struct Figures {
    std::optional<double> activity;
    std::optional<double> u;
    std::optional<double> decisionThreshold;
    std::optional<double> detectionLimit;
};

struct MeasurementRecord {
    std::int64_t id = 0;     // given by the register
    std::string uid;         // UUID made at creation (filled by the register when empty)
    std::string createdUtc;  // "YYYY-MM-DDTHH:MM:SSZ" (filled by the register when empty)
    std::string installation;
    std::string operatorName;
    std::string sampleId;
    std::string product;
    std::string origin;
    std::optional<double> massKg;
    std::optional<double> nominalMassKg;  // set when the figures were scaled by nominal / actual mass
    std::string samplingDate;             // "YYYY-MM-DD" or empty
    std::string sampleFile;
    std::string sampleSha256;
    std::string backgroundFile;
    std::string backgroundSha256;
    std::optional<double> sampleRealTimeS;
    std::optional<double> sampleLiveTimeS;
    std::optional<double> backgroundRealTimeS;
    std::optional<double> backgroundLiveTimeS;
    Figures csAll, cs134, cs137, k40;
    std::optional<double> lowerLimit;      // the lower limit of measurement required (Bq/kg)
    std::optional<double> screeningLevel;  // Bq/kg
    std::string method;                    // "Bq Calic" or "Re Calic (baseline)"
    std::string methodName;                // the calibrated method ("factory": the fixed factors)
    std::optional<std::int64_t> methodVersion;
    std::optional<bool> gainOk;
    std::string verdict;  // the English verdict text, "No verdict - <reason>" when withheld
    std::string programVersion;
    std::optional<std::int64_t> supersedes;  // id of the record this one corrects
    std::string chainHash;  // given by the register: SHA-256 of the previous record's and this one's content
    // Added with schema 5 (empty in records made before it; the chain covers them when given).
    bool simulated = false;                     // counted on the simulated analyser: not a measurement
    std::optional<double> achievedLowerLimit;   // the lower limit of measurement reached (Bq/kg, Cs-134 + Cs-137)
    std::string qcStatus;                       // status of the latest QC run when the verdict was formed
    std::optional<std::int64_t> qcRunId;        // that QC run (none: no run on record)
    std::string correctionReason;               // why this record corrects supersedes
    // Local times with their UTC offset, "YYYY-MM-DDTHH:MM:SS+09:00" (from the spectrum headers).
    std::string measurementStart, measurementEnd;
    std::string backgroundStart;
};

// Which measurements to list or count. Empty fields do not filter.
struct MeasurementFilter {
    std::string createdFrom;    // created_utc >= this (text compare: "2026-04-12" or a full time)
    std::string createdBefore;  // created_utc < this (pass the day after to include a whole day)
    std::string sampleId;       // exact
    std::string sampleIdContains;  // sample_id holds this anywhere, ASCII letters in either case
    std::string verdictPrefix;  // verdict starts with this ("No verdict", "Below ...")
    std::string installation;   // exact
    std::optional<std::int64_t> beforeId;  // id < this (paging newest first without an offset)
    std::int64_t limit = -1;    // -1: all
    std::int64_t offset = 0;
    bool oldestFirst = false;   // the order of ids; newest first by default
};

// What checking a register found: the database's own check and the records' hash chain.
struct IntegrityReport {
    std::int64_t records = 0;              // measurements checked
    bool databaseOk = true;                // the database's own integrity check
    std::string databaseProblem;
    std::optional<std::int64_t> brokenId;  // the first record whose hash does not follow
    std::string chainProblem;
    bool ok() const { return databaseOk && !brokenId; }
};

using MeasurementVisitor = std::function<bool(const MeasurementRecord&)>;

struct QcBaseline {
    std::int64_t id = 0;
    std::string uid;
    std::string createdUtc;
    std::string installation;
    std::int64_t nRequired = 0;
    std::string note;
};

struct QcRun {
    std::int64_t id = 0;
    std::string uid;
    std::string createdUtc;
    std::string installation;
    std::optional<std::int64_t> baselineId;
    std::string operatorName;
    std::string checkFile;
    std::string checkSha256;
    std::string backgroundFile;
    std::string backgroundSha256;
    std::optional<double> peakChannel;
    std::optional<double> fwhmPercent;
    std::optional<double> netRateCps;
    std::optional<double> backgroundRateCps;
    std::string status;
    std::string programVersion;
    // Added in schema 2 (empty / unset on older runs).
    std::string acquiredUtc;  // acquisition start of the check spectrum, "YYYY-MM-DDTHH:MM:SSZ"
    std::optional<double> peakChannelU, fwhmPercentU, netRateU;  // counting standard uncertainties
    std::string reason;       // why the run has its status (English, "; " between rules)
};

// One version of a laboratory's calibrated method. A new calibration of the same
// name is a new version; none is ever changed.
struct MethodRecord {
    std::int64_t id = 0;
    std::string uid;
    std::string createdUtc;
    std::string installation;
    std::string name;
    std::int64_t version = 0;  // given by the register: one above the name's newest
    std::string body;          // the method as text (analysis/method_text)
};

// Which QC runs to list. Empty / unset fields do not filter. Newest first.
struct QcRunFilter {
    std::string installation;
    std::optional<std::int64_t> baselineId;
    std::string checkSha256;  // exact
    std::int64_t limit = -1;
    std::int64_t offset = 0;
};

// A record in the local queue of a server register.
struct QueuedRecord {
    std::int64_t seq = 0;
    std::string kind;  // "measurement" or "qc_run"
    std::string uid;
    std::string queuedUtc;
    std::string setAsideUtc;  // set when the server refused it for good: kept, never sent again by itself
    std::string reason;
};

// Every call returns false and fills error with a plain English sentence when it
// fails; nothing is written then. Appends fill id (and uid / createdUtc when empty).
// Lists are newest first. There is no call that changes or removes a record: a
// correction is a new record whose supersedes names the old one.
class Register {
public:
    virtual ~Register() = default;

    // Where the register lives (the path or the server location as given).
    virtual std::string location() const = 0;
    // False when records can be read but not written (a read-only file).
    virtual bool writable() const = 0;

    virtual bool appendMeasurement(MeasurementRecord& rec, std::string& error) = 0;
    virtual bool listMeasurements(const MeasurementFilter& filter, std::vector<MeasurementRecord>& out,
                                  std::string& error) {
        return forEachMeasurement(filter, [&](const MeasurementRecord& r) {
            out.push_back(r);
            return true;
        }, error);
    }
    // Hands each selected record to visit in turn, without keeping them (any size of
    // register in little memory); visit returns false to stop early.
    virtual bool forEachMeasurement(const MeasurementFilter& filter, const MeasurementVisitor& visit,
                                    std::string& error) = 0;
    // Runs the database's integrity check and follows the records' hash chain.
    virtual bool checkIntegrity(IntegrityReport& report, std::string& error) = 0;
    virtual bool countMeasurements(const MeasurementFilter& filter, std::int64_t& count, std::string& error) = 0;
    // The records that correct any of ids: (correcting id, corrected id) pairs, oldest first.
    virtual bool listCorrections(const std::vector<std::int64_t>& ids,
                                 std::vector<std::pair<std::int64_t, std::int64_t>>& out, std::string& error) = 0;
    // found is false (and the call true) when no record has this id.
    virtual bool getMeasurement(std::int64_t id, MeasurementRecord& out, bool& found, std::string& error) = 0;

    virtual bool appendQcBaseline(QcBaseline& baseline, std::string& error) = 0;
    // The installation's first baseline, made only when it has none yet, in one step, so
    // that two first QC runs at once share one baseline: created tells which happened,
    // and baseline is the one the installation has now.
    virtual bool appendFirstQcBaseline(QcBaseline& baseline, bool& created, std::string& error) = 0;
    virtual bool appendQcRun(QcRun& run, std::string& error) = 0;
    virtual bool listQcRuns(const QcRunFilter& filter, std::vector<QcRun>& out, std::string& error) = 0;
    // The newest baseline of an installation (any installation when empty); found false when none.
    virtual bool latestQcBaseline(const std::string& installation, QcBaseline& out, bool& found,
                                  std::string& error) = 0;
    // Every baseline, newest first (to copy a register).
    virtual bool listQcBaselines(std::vector<QcBaseline>& out, std::string& error) = 0;

    // Appends a method as the next version of its name (fills id, version, uid, createdUtc).
    virtual bool appendMethod(MethodRecord& rec, std::string& error) = 0;
    // Every version of every method, newest first; name filters when not empty.
    virtual bool listMethods(const std::string& name, std::vector<MethodRecord>& out, std::string& error) = 0;

    // Records that wait in a local queue for a server that did not answer (none for a file).
    virtual std::int64_t pendingCount() { return 0; }
    // Queued records the server refused for good (set aside, kept, listed).
    virtual std::int64_t setAsideCount() { return 0; }
    virtual bool listQueue(std::vector<QueuedRecord>& out, std::string& error) {
        (void)error;
        out.clear();
        return true;
    }
    // Sends the waiting records, oldest first; false with a message while the server still does not answer.
    virtual bool deliverPending(std::string& error) {
        (void)error;
        return true;
    }
};

// Opens (creating when absent, with its folder) the register at location: a file
// path for SQLite, a PostgreSQL server for a location starting "postgresql://" or
// "postgres://" (postgres_register.h). nullptr and a message when the register cannot be used:
// damaged, not a register, from a newer program, or its folder cannot be made.
enum class OpenMode {
    CreateWhenAbsent,  // to record: a new register is made where none is
    Existing,          // to read or check: a missing register is an error and nothing is made
};
std::unique_ptr<Register> openRegister(const std::string& location, std::string& error,
                                       OpenMode mode = OpenMode::CreateWhenAbsent);

// False with a message when location cannot hold a register at all (a mistake in
// what was typed, not a register that fails): empty, SQLite's in-memory names
// (":memory:", "file:...") that would keep records nowhere, or a server address that
// is malformed or carries a password (postgres_register.h). The message never
// repeats the location.
bool checkRegisterLocation(const std::string& location, std::string& error);

// The default location: $XDG_DATA_HOME/xmca/register.sqlite, else
// ~/.local/share/xmca/register.sqlite (relative "register.sqlite" when neither is known).
std::string defaultRegisterLocation();
// Where the simulated analyser's records go unless a register is named: a file of
// their own beside the default register, never the laboratory's register.
std::string simulatorRegisterLocation();

// For the backends: a LIKE pattern ('\\' escapes) matching text anywhere in a value.
std::string containsPattern(const std::string& text);

// A new random (version 4) UUID in its usual text form.
std::string newUuid();

// The current UTC time as "YYYY-MM-DDTHH:MM:SSZ".
std::string utcNow();

}  // namespace xmca::reg
