#!/usr/bin/env bash
# Takes the README's screenshots of quorvo on a virtual display (Xvfb): the
# word-bank page, the recitation page and the add-words dialog, cut to the
# main window. quorvo runs from a portable folder of its own: a copy of the
# program beside a copy of the build's dict_main.db. Then 今日复习 and the
# 统计 tab from a second such folder whose database was given six weeks of
# made-up review history (build/tools/seed_review_history).
#
#   bash wordapp/screenshots.sh [build dir] [output dir]
#   QT_SCALE_FACTOR=2 SCREEN=2000x1500x24 bash wordapp/screenshots.sh build /tmp/shots-200
#
# Needs xvfb-run, xdotool and ImageMagick's import (apt: xvfb xdotool imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
BIN="$PWD/${1:-build}/bin"
OUT="$(mkdir -p "${2:-docs}" && cd "${2:-docs}" && pwd)"
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing" >&2; exit 1; }
done
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cp "$BIN/quorvo" "$BIN/dict_main.db" "$WORK/"
mkdir "$WORK/history"
cp "$BIN/quorvo" "$BIN/dict_main.db" "$WORK/history/"
"$BIN/../tools/seed_review_history" "$WORK/history/dict_main.db"

xvfb-run -a -s "-screen 0 ${SCREEN:-1280x900x24}" bash -c '
  set -euo pipefail
  bin=$1 out=$2 scale=${QT_SCALE_FACTOR:-1}
  cd "$3"
  ./quorvo & app=$!
  trap "kill $app 2>/dev/null || true" EXIT
  win=$(xdotool search --sync --name "^quorvo$" | head -1)
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$win")"
  at() { echo $((X + $1 * scale)) $((Y + $2 * scale)); }
  shot() { import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1"; }
  click() { xdotool mousemove $(at "$1" "$2") click 1; sleep 1; }
  shot quorvo-words.png
  click 71 12          # tab "浏览"
  shot quorvo-recite.png
  click 24 12          # tab "词库"
  click 542 465        # "添加新单词"
  shot quorvo-add-words.png
  xdotool key Escape; sleep 1
  kill $app; wait $app 2>/dev/null || true

  cd history
  ./quorvo & app=$!
  win=$(xdotool search --sync --name "^quorvo$" | head -1)
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$win")"
  click 71 12          # tab "浏览"
  click 78 66          # the selector
  xdotool key Down Return; sleep 1
  xdotool key space; sleep 1
  shot quorvo-review.png
  click 118 12         # tab "统计"
  sleep 1
  shot quorvo-stats.png
' _ "$BIN" "$OUT" "$WORK"
echo "screenshots in $OUT"
