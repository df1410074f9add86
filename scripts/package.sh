#!/usr/bin/env bash
# Builds quorvo in Release (build-package/, or $PACKAGE_BUILD_DIR) and makes
# the Debian package quorvo_<version>_amd64.deb in the repository's folder,
# then checks it with lintian and the menu entry and AppStream data with
# their validators. Install it with:  sudo apt install ./quorvo_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
BUILD=${PACKAGE_BUILD_DIR:-build-package}
# Only what is installed is built: no tests, no benchmarks. Debian's
# hardening flags (stack protector, fortified functions, read-only
# relocations bound at start).
flags="$(dpkg-buildflags --get CXXFLAGS | sed 's/-g //') $(dpkg-buildflags --get CPPFLAGS)"
link="$(dpkg-buildflags --get LDFLAGS) -Wl,-z,now"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVO_BUILD_TESTS=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$link" >/dev/null
cmake --build "$BUILD" --target quorvo quorvo-dictd quorvo_install_files
(cd "$BUILD" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD"/quorvo_*_amd64.deb)
cp "$deb" .
deb=$(basename "$deb")

desktop-file-validate packaging/io.github.quorvo.Quorvo.desktop
appstreamcli validate --no-net packaging/io.github.quorvo.Quorvo.metainfo.xml >/dev/null
# lintian fails on errors; warnings are shown.
lintian --fail-on error "$deb" || {
  echo "lintian found errors in $deb" >&2
  exit 1
}
echo "package: $PWD/$deb ($(du -k "$deb" | cut -f1) KiB; installed $(dpkg-deb -f "$deb" Installed-Size) KiB)"
echo "install: sudo apt install ./$deb"
