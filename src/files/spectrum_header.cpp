#include "spectrum_header.h"

#include <algorithm>
#include <cstring>

#include "files/sjis_text.h"

namespace xmca {

std::int16_t SpectrumHeader::i16(std::size_t off) const {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes_[off]) |
                                     static_cast<std::uint16_t>(bytes_[off + 1]) << 8);
}

void SpectrumHeader::setI16(std::size_t off, std::int16_t v) {
    const auto u = static_cast<std::uint16_t>(v);
    bytes_[off] = static_cast<std::uint8_t>(u & 0xFF);
    bytes_[off + 1] = static_cast<std::uint8_t>(u >> 8);
}

std::int32_t SpectrumHeader::i32(std::size_t off) const {
    std::uint32_t u = 0;
    for (int b = 3; b >= 0; --b) u = (u << 8) | bytes_[off + b];
    return static_cast<std::int32_t>(u);
}

void SpectrumHeader::setI32(std::size_t off, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int b = 0; b < 4; ++b) {
        bytes_[off + b] = static_cast<std::uint8_t>(u & 0xFF);
        u >>= 8;
    }
}

float SpectrumHeader::f32(std::size_t off) const {
    const auto u = static_cast<std::uint32_t>(i32(off));
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

void SpectrumHeader::setF32(std::size_t off, float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    setI32(off, static_cast<std::int32_t>(u));
}

std::string SpectrumHeader::text(std::size_t off, std::size_t size) const {
    const auto* begin = bytes_.data() + off;
    const auto* end = std::find(begin, begin + size, std::uint8_t{0});
    return std::string(begin, end);
}

void SpectrumHeader::setText(std::size_t off, const std::string& raw, std::size_t size) {
    // Keep the terminating zero and never cut a two-byte Shift-JIS character.
    const std::size_t n = sjisPrefixLength(raw, size - 1);
    std::fill(bytes_.begin() + off, bytes_.begin() + off + size, std::uint8_t{0});
    std::copy_n(raw.begin(), n, bytes_.begin() + off);
}

}  // namespace xmca
