#include "device_status.h"

#include <algorithm>

namespace xmca {
namespace {

std::int16_t le16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}
std::int32_t le32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                     static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
void put16(std::uint8_t* p, std::int16_t v) {
    const auto u = static_cast<std::uint16_t>(v);
    p[0] = static_cast<std::uint8_t>(u);
    p[1] = static_cast<std::uint8_t>(u >> 8);
}
void put32(std::uint8_t* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int b = 0; b < 4; ++b) p[b] = static_cast<std::uint8_t>(u >> (8 * b));
}

}  // namespace

DeviceStatus DeviceStatus::unpack(const std::uint8_t* rec) {
    DeviceStatus s;
    std::copy_n(rec, kSize, s.raw.begin());
    std::copy_n(rec, 256, s.trace.begin());
    s.displayLowCh = le16(rec + 256);
    s.displayHighCh = le16(rec + 258);
    s.cursorCh = le16(rec + 260);
    s.vfsIndex = le16(rec + 264);
    s.realTime = le32(rec + 268);
    s.eventCount = le32(rec + 272);
    s.scanDone = rec[309];
    return s;
}

void DeviceStatus::pack(std::uint8_t* rec) const {
    std::copy_n(raw.begin(), kSize, rec);
    std::copy_n(trace.begin(), 256, rec);
    put16(rec + 256, displayLowCh);
    put16(rec + 258, displayHighCh);
    put16(rec + 260, cursorCh);
    put16(rec + 264, vfsIndex);
    put32(rec + 268, realTime);
    put32(rec + 272, eventCount);
    rec[309] = scanDone;
}

}  // namespace xmca
