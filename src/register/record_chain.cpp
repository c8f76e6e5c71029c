#include "register/record_chain.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

#include "register/measurement_columns.h"

namespace xmca::reg {

namespace {

std::string sha256Hex(const std::string& data) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), data.data(), data.size()) != 1 || EVP_DigestFinal_ex(ctx.get(), md, &n) != 1)
        return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < n; ++i) {
        out += kHex[md[i] >> 4];
        out += kHex[md[i] & 15];
    }
    return out;
}

}  // namespace

std::string canonicalMeasurement(const MeasurementRecord& r) {
    std::string out;
    for (const auto& c : measurementColumns()) {
        if (!c.hashed) continue;
        const ColumnValue v = c.get(r);
        if (c.hashedWhenSet) {
            const auto* t = std::get_if<std::string>(&v);
            if (std::holds_alternative<std::monostate>(v) || (t && t->empty())) continue;
        }
        out += c.name;
        out += '=';
        if (const auto* t = std::get_if<std::string>(&v)) {
            out += 'T' + std::to_string(t->size()) + ':' + *t;
        } else if (const auto* d = std::get_if<double>(&v)) {
            char buf[40];
            std::snprintf(buf, sizeof buf, "R%.17g", *d);
            out += buf;
        } else if (const auto* i = std::get_if<std::int64_t>(&v)) {
            out += 'I' + std::to_string(*i);
        } else if (const auto* b = std::get_if<bool>(&v)) {
            out += *b ? "B1" : "B0";
        } else {
            out += 'N';
        }
        out += '\n';
    }
    return out;
}

std::string chainHash(const std::string& prev, const MeasurementRecord& r) {
    return sha256Hex(prev + '\n' + canonicalMeasurement(r));
}

bool ChainChecker::add(const MeasurementRecord& r) {
    if (broken_) return false;
    ++checked_;
    if (r.chainHash.empty()) {
        broken_ = r.id;
        problem_ = "record " + std::to_string(r.id) + " carries no chain hash";
        return false;
    }
    if (chainHash(prev_, r) != r.chainHash) {
        broken_ = r.id;
        problem_ = "record " + std::to_string(r.id) +
                   " does not follow the chain: it was changed, or a record before it was removed";
        return false;
    }
    prev_ = r.chainHash;
    return true;
}

bool textIsClean(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        std::uint32_t cp = 0;
        if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07;
        else return false;
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += len;
    }
    return true;
}

bool recordTextIsClean(const MeasurementRecord& r, std::string& error) {
    for (const auto& c : measurementColumns()) {
        if (c.kind != ColumnKind::Text) continue;
        const ColumnValue v = c.get(r);
        if (const auto* t = std::get_if<std::string>(&v); t && !textIsClean(*t)) {
            error = std::string("the ") + c.name + " text holds a NUL or is not valid UTF-8; nothing was written";
            return false;
        }
    }
    return true;
}

}  // namespace xmca::reg
