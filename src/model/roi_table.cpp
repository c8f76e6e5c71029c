#include "roi_table.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "files/sjis_text.h"

namespace xmca {

std::optional<std::int32_t> parseInteger(const std::string& text) {
    // Surrounding blanks are tolerated, as an edit box's text often carries them.
    const auto b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return std::nullopt;
    const auto e = text.find_last_not_of(" \t");
    const std::string t = text.substr(b, e - b + 1);
    std::size_t i = (t[0] == '+' || t[0] == '-') ? 1 : 0;
    if (i == t.size()) return std::nullopt;
    for (std::size_t k = i; k < t.size(); ++k)
        if (t[k] < '0' || t[k] > '9') return std::nullopt;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), nullptr, 10);
    if (errno == ERANGE || v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

RoiEditors selectRoi(MeasurementState& s, int idx) {
    RoiEditors ed;
    if (idx < 0 || idx >= kRoiCount) return ed;
    const RoiRecord& r = s.rois[idx];
    if (!r.defined) return ed;
    ed.low = std::to_string(r.low);
    ed.high = std::to_string(r.high);
    ed.element = std::string(r.label.data());
    ed.colour = r.colour;
    ed.on = r.shown != 0;
    s.selectedRoi = idx;
    return ed;
}

std::string storeRoi(MeasurementState& s, int idx, bool checked, const RoiEditors& ed) {
    if (idx < 0 || idx >= kRoiCount) return "Error ! ROI # Unknown";
    RoiRecord& r = s.rois[idx];
    if (!checked) {
        r.shown = 0;
        return "";
    }
    const auto low = parseInteger(ed.low);
    if (!low) return "Error ! ROI LowCh";
    r.low = *low;
    const auto high = parseInteger(ed.high);
    if (!high) return "Error ! ROI HighCh";
    r.high = *high;
    r.label.fill('\0');
    const std::string_view element(ed.element.data(), std::min(ed.element.find('\0'), ed.element.size()));
    std::copy_n(element.begin(), sjisPrefixLength(element, r.label.size() - 1), r.label.begin());
    r.colour = ed.colour;
    r.defined = 1;
    r.shown = 1;
    s.selectedRoi = idx;
    return "";
}

}  // namespace xmca
