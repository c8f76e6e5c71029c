// Every stored fuzz input (seeds and the inputs that once broke something) runs
// through its target in every build, so a fault found by fuzzing stays fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_entries.h"

namespace xmca {
namespace {

namespace fs = std::filesystem;

// The test data folder need not exist: the path is resolved by its text.
const fs::path kCorpus = (fs::path(XMCA_TEST_DATA_DIR) / ".." / ".." / "fuzz" / "corpus").lexically_normal();

// Replays every file of corpus/<name> through fn; returns how many ran.
int replay(const std::string& name, void (*fn)(const std::uint8_t*, std::size_t)) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(kCorpus / name)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(e.path().filename().string());
        fn(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++n;
    }
    return n;
}

TEST(FuzzCorpus, EveryStoredInputRunsCleanly) {
    EXPECT_GE(replay("spectrum_file", fuzz::spectrumFile), 10);
    EXPECT_GE(replay("header_text", fuzz::headerText), 6);
    EXPECT_GE(replay("analyser_link", fuzz::analyserLink), 5);
}

}  // namespace
}  // namespace xmca
