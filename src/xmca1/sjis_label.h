// The spectrum label lines as the setup dialog edits them: raw Shift-JIS bytes in
// the record, Unicode text in the edit boxes.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

namespace xmca {

// Raw bytes (up to the first NUL) as text. Bytes that do not decode, including a
// lone lead byte at the end, come out as U+FFFD; ASCII comes out unchanged.
QString decodeLabel(const std::string& raw);

// Text as raw bytes, at most maxBytes long, never ending in half of a two-byte
// character. A character without a Shift-JIS form becomes '?'; the text ends at a
// NUL. ASCII goes out byte for byte.
std::string encodeLabel(const QString& text, std::size_t maxBytes = 31);

}  // namespace xmca
