// Shift-JIS (code page 932) text of the header's comment and sample-ID fields.
// The fields hold raw bytes; these convert at the user-interface and JSON edge.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xmca {

// True for a byte that opens a two-byte Shift-JIS character.
bool isSjisLeadByte(unsigned char b);

// Length of the longest prefix of raw, at most maxBytes long, that does not end
// in the middle of a two-byte character.
std::size_t sjisPrefixLength(std::string_view raw, std::size_t maxBytes);

// Raw Shift-JIS bytes, up to the first NUL, to UTF-8. Bytes that do not decode
// become U+FFFD; plain ASCII comes out unchanged (0x5C stays a backslash, 0x7E a
// tilde).
std::string sjisToUtf8(std::string_view raw);

// UTF-8 text to Shift-JIS bytes, at most maxBytes long and never ending in half a
// character. Characters without a Shift-JIS form and each byte of malformed UTF-8
// become '?';
// the text ends at a NUL. Plain ASCII comes out byte for byte.
std::string utf8ToSjis(std::string_view utf8, std::size_t maxBytes = 31);

}  // namespace xmca
