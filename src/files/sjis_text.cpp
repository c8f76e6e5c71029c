#include "sjis_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace xmca {

namespace {

// Code page 932 keeps 0x5C and 0x7E as ASCII; glibc's "SHIFT_JIS" would turn
// them into the yen sign and overline.
constexpr const char* kCodePage = "CP932";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in whole; returns false (out unchanged) if any byte fails.
    bool convert(std::string_view in, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buf[64];
        auto* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::string result;
        while (srcLeft > 0) {
            char* dst = buf;
            std::size_t dstLeft = sizeof buf;
            const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            result.append(buf, static_cast<std::size_t>(dst - buf));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
        }
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        if (iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return false;
        result.append(buf, static_cast<std::size_t>(dst - buf));
        out += result;
        return true;
    }

private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence starting at s[i], or 0 if it is malformed.
std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (b < 0x80) return 1;
    if ((b & 0xE0) == 0xC0) { n = 2; cp = b & 0x1F; }
    else if ((b & 0xF0) == 0xE0) { n = 3; cp = b & 0x0F; }
    else if ((b & 0xF8) == 0xF0) { n = 4; cp = b & 0x07; }
    else return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    // Reject over-long forms, surrogates and values past U+10FFFF.
    static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

bool isSjisLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

std::size_t sjisPrefixLength(std::string_view raw, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < raw.size()) {
        const std::size_t step =
            isSjisLeadByte(static_cast<unsigned char>(raw[i])) && i + 1 < raw.size() ? 2 : 1;
        if (i + step > maxBytes) break;
        i += step;
    }
    return i;
}

std::string sjisToUtf8(std::string_view raw) {
    raw = raw.substr(0, raw.find('\0'));  // the fields are NUL-terminated
    std::string out;
    Converter conv("UTF-8", kCodePage);
    std::size_t i = 0;
    while (i < raw.size()) {
        const auto b = static_cast<unsigned char>(raw[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        const std::size_t n = isSjisLeadByte(b) ? 2 : 1;
        if (i + n <= raw.size() && conv.ok() && conv.convert(raw.substr(i, n), out)) {
            i += n;
        } else {
            out += kReplacement;
            ++i;  // resynchronise on the next byte
        }
    }
    return out;
}

std::string utf8ToSjis(std::string_view utf8, std::size_t maxBytes) {
    std::string out;
    Converter conv(kCodePage, "UTF-8");
    std::size_t i = 0;
    while (i < utf8.size() && utf8[i] != '\0') {
        const std::size_t n = utf8SequenceLength(utf8, i);
        std::string piece;
        if (n == 0) {
            piece = "?";
            i += 1;
        } else {
            if (n == 1) piece = utf8.substr(i, 1);
            else if (!conv.ok() || !conv.convert(utf8.substr(i, n), piece) || piece.empty()) piece = "?";
            i += n;
        }
        if (out.size() + piece.size() > maxBytes) break;
        out += piece;
    }
    return out;
}

}  // namespace xmca
