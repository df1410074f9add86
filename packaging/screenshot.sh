#!/usr/bin/env bash
# Starts quorvo from an install prefix on a virtual display (Xvfb), with a
# fresh HOME and an empty working folder, and saves its main window:
#
#   cmake --install build --prefix /tmp/q && bash packaging/screenshot.sh /tmp/q docs/quorvo-installed.png
#
# Also prints the window's WM_CLASS (the menu entry's StartupWMClass) and
# what quorvo made in the user's data folder.
set -euo pipefail
prefix=$(cd "$1" && pwd)
out=$(realpath -m "${2:-docs/quorvo-installed.png}")
for tool in xvfb-run xdotool import xprop; do
  command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/home" "$work/cwd"
cd "$work/cwd"
HOME="$work/home" xvfb-run -a -s "-screen 0 ${SCREEN:-1280x900x24}" bash -c '
  set -euo pipefail
  "$1/bin/quorvo" & app=$!
  trap "kill $app 2>/dev/null || true" EXIT
  win=$(xdotool search --sync --name "^quorvo$" | head -1)
  sleep 2
  xprop -id "$win" WM_CLASS
  eval "$(xdotool getwindowgeometry --shell "$win")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
' _ "$prefix" "$out" 2>/dev/null
echo "data folder: $(cd "$work/home" && find .local -type f)"
echo "working folder: $(ls -A "$work/cwd" | wc -l) entries"
echo "screenshot: $out"
