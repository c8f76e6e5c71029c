// libFuzzer entry point; the body is xmca::fuzz::analyserLink in fuzz_entries.cpp.
#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    xmca::fuzz::analyserLink(data, size);
    return 0;
}
