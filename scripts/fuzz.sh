#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into ./build-fuzz (or $XMCA_BUILD_DIR)
# and runs each for XMCA_FUZZ_SECONDS (30) seconds: ctest label "fuzz". New
# inputs collect in <build>/fuzz-corpus/, a crash in <build>/fuzz-artifacts-*;
# copy one into fuzz/corpus/<target>/ to keep it as a regression input.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${XMCA_BUILD_DIR:-build-fuzz}"
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DXMCA_BUILD_FUZZ=ON -DXMCA_BUILD_TESTS=OFF \
      -DXMCA_BUILD_BENCH=OFF -DXMCA_FUZZ_SECONDS="${XMCA_FUZZ_SECONDS:-30}" "$@"
cmake --build "$build" -j"$(nproc)" --target fuzz_spectrum_file fuzz_header_text fuzz_analyser_link
ctest --test-dir "$build" -L fuzz --output-on-failure -j"$(nproc)"
