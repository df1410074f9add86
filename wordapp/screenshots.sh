#!/usr/bin/env bash
# Takes the README's screenshots of quorvo on a virtual display (Xvfb): the
# word-bank page, the recitation page and the add-words dialog, cut to the
# main window; then a text of the dictionary's headwords added into a new
# bank: the progress in the info box, the summary, and the export's save
# dialog. quorvo runs from a portable folder of its own: a copy of the
# program beside a copy of the build's dict_main.db and the bundled
# dictionary. Then 今日复习 (with 每日新词 and 目标记忆率) and the 统计 tab
# after "优化参数" from a second such folder whose database was given five
# months of made-up review history of a 200-word recitation list
# (build/tools/seed_review_history).
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
cp "$BIN/quorvo" "$BIN/dict_main.db" "$BIN/quorvo-dictd" "$BIN/quorvo-dict.tsv" "$BIN/quorvo-lexicon.tsv" "$BIN/quorvo-examples.tsv" "$WORK/"
# 39,000 distinct words for the add-words run: the dictionary's headwords.
awk -F'\t' '!/^#/ && $1 ~ /^[a-z][a-z][a-z]+$/ && n < 39000 { printf "%s ", $1; n++ }' "$BIN/quorvo-dict.tsv" > "$WORK/words.txt"
mkdir "$WORK/history"
cp "$BIN/quorvo" "$BIN/dict_main.db" "$BIN/quorvo-lexicon.tsv" "$BIN/quorvo-examples.tsv" "$WORK/history/"
"$BIN/../tools/seed_review_history" "$WORK/history/dict_main.db" 150 200

xvfb-run -a -s "-screen 0 ${SCREEN:-1280x900x24}" bash -c '
  set -euo pipefail
  bin=$1 out=$2 scale=${QT_SCALE_FACTOR:-1}
  cd "$3"
  ./quorvo & app=$!
  trap "kill \$app 2>/dev/null || true" EXIT
  win=$(xdotool search --sync --onlyvisible --name "^quorvo$" | head -1)
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$win")"
  # Dialog units times the scale, which may be fractional (1.5).
  scaled() { awk -v o="$1" -v u="$2" -v s="$scale" "BEGIN { printf \"%d\", o + u * s }"; }
  at() { echo "$(scaled "$X" "$1")" "$(scaled "$Y" "$2")"; }
  shot() { import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1"; }
  click() { xdotool mousemove $(at "$1" "$2") click 1; sleep 1; }
  shot quorvo-words.png
  click 71 12          # tab "浏览"
  shot quorvo-recite.png
  click 24 12          # tab "词库"
  click 493 462        # "添加新单词"
  shot quorvo-add-words.png

  # The add-words run: a file into the new bank "reading".
  dlg=$(xdotool search --sync --name "^添加单词$" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$dlg" | sed "s/^/D/")"
  din() { xdotool mousemove "$(scaled "$DX" "$1")" "$(scaled "$DY" "$2")" click 1; sleep 1; }
  din 430 44           # "打开文件"
  xdotool type --delay 20 "$PWD/words.txt"; xdotool key Return; sleep 1
  din 367 313          # the bank name
  xdotool type --delay 20 "reading"
  din 358 362          # "确定"
  sleep 0.5
  shot quorvo-progress.png
  # The summary box carries the same caption as the window.
  for _ in $(seq 120); do
    [ "$(xdotool search --onlyvisible --name "^quorvo$" | wc -l)" -ge 2 ] && break
    sleep 0.5
  done
  sleep 1
  shot quorvo-summary.png
  xdotool key Return; sleep 1
  click 393 505        # "导出"
  save=$(xdotool search --sync --onlyvisible --name "^导出单词$" | head -1)
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$save")"
  shot quorvo-export.png
  xdotool key Escape; sleep 1
  kill $app; wait $app 2>/dev/null || true

  cd history
  ./quorvo & app=$!
  win=$(xdotool search --sync --onlyvisible --name "^quorvo$" | head -1)
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$win")"
  click 71 12          # tab "浏览"
  click 78 66          # the selector
  xdotool key Down Return; sleep 1
  xdotool key space; sleep 1
  shot quorvo-review.png
  click 118 12         # tab "统计"
  sleep 1
  click 50 552         # "优化参数"
  sleep 3
  shot quorvo-stats.png
' _ "$BIN" "$OUT" "$WORK"
echo "screenshots in $OUT"
