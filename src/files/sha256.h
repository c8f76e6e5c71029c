// SHA-256 of a spectrum's bytes or of a file, as lower-case hex: the content hash
// a result record and the register keep to name the spectra they came from.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace xmca {

// 64 lower-case hex digits.
std::string sha256Hex(std::span<const std::uint8_t> bytes);

// The hash of a regular file's whole contents; nullopt when it cannot be read.
std::optional<std::string> sha256OfFile(const std::string& path);

}  // namespace xmca
