// libFuzzer entry point; the body is xmca::fuzz::spectrumFile in fuzz_entries.cpp.
#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    xmca::fuzz::spectrumFile(data, size);
    return 0;
}
