#!/usr/bin/env bash
# validate.sh SOURCE_DIR BUILD_DIR: the menu entry and the AppStream data the
# build made pass their validators (pedantic), and the version set in
# CMakeLists.txt is the one the AppStream release, the changelog and
# `quorvo --version` give, with the release date. Exits 77 (skipped) when a
# validator is not installed; scripts/deps.sh installs both.
set -uo pipefail
src=$1
build=$2
id=io.github.quorvo.Quorvo
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
status=0
fail() {
  echo "FAIL: $*"
  status=1
}
desktop-file-validate "$src/packaging/$id.desktop" || status=1
metainfo="$build/packaging/$id.metainfo.xml"
appstreamcli validate --pedantic --no-net "$metainfo" || status=1

version=$(sed -n 's/^project(quorvo VERSION \([0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
date=$(sed -n 's/^set(QUORVO_RELEASE_DATE "\(.*\)")/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] && [ -n "$date" ] || fail "no version or release date in CMakeLists.txt"
grep -q "<release version=\"$version\" date=\"$date\"/>" "$metainfo" ||
  fail "AppStream release is not $version of $date: $(grep '<release ' "$metainfo")"
head -n1 "$build/packaging/changelog" | grep -qx "quorvo ($version) unstable; urgency=medium" ||
  fail "changelog's entry is not $version: $(head -n1 "$build/packaging/changelog")"
if [ -x "$build/bin/quorvo" ]; then
  shown=$("$build/bin/quorvo" --version)
  [ "$shown" = "quorvo $version" ] || fail "--version says '$shown', not quorvo $version"
fi
# What users see names no reserved example address.
if grep -rlE '@example\.(com|org|net)' "$metainfo" "$build/packaging/changelog" "$build/packaging/quorvo.1" \
  "$src/packaging/$id.desktop" "$build/CPackConfig.cmake"; then
  fail "a reserved example address is shown to users"
fi
exit $status
