#!/usr/bin/env bash
# End-to-end run of the update road on a virtual display (Xvfb):
# a portable folder at version 1 (the real quorvo, its word banks
# dict_main.db, config.ini, words.txt), python's http.server on 127.0.0.1
# publishing a signed version 2 made by renova-release (renova, lexmuse,
# words.txt). quorvo offers the update in a box that leaves its window
# usable, the box is confirmed, the signed renova is fetched and started,
# asks for quorvo to be closed, runs on Start, ends quorvo (it saves and
# ends with status 4) and replaces the files; config.ini then says 2, the
# word banks are byte for byte what they were, and the next start of quorvo
# offers nothing.
#
# The programs come from build-e2e/, configured with the test release key
# update/tests/e2e_release.pub (its secret beside it signs the release; it
# is a key for this test only).
#
# The display is started outside (xvfb-run picks a free one); the run itself
# happens in a process namespace of its own (unshare, as root) so that renova
# sees, and ends, only the quorvo this script started.
#
#   bash update/tests/e2e_update.sh [screenshot folder]
# Needs: cmake, ninja, xvfb-run, xdotool, ImageMagick's import, python3.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
SHOTS=${1:-}

case "${E2E_STAGE:-}" in
  "")
    cmake -S . -B build-e2e -G Ninja -DQUORVO_BUILD_TESTS=ON \
      -DQUORVO_UPDATE_PUBLIC_KEY="$(cat update/tests/e2e_release.pub)" >/dev/null
    cmake --build build-e2e --parallel 2 --target quorvo renova renova-release dict_main_db >/dev/null
    export E2E_STAGE=display
    exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0" "$SHOTS" ;;
  display)
    export E2E_STAGE=run
    exec unshare --pid --fork --mount-proc bash "$0" "$SHOTS" ;;
esac

