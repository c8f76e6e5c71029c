// The n42 and import-n42 commands: spectrum files to and from the N42.42-2011
// interchange format, with the same code as the window's "Export N42..." and
// "Import N42...".
#include <cstdint>
#include <vector>

#include "files/spectrum_file.h"
#include "model/spectrum_io.h"
#include "n42/n42_document.h"
#include "tools/mcatool/commands.h"

namespace mcatool {

namespace {

// A .dat file as a spectrum record; returns an "Error !" text on failure.
std::string readDat(const std::string& path, xmca::n42::SpectrumRecord& rec) {
    std::vector<std::int32_t> counts(xmca::kMaxFileChannels);
    const xmca::SpectrumReadResult r = xmca::readSpectrumFile(path, rec.header, counts);
    if (!r.opened) return "Error ! cannot open " + path;
    if (!r.valid)
        return "Error ! " + path + ": the header's channel count does not match the " +
               std::to_string(r.channelsRead) + " channels read";
    counts.resize(static_cast<std::size_t>(r.channelsRead));
    rec.counts = std::move(counts);
    if (const auto cal = xmca::headerCalibration(rec.header)) rec.calibration = {cal->first, cal->second};
    return {};
}

}  // namespace

int runN42(const Args& args, std::ostream&, std::ostream& err) {
    const char* usage = "usage: mcatool n42 SAMPLE.dat OUT.n42 [--background BG.dat]\n";
    std::vector<std::string> files;
    std::string background;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--background") {
            if (i + 1 >= args.size() || !background.empty()) {
                err << usage;
                return kExitUsage;
            }
            background = args[++i];
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) {
        err << usage;
        return kExitUsage;
    }
    if (refuseOutputIsInput(files[1], {files[0], background}, err)) return kExitFileError;
    std::vector<xmca::n42::Measurement> ms(background.empty() ? 1 : 2);
    if (std::string e = readDat(files[0], ms[0].spectrum); !e.empty()) {
        err << e << '\n';
        return kExitFileError;
    }
    if (!background.empty()) {
        ms[1].kind = xmca::n42::MeasurementClass::Background;
        if (std::string e = readDat(background, ms[1].spectrum); !e.empty()) {
            err << e << '\n';
            return kExitFileError;
        }
    }
    const xmca::n42::ExportResult doc = xmca::n42::exportN42(ms);
    if (!doc.ok) {
        err << doc.error << '\n';
        return kExitFileError;
    }
    if (xmca::writeWholeFile(files[1], doc.document) != xmca::WriteStatus::Ok) {
        err << "Error ! cannot write " << files[1] << '\n';
        return kExitFileError;
    }
    return kExitOk;
}

int runImportN42(const Args& args, std::ostream&, std::ostream& err) {
    if (args.size() != 2) {
        err << "usage: mcatool import-n42 IN.n42 OUT.dat\n";
        return kExitUsage;
    }
    if (refuseOutputIsInput(args[1], {args[0]}, err)) return kExitFileError;
    const xmca::n42::ImportResult r = xmca::n42::importN42File(args[0]);
    if (!r.ok) {
        err << r.error << '\n';
        return kExitFileError;
    }
    for (const auto& note : r.notes) err << "mcatool: " << args[0] << ": " << note << '\n';
    if (xmca::writeSpectrumFile(args[1], r.spectrum.header, r.spectrum.counts) != xmca::WriteStatus::Ok) {
        err << "Error ! cannot write " << args[1] << '\n';
        return kExitFileError;
    }
    return kExitOk;
}

}  // namespace mcatool
