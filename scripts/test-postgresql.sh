#!/usr/bin/env bash
# Runs the register tests against a throw-away PostgreSQL server started by
# Debian's pg_virtualenv (postgresql, postgresql-common), with the server tests
# required: there a skip is a failure. The server is stopped and started by the
# outage test. Expects a configured build (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${XMCA_BUILD_DIR:-build}")"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/xmca-runtime}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cmake --build "$build" -j"$(nproc)" --target test_register test_tools mcatool
# As root pg_virtualenv would put the cluster under /etc/postgresql; -t keeps it in a temporary folder.
opts=()
[ "$(id -u)" -ne 0 ] || opts+=(-t)
pg_virtualenv "${opts[@]}" sh -ec '
  export XMCA_REQUIRE_PG=1 XMCA_PG_CTL="pg_ctlcluster $PGVERSION regress"
  "$1/tests/test_register"
  "$1/tests/test_tools" --gtest_filter="*Server*"
' sh "$build"
