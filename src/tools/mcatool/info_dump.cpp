// The info and dump commands: a spectrum file read with the program's reader.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>

#include "files/sjis_text.h"
#include "files/spectrum_file.h"
#include "model/measurement_state.h"
#include "model/spectrum_io.h"
#include "tools/mcatool/commands.h"

namespace mcatool {

namespace {

using xmca::SpectrumHeader;
using H = xmca::SpectrumHeader;

std::string fmt(const char* f, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

std::string startText(const SpectrumHeader& h) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", h.i16(H::kYear), h.i16(H::kMonth),
                  h.i16(H::kDay), h.i16(H::kHour), h.i16(H::kMinute), h.i16(H::kSecond));
    return buf;
}

}  // namespace

int runInfo(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1) {
        err << "usage: mcatool info FILE.dat\n";
        return kExitUsage;
    }
    const std::string& path = args[0];
    SpectrumHeader h;
    std::vector<std::int32_t> counts(xmca::kMaxFileChannels);
    const xmca::SpectrumReadResult r = xmca::readSpectrumFile(path, h, counts);
    if (!r.opened) {
        err << inputErrorText(path, r.input) << '\n';
        return kExitFileError;
    }
    if (!r.headerComplete) {
        err << "Error ! " << path << " is shorter than the 1024-byte header\n";
        return kExitFileError;
    }
    std::int64_t total = 0;
    for (int i = 0; i < r.channelsRead; ++i) total += counts[i];
    const auto cal = xmca::headerCalibration(h);

    out << "{\"file\": " << jsonString(xmca::bareName(path));
    out << ", \"channels\": " << h.channelCount();
    out << ", \"channels_read\": " << r.channelsRead;
    out << ", \"valid\": " << (r.valid ? "true" : "false");
    out << ", \"calibrated\": " << (h.hasCalibration() ? "true" : "false");
    out << ", \"gain\": " << (cal ? fmt("%.9g", cal->first) : "null");
    out << ", \"offset\": " << (cal ? fmt("%.9g", cal->second) : "null");
    out << ", \"start\": " << jsonString(startText(h));
    out << ", \"preset_s\": " << fmt("%.1f", h.i32(H::kPresetTime) * 0.1);
    out << ", \"live_s\": " << fmt("%.1f", h.i32(H::kLiveTime) * 0.1);
    out << ", \"real_s\": " << fmt("%.1f", h.i32(H::kRealTime) * 0.1);
    out << ", \"comment\": " << jsonString(xmca::sjisToUtf8(h.comment()));
    out << ", \"sample_id\": " << jsonString(xmca::sjisToUtf8(h.sampleId()));
    out << ", \"total_counts\": " << total;
    out << ", \"rois\": [";
    for (int j = 0; j < xmca::kRoiCount; ++j) {
        out << (j ? ", " : "") << "{\"index\": " << j << ", \"start\": " << h.roiStart(j)
            << ", \"end\": " << h.roiEnd(j) << ", \"colour\": " << h.roiColour(j) << '}';
    }
    out << "]}\n";
    return out.good() ? kExitOk : kExitFileError;
}

int runDump(const Args& args, std::ostream&, std::ostream& err) {
    if (args.size() != 2) {
        err << "usage: mcatool dump FILE.dat OUT.txt\n";
        return kExitUsage;
    }
    if (refuseOutputIsInput(args[1], {args[0]}, err)) return kExitFileError;
    // The program's own state, as at start-up, with the file read into it.
    auto state = std::make_unique<xmca::MeasurementState>();
    const xmca::FileLoadResult r = xmca::loadSpectrum(*state, args[0]);
    if (!r.opened) {
        err << inputErrorText(args[0], r.input) << '\n';
        return kExitFileError;
    }
    if (!r.valid) {
        err << "Error ! " << args[0] << ": the header's channel count does not match the "
            << r.channelsRead << " channels read\n";
        return kExitFileError;
    }
    xmca::rememberPath(*state, args[1]);
    if (!writeOutputFile(args[1], xmca::textDump(*state, state->fileName), err)) return kExitFileError;
    return kExitOk;
}

}  // namespace mcatool
