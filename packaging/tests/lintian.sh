#!/usr/bin/env bash
# lintian.sh SOURCE_DIR BUILD_DIR: scripts/package.sh on this build (already
# built: PACKAGE_REUSE_BUILD=1), twice, the second time with another
# version's package left in the build's package folder and in the
# destination, as a version change leaves them. Each run must make this
# version's package and pass lintian (errors and warnings), the validators
# with it. Exits 77 (skipped) when lintian, dpkg-shlibdeps or fakeroot is
# not installed, or when the build made only the test programs;
# scripts/deps.sh installs them.
set -uo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
for tool in lintian dpkg-shlibdeps fakeroot desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
[ -x "$build/bin/quorvo" ] || { echo "quorvo is not built"; exit 77; }
dest=$(mktemp -d)
trap 'rm -rf "$dest" "$build/deb"' EXIT
version=$(sed -n 's/^project(quorvo VERSION \([0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
deb="quorvo_${version}_amd64.deb"
status=0
package() {
  PACKAGE_REUSE_BUILD=1 PACKAGE_BUILD_DIR="$build" PACKAGE_DEST="$dest" bash "$src/scripts/package.sh" || {
    echo "FAIL: package.sh ($1)"
    status=1
  }
  [ "$(dpkg-deb -f "$dest/$deb" Version 2>/dev/null)" = "$version" ] || {
    echo "FAIL: no package of version $version in $dest ($1): $(ls "$dest")"
    status=1
  }
}
package "first run"
# A package of an earlier version where the next run writes and copies.
old="quorvo_0.9_amd64.deb"
cp "$dest/$deb" "$build/deb/$old" 2>/dev/null && cp "$dest/$deb" "$dest/$old" || {
  echo "FAIL: the first run left no $deb"
  exit 1
}
package "second run, after a version change"
[ "$(ls "$build/deb"/*.deb)" = "$build/deb/$deb" ] || {
  echo "FAIL: the build's package folder holds $(ls "$build/deb"/*.deb)"
  status=1
}
exit $status
