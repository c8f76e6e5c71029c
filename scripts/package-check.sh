#!/usr/bin/env bash
# Builds the Debian package from ./build (or $XMCA_BUILD_DIR, built by scripts/build.sh)
# and checks it as Debian would: lintian (no error, no warning), the AppStream
# metainfo and the desktop file as installed, and both programs run from the
# package unpacked into a throw-away root (dpkg -x) with no display.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(lintian appstream desktop-file-utils dpkg-dev)
. scripts/install-missing.sh
install_missing "${packages[@]}"

fail() { echo "package check: $*" >&2; exit 1; }

build="${XMCA_BUILD_DIR:-build}"
cmake --build "$build" -j"$(nproc)" --target xmca mcatool xmca_package_files
rm -f "$build"/xmca_*.deb
(cd "$build" && cpack -G DEB >/dev/null 2>&1) || fail "cpack -G DEB failed"
deb=$(ls "$build"/xmca_*.deb)
version=$(dpkg-deb -f "$deb" Version)
echo "== $deb"

# lintian refuses nothing on info tags; any error or warning fails the check.
echo "== lintian"
status=0
report=$(lintian --fail-on error,warning "$deb" 2>&1) || status=$?
report=$(grep -v '^running with root privileges' <<<"$report" || true)
[ -z "$report" ] || echo "$report"
[ "$status" -eq 0 ] || fail "lintian reports an error or a warning"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

echo "== appstreamcli validate"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "no metainfo file in the package"
appstreamcli validate --no-net "${metainfo[@]}"

echo "== desktop-file-validate"
desktop="$root/usr/share/applications/xmca.desktop"
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -q '^Name\[ja\]=' "$desktop" && grep -q '^Comment\[ja\]=' "$desktop" || fail "no Name[ja]/Comment[ja]"

echo "== the programs from the unpacked package"
# No display: --version and --help answer before any window exists.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
got=$(run "$root/usr/bin/xmca" --version) || fail "xmca --version failed"
[ "$got" = "xmca $version" ] || fail "xmca --version says '$got', the package is $version"
got=$(run "$root/usr/bin/mcatool" --version) || fail "mcatool --version failed"
[ "$got" = "mcatool $version" ] || fail "mcatool --version says '$got', the package is $version"
# Read whole before grep looks: with pipefail, a grep -q that stops reading early can
# fail the pipe by the writer's SIGPIPE, at random.
got=$(run "$root/usr/bin/mcatool" --help) || fail "mcatool --help failed"
grep -q '^  mcatool acquire ' <<<"$got" || fail "mcatool --help lists no commands"
for page in xmca mcatool; do
  got=$(gzip -dc "$root/usr/share/man/man1/$page.1.gz") || fail "$page(1) does not decompress"
  grep -q '^\.SH "EXIT STATUS"' <<<"$got" || fail "$page(1) has no exit status"
done
for f in copyright changelog.gz postgresql/setup.sql postgresql/README.md; do
  [ -f "$root/usr/share/doc/xmca/$f" ] || fail "no /usr/share/doc/xmca/$f"
done
echo "package check: $deb passes"
