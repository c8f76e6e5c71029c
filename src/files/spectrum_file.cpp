#include "spectrum_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace xmca {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::int32_t loadI32(const unsigned char* p) {
    const std::uint32_t u = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                            static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<std::int32_t>(u);
}

void storeI32(std::string& out, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int b = 0; b < 4; ++b) {
        out += static_cast<char>(u & 0xFF);
        u >>= 8;
    }
}

template <typename... Args>
void appendf(std::string& out, const char* fmt, Args... args) {
    char buf[128];
    const int n = std::snprintf(buf, sizeof buf, fmt, args...);
    if (n > 0) out.append(buf, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1));
}

}  // namespace

std::string bareName(const std::string& path) {
    const auto pos = path.find_last_of("/\\");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

SpectrumReadResult readSpectrumFile(const std::string& path, SpectrumHeader& header,
                                    std::span<std::int32_t> counts) {
    SpectrumReadResult r;
    FilePtr f(openRegularFile(path, r.input));
    if (!f) return r;
    r.opened = true;

    std::array<unsigned char, SpectrumHeader::kFileSize> head{};
    const std::size_t got = std::fread(head.data(), 1, head.size(), f.get());
    std::copy_n(head.begin(), got, header.bytes().begin());
    r.headerComplete = got == head.size();

    if (r.headerComplete) {
        const int maxBlocks = std::min<int>(kMaxBlocks, static_cast<int>(counts.size() / kBlockChannels));
        std::array<unsigned char, 4 * kBlockChannels> block{};
        for (int b = 0; b < maxBlocks; ++b) {
            const std::size_t words = std::fread(block.data(), 4, kBlockChannels, f.get());
            for (std::size_t w = 0; w < words; ++w) counts[r.wordsRead + w] = loadI32(block.data() + 4 * w);
            r.wordsRead += static_cast<int>(words);
            if (words != kBlockChannels) break;
            r.channelsRead += kBlockChannels;
        }
    }
    r.valid = r.headerComplete && r.channelsRead > 0 && header.channelCount() == r.channelsRead;
    return r;
}

std::string encodeSpectrumFile(const SpectrumHeader& header, std::span<const std::int32_t> counts) {
    std::string out;
    out.reserve(SpectrumHeader::kFileSize + 4 * counts.size());
    out.append(reinterpret_cast<const char*>(header.bytes().data()), SpectrumHeader::kFileSize);
    for (const std::int32_t c : counts) storeI32(out, c);
    return out;
}

WriteStatus writeSpectrumFile(const std::string& path, const SpectrumHeader& header,
                              std::span<const std::int32_t> counts) {
    return writeWholeFile(path, encodeSpectrumFile(header, counts));
}

std::string formatTextDump(const SpectrumHeader& header, std::span<const std::int32_t> counts,
                           const std::string& dataFileName) {
    using H = SpectrumHeader;
    std::string out;
    out.reserve(256 + 14 * counts.size());
    out += "*** Veltramond Co., MCA Binary Data to ASCII Data Dump ***\n\n";
    // Names and texts are appended whole: they may be longer than any buffer.
    out += "Data File Name, " + dataFileName + "\n";
    out += "Data Comment, " + header.comment() + "\n";
    out += "Sample ID, " + header.sampleId() + "\n";
    appendf(out, "Acq. Date, %4d/%2d/%2d, %2d:%2d:%2d\n", header.i16(H::kYear), header.i16(H::kMonth),
            header.i16(H::kDay), header.i16(H::kHour), header.i16(H::kMinute), header.i16(H::kSecond));
    appendf(out, "Live Time, %8.1f\n", header.i32(H::kLiveTime) * 0.1);
    appendf(out, "Real Time, %8.1f\n", header.i32(H::kRealTime) * 0.1);
    appendf(out, "Mca Ch Size, %4d\n\n", static_cast<int>(counts.size()));
    out += "ch  ,  data\n";
    for (std::size_t i = 0; i < counts.size(); ++i) appendf(out, "%4d,%8d\n", static_cast<int>(i), counts[i]);
    return out;
}

}  // namespace xmca
