// The analyser's 310-byte status record ("$R0;" reply), unpacked little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace xmca {

struct DeviceStatus {
    static constexpr std::size_t kSize = 310;

    std::array<std::uint8_t, 256> trace{};  // the analyser's own display trace
    std::int16_t displayLowCh = 0;
    std::int16_t displayHighCh = 0;
    std::int16_t cursorCh = 0;
    std::int16_t vfsIndex = 0;               // 0 = logarithmic display
    std::int32_t realTime = 0;               // units of 10 ms
    std::int32_t eventCount = 0;
    std::uint8_t scanDone = 0;

    // Raw record as last received; the fields above are unpacked from it.
    std::array<std::uint8_t, kSize> raw{};

    static DeviceStatus unpack(const std::uint8_t* rec);  // rec holds kSize bytes
    void pack(std::uint8_t* rec) const;                     // writes kSize bytes
};

}  // namespace xmca
