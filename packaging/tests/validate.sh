#!/usr/bin/env bash
# validate.sh SOURCE_DIR: the menu entry and the AppStream data pass their
# validators. Exits 77 (skipped) when a validator is not installed;
# scripts/deps.sh installs both.
set -uo pipefail
src=$1
id=io.github.quorvo.Quorvo
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
status=0
desktop-file-validate "$src/packaging/$id.desktop" || status=1
appstreamcli validate --no-net "$src/packaging/$id.metainfo.xml" || status=1
exit $status
