#include "files/sha256.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "temp_dir.h"

using xmca::test::TempDir;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(Sha256, KnownDigestsOfBytesAndFiles) {
    // FIPS 180-2 test vectors.
    EXPECT_EQ(xmca::sha256Hex(bytesOf("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(xmca::sha256Hex(bytesOf("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    TempDir dir;
    const std::string path = dir.file("a.bin");
    // Longer than one read buffer, so the streaming path is exercised.
    std::string big(200000, 'a');
    std::ofstream(path, std::ios::binary) << big;
    EXPECT_EQ(xmca::sha256OfFile(path), xmca::sha256Hex(bytesOf(big)));
    EXPECT_FALSE(xmca::sha256OfFile(dir.file("missing.bin")).has_value());
}

}  // namespace
