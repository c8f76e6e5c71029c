// The binary spectrum file (.dat: the 1024-byte header, then the counts as int32
// little-endian, channel 0 first) and the text dump (.txt) of a spectrum.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "files/file_guard.h"
#include "files/safe_write.h"
#include "files/spectrum_header.h"

namespace xmca {

constexpr int kBlockChannels = 512;  // counts are read in blocks of this many
constexpr int kMaxBlocks = 16;
constexpr int kMaxFileChannels = kBlockChannels * kMaxBlocks;  // 8192

// The part of path after the last '/' or '\' (the whole path if it has none).
std::string bareName(const std::string& path);

struct SpectrumReadResult {
    bool opened = false;
    InputKind input = InputKind::Missing;  // why it was not opened
    bool headerComplete = false;  // all 1024 header bytes were present
    int channelsRead = 0;         // C = 512 x whole blocks read
    int wordsRead = 0;            // counts stored (whole blocks and the whole
                                  // words of a short last block)
    // The header's channel count (sign-extended) equals C. A file with no whole
    // block or a short header never matches.
    bool valid = false;
};

// Reads path, a regular file only (a FIFO or device is refused without blocking):
// 1024 bytes over the first 1024 of header (the copy's extra word is
// kept), then counts in blocks of 512, at most 16 blocks and never more than
// counts can hold, stopping at the first short block.
SpectrumReadResult readSpectrumFile(const std::string& path, SpectrumHeader& header,
                                    std::span<std::int32_t> counts);

// The bytes of a .dat file: the first 1024 bytes of header and the counts.
std::string encodeSpectrumFile(const SpectrumHeader& header, std::span<const std::int32_t> counts);

// Writes encodeSpectrumFile(...) to path without risking the previous file.
WriteStatus writeSpectrumFile(const std::string& path, const SpectrumHeader& header,
                              std::span<const std::int32_t> counts);

// The text dump of a spectrum, byte for byte: 11 header lines (two of them empty)
// then one "%4d,%8d" line per channel. header's comment and sample ID go out as
// their raw bytes; the times are printed from the header's own fields.
std::string formatTextDump(const SpectrumHeader& header, std::span<const std::int32_t> counts,
                           const std::string& dataFileName);

}  // namespace xmca
