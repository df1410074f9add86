#!/usr/bin/env bash
# Builds quorvo in Release (build-package/, or $PACKAGE_BUILD_DIR) and makes
# the Debian package quorvo_<version>_amd64.deb in the repository's folder
# (or $PACKAGE_DEST), then checks it with lintian and the menu entry and
# AppStream data with their validators. Install it with:
#   sudo apt install ./quorvo_*_amd64.deb
# The version is the project's (CMakeLists.txt). Run again, or after the
# version changed, it makes the package afresh: cpack writes into a folder
# of its own that is emptied first, and only this version's file is copied.
# PACKAGE_REUSE_BUILD=1 packages a build folder that is already built (the
# test build, in CI) without configuring or building it again.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${PACKAGE_BUILD_DIR:-build-package}
DEST=${PACKAGE_DEST:-$PWD}
if [ "${PACKAGE_REUSE_BUILD:-}" != 1 ]; then
  bash scripts/deps.sh
  # Only what is installed is built: no tests, no benchmarks. Debian's
  # hardening flags (stack protector, fortified functions, read-only
  # relocations bound at start).
  flags="$(dpkg-buildflags --get CXXFLAGS | sed 's/-g //') $(dpkg-buildflags --get CPPFLAGS)"
  link="$(dpkg-buildflags --get LDFLAGS) -Wl,-z,now"
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVO_BUILD_TESTS=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$link" >/dev/null
  cmake --build "$BUILD" --target quorvo quorvo-dictd quorvo_install_files
fi
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$BUILD/CPackConfig.cmake")
[ -n "$version" ] || { echo "no package version in $BUILD/CPackConfig.cmake" >&2; exit 1; }
out="$(cd "$BUILD" && pwd)/deb"
rm -rf "$out"
mkdir -p "$out"
(cd "$BUILD" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || {
  cat "$out/cpack.log" >&2
  exit 1
}
deb="quorvo_${version}_amd64.deb"
[ -f "$out/$deb" ] || { echo "cpack made no $deb: $(ls "$out")" >&2; exit 1; }
mkdir -p "$DEST"
cp "$out/$deb" "$DEST/$deb"

desktop-file-validate packaging/io.github.quorvo.Quorvo.desktop
appstreamcli validate --pedantic --no-net "$BUILD/packaging/io.github.quorvo.Quorvo.metainfo.xml" >/dev/null
# lintian fails on errors and warnings.
lint=0
report=$(lintian --fail-on error,warning "$DEST/$deb" 2>&1) || lint=$?
printf '%s\n' "$report" | grep -v 'running with root privileges' || true
if [ "$lint" -ne 0 ]; then
  echo "lintian found errors or warnings in $deb" >&2
  exit 1
fi
echo "package: $DEST/$deb ($(du -k "$DEST/$deb" | cut -f1) KiB; installed $(dpkg-deb -f "$DEST/$deb" Installed-Size) KiB)"
echo "install: sudo apt install ./$deb"
