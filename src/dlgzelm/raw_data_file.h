// The raw-data file chosen with "Save Spectrum Data" in the scan-map setup: an
// open file, closed exactly once when its holder lets it go or goes itself.
#pragma once

#include <cstdio>
#include <memory>

namespace xmca {

struct RawDataFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using RawDataFile = std::unique_ptr<std::FILE, RawDataFileCloser>;

}  // namespace xmca
