#!/usr/bin/env bash
# lintian.sh BUILD_DIR: makes the Debian package of this build in a
# temporary folder and lets lintian check it; any error fails. Exits 77
# (skipped) when lintian or dpkg-shlibdeps is not installed, or when the
# build made only the test programs; scripts/deps.sh installs both tools.
set -uo pipefail
build=$(cd "$1" && pwd)
for tool in lintian dpkg-shlibdeps fakeroot; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
[ -x "$build/bin/quorvo" ] || { echo "quorvo is not built"; exit 77; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log"
  exit 1
}
deb=$(ls "$out"/quorvo_*_amd64.deb)
lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges'
exit "${PIPESTATUS[0]}"
