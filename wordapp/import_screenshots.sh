#!/usr/bin/env bash
# Takes the README's screenshots of "导入" on a virtual display (Xvfb): the
# import dialog with a spreadsheet's CSV chosen, and the summary after it
# went into a new bank (some words with the file's translation, some looked
# up in the bundled dictionary, one word twice, one cell too long). quorvo
# runs from a portable folder of its own: a copy of the program beside a
# copy of the build's dict_main.db and the bundled dictionary.
#
#   bash wordapp/import_screenshots.sh [build dir] [output dir]
#
# Needs xvfb-run, xdotool and ImageMagick's import (apt: xvfb xdotool imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
BIN="$PWD/${1:-build}/bin"
OUT="$(mkdir -p "${2:-docs}" && cd "${2:-docs}" && pwd)"
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "import_screenshots.sh: $tool is missing" >&2; exit 1; }
done
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cp "$BIN/quorvo" "$BIN/dict_main.db" "$BIN/quorvo-dictd" "$BIN/quorvo-dict.tsv" "$WORK/"
{
  printf '\xEF\xBB\xBFword,translation\r\n'
  printf 'abandon,v. 放弃；抛弃\r\n'
  printf 'ability,n. 能力；才能\r\n'
  printf 'abroad,\r\n'
  printf 'absence,\r\n'
  printf 'absolute,adj. 绝对的\r\n'
  printf 'ability,n. 能力（老师的版本）\r\n'
  printf 'antidisestablishmentarianism-and-then-some-more-letters-beyond-the-column,n. 太长的单词\r\n'
} > "$WORK/teacher.csv"

xvfb-run -a -s "-screen 0 ${SCREEN:-1280x900x24}" bash -c '
  set -euo pipefail
  out=$1
  cd "$2"
  ./quorvo & app=$!
  trap "kill \$app 2>/dev/null || true" EXIT
  win=$(xdotool search --sync --onlyvisible --name "^quorvo$" | head -1)
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$win")"
  MX=$X MY=$Y MW=$WIDTH MH=$HEIGHT
  # The page: x pixels 1.5 per dialog unit; y 1.72 per unit below the tabs.
  click() { xdotool mousemove $((MX + $1)) $((MY + $2)) click 1; sleep 1; }
  click 430 505        # "导入"
  dlg=$(xdotool search --sync --onlyvisible --name "^导入单词$" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$dlg" | sed "s/^/D/")"
  din() { xdotool mousemove $((DX + $1)) $((DY + $2)) click 1; sleep 1; }
  din 201 45           # the file
  xdotool type --delay 20 "$PWD/teacher.csv"
  din 123 107          # the bank
  xdotool key ctrl+a; xdotool type --delay 20 "teacher"
  sleep 1
  import -window root -crop "${DWIDTH}x${DHEIGHT}+${DX}+${DY}" +repage "$out/quorvo-import.png"
  din 358 184          # "导入"
  # The lookups of the two words without a translation end with their own
  # summary; the import summary comes first, with the window'"'"'s caption.
  for _ in $(seq 60); do
    [ "$(xdotool search --onlyvisible --name "^quorvo$" | wc -l)" -ge 2 ] && break
    sleep 0.5
  done
  sleep 1
  import -window root -crop "${MW}x${MH}+${MX}+${MY}" +repage "$out/quorvo-import-summary.png"
  kill $app; wait $app 2>/dev/null || true
' _ "$OUT" "$WORK"
echo "screenshots in $OUT"