BIN=$ROOT/build-e2e/bin
WORK=$(mktemp -d /tmp/quorvo-e2e-XXXXXX)
SERVER_PID=
cleanup() {
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "E2E FAILED: $*" >&2; exit 1; }
wait_for() {  # wait_for <seconds> <command...>
  local limit=$(( $1 * 10 )); shift
  for ((i = 0; i < limit; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}
shot() { [ -n "$SHOTS" ] && import -window root "$SHOTS/$1" && echo "screenshot: $SHOTS/$1"; return 0; }
# A key for the window that has the focus: with no window manager, Qt hands
# the focus to each window it shows, so the newest box or dialog gets it.
press() { sleep 1; xdotool key --clearmodifiers "$1"; }
# The windows quorvo shows, by the process id Qt sets on each.
windows_of() { xdotool search --onlyvisible --pid "$1" 2>/dev/null || true; }
window_count() { windows_of "$1" | grep -c . || true; }

APP=$WORK/app SITE=$WORK/site RELEASE=$WORK/release
mkdir -p "$APP" "$SITE" "$RELEASE"
cp "$BIN/quorvo" "$APP/quorvo"
cp "$BIN/dict_main.db" "$APP/dict_main.db"   # the word banks: a portable folder
cp "$APP/dict_main.db" "$WORK/banks-before.db"
printf '[update]\nversion=1\n' > "$APP/config.ini"
echo "words of version 1" > "$APP/words.txt"

cp "$BIN/renova" "$RELEASE/renova"
cp "$BIN/quorvo" "$RELEASE/quorvo"
printf 'version 2' >> "$RELEASE/quorvo"   # trailing bytes: still the same program
echo "words of version 2" > "$RELEASE/words.txt"

python3 -u -m http.server --bind 127.0.0.1 --directory "$SITE" 0 > "$WORK/server.log" 2> "$WORK/requests.log" &
SERVER_PID=$!
wait_for 15 grep -q 'port [0-9]* ' "$WORK/server.log" || fail "no server"
PORT=$(grep -o 'port [0-9]* ' "$WORK/server.log" | head -1 | cut -d' ' -f2)
BASE=http://127.0.0.1:$PORT
# A checkout gives the key file the usual 0644; publish takes only a secret
# key that nobody else may read.
install -m 600 "$ROOT/update/tests/e2e_release.key" "$WORK/release.key"
"$BIN/renova-release" publish --secret "$WORK/release.key" --version 2 \
  --base-url "$BASE/lexmuse" --out "$SITE/lexmuse" "$RELEASE/quorvo" "$RELEASE/renova" "$RELEASE/words.txt"
"$BIN/renova-release" verify --public "$ROOT/update/tests/e2e_release.pub" "$SITE/lexmuse" || fail "release does not verify"
export QUORVO_UPDATE_SERVER=$BASE
# No lookups in this run: the dictionary is an address where nothing answers,
# so quorvo does not start its bundled service either.
export QUORVO_DICT_HOST=127.0.0.1:9

echo "1. quorvo (version 1) starts and checks for an update"
(cd / && exec "$APP/quorvo" > "$WORK/quorvo1.log" 2>&1) &
QUORVO_PID=$!
# The main window, then the box: a second window of the process.
wait_for 30 bash -c "[ \$(xdotool search --onlyvisible --pid $QUORVO_PID 2>/dev/null | grep -c .) -ge 2 ]" ||
  fail "no update offered ($(cat "$WORK/quorvo1.log"))"
sleep 1
shot quorvo-offer.png
BOX=$(windows_of "$QUORVO_PID" | tail -1)
xdotool windowfocus --sync "$BOX" 2>/dev/null || true
press Return   # the box "软件有更新，点确定更新": OK

echo "2. renova opens and asks for quorvo to be closed"
xdotool search --sync --onlyvisible --name "自动升级软件" > /dev/null
cmp -s "$APP/renova" "$RELEASE/renova" || fail "the signed renova was not fetched"
sleep 1
shot renova-asks.png
press Return   # the box "请先关闭原程序,然后点击开始按钮进行更新": OK
sleep 1
shot renova-before.png
kill -0 "$QUORVO_PID" || fail "quorvo ended before Start"

echo "3. Start: renova ends quorvo and replaces the files"
press Return   # Start is the default button
set +e; wait "$QUORVO_PID"; STATUS=$?; set -e
[ "$STATUS" = 4 ] || fail "quorvo ended with status $STATUS, not 4"
wait_for 20 grep -q 'version=2' "$APP/config.ini" || fail "config.ini: $(cat "$APP/config.ini")"
sleep 1
shot renova-after.png
cmp -s "$APP/quorvo" "$SITE/lexmuse/lexmuse" || fail "quorvo not replaced"
cmp -s "$APP/dict_main.db" "$WORK/banks-before.db" || fail "the word banks changed"
[ -x "$APP/quorvo" ] || fail "quorvo no longer executable"
grep -q "version 2" "$APP/words.txt" || fail "words.txt not replaced"
[ ! -e "$APP/webconfig.ini" ] || fail "webconfig.ini left behind"
press Escape
wait_for 10 bash -c '! xdotool search --onlyvisible --name "自动升级软件" > /dev/null' || fail "renova did not close"

echo "4. the new quorvo starts: nothing is offered"
: > "$WORK/requests.log"
(cd / && exec "$APP/quorvo" > "$WORK/quorvo2.log" 2>&1) &
QUORVO_PID=$!
wait_for 30 grep -aq 'GET /lexmuse/webconfig.ini' "$WORK/requests.log" || fail "second check did not ask the server"
sleep 3   # time for a box to come up if one were offered
[ "$(window_count "$QUORVO_PID")" = 1 ] || fail "update offered again"
kill "$QUORVO_PID"
set +e; wait "$QUORVO_PID"; STATUS=$?; set -e
[ "$STATUS" = 4 ] || fail "quorvo ended with status $STATUS on SIGTERM, not 4"
cmp -s "$APP/dict_main.db" "$WORK/banks-before.db" || fail "the word banks changed"

echo "E2E PASSED: signed version 1 -> 2, word banks unchanged, config.ini: $(tr '\n' ' ' < "$APP/config.ini")"
