#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures and builds into ./build (or $XMCA_BUILD_DIR). Extra arguments go
# to the CMake configure step, e.g. -DXMCA_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ make cmake ninja-build pkg-config ca-certificates qt6-base-dev libgtest-dev libgmock-dev
          libbenchmark-dev fonts-dejavu-core fonts-ipafont-gothic poppler-utils xvfb xauth imagemagick
          libeigen3-dev clang libclang-rt-14-dev)
# The libftdi1 road to the analyser; dpkg-dev and file for `cpack -G DEB`; help2man
# makes the manual pages from the programs' --help.
packages+=(libftdi1-dev libusb-1.0-0-dev dpkg-dev file help2man)
# SHA-256 content hashes of spectra (OpenSSL libcrypto).
packages+=(libssl-dev)
# The window's translations (lupdate, lrelease, qt_add_translations) and Qt's own Japanese.
packages+=(qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools qt6-translations-l10n)
# N42 schema validation of exported documents in the tests.
packages+=(libxml2-dev libxml2-utils)
# The sample register (SQLite).
packages+=(libsqlite3-dev)
# The register on a laboratory's PostgreSQL server (libpq), and a throw-away server for its tests.
packages+=(libpq-dev postgresql postgresql-common)
. scripts/install-missing.sh
install_missing "${packages[@]}"

build="${XMCA_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja "$@"
# XMCA_BUILD_TARGETS: only these targets (space-separated), e.g. for one sanitizer stage.
targets=()
for t in ${XMCA_BUILD_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
