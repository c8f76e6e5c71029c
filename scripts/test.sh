#!/usr/bin/env bash
# Builds (installing what is missing) and runs the whole test suite headless.
# XMCA_BUILD_TARGETS limits the build to those targets (space-separated).
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/xmca-runtime}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
scripts/build.sh "$@"
# XMCA_CTEST_ARGS narrows the run, e.g. "-L tsan".
ctest --test-dir "${XMCA_BUILD_DIR:-build}" --output-on-failure -j"$(nproc)" ${XMCA_CTEST_ARGS:-}
