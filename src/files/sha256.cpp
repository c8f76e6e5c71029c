#include "files/sha256.h"

#include <openssl/evp.h>

#include <array>
#include <fstream>
#include <memory>

namespace xmca {

namespace {

struct CtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

std::string toHex(const unsigned char* d, unsigned int n) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * n);
    for (unsigned int i = 0; i < n; ++i) {
        out.push_back(kHex[d[i] >> 4]);
        out.push_back(kHex[d[i] & 0x0F]);
    }
    return out;
}

}  // namespace

std::string sha256Hex(std::span<const std::uint8_t> bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &len, EVP_sha256(), nullptr) != 1) return {};
    return toHex(digest, len);
}

std::optional<std::string> sha256OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::unique_ptr<EVP_MD_CTX, CtxFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    std::array<char, 65536> buf;
    while (in) {
        in.read(buf.data(), buf.size());
        const std::streamsize got = in.gcount();
        if (got > 0 && EVP_DigestUpdate(ctx.get(), buf.data(), static_cast<std::size_t>(got)) != 1)
            return std::nullopt;
    }
    if (in.bad()) return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &len) != 1) return std::nullopt;
    return toHex(digest, len);
}

}  // namespace xmca
