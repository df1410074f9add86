#!/usr/bin/env bash
# End-to-end run of the update road on a virtual display (Xvfb):
# an installed folder at version 1 (a stand-in quorvo that runs the real
# update check, config.ini, words.txt), python's http.server on 127.0.0.1
# publishing version 2 (renova, lexmuse, words.txt). The stand-in offers the
# update, the box is confirmed, renova starts, asks for quorvo to be closed,
# runs on Start, ends quorvo (status 4) and replaces the files; config.ini
# then says 2 and the next start of the stand-in offers nothing.
#
# The display is started outside (xvfb-run picks a free one); the run itself
# happens in a process namespace of its own (unshare, as root) so that renova
# sees, and ends, only the quorvo this script started.
#
#   bash update/tests/e2e_update.sh [screenshot folder]
# Needs: a build in build/ (renova, e2e_word_app), xvfb-run, xdotool,
# ImageMagick's import, python3.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
SHOTS=${1:-}

case "${E2E_STAGE:-}" in
  "")
    export E2E_STAGE=display
    exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0" "$SHOTS" ;;
  display)
    export E2E_STAGE=run
    exec unshare --pid --fork --mount-proc bash "$0" "$SHOTS" ;;
esac

BIN=$ROOT/build/bin
STANDIN=$ROOT/build/renova/tests/e2e_word_app
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

APP=$WORK/app SITE=$WORK/site
mkdir -p "$APP" "$SITE/lexmuse/v2"
cp "$STANDIN" "$APP/quorvo"
printf '[update]\nversion=1\n' > "$APP/config.ini"
echo "words of version 1" > "$APP/words.txt"

cp "$BIN/renova" "$SITE/lexmuse/renova"
cp "$STANDIN" "$SITE/lexmuse/v2/lexmuse"
printf 'version 2' >> "$SITE/lexmuse/v2/lexmuse"   # trailing bytes: still the same program
echo "words of version 2" > "$SITE/lexmuse/v2/words.txt"

python3 -u -m http.server --bind 127.0.0.1 --directory "$SITE" 0 > "$WORK/server.log" 2>/dev/null &
SERVER_PID=$!
wait_for 15 grep -q 'port [0-9]* ' "$WORK/server.log" || fail "no server"
PORT=$(grep -o 'port [0-9]* ' "$WORK/server.log" | head -1 | cut -d' ' -f2)
BASE=http://127.0.0.1:$PORT
SHA=$(sha256sum "$SITE/lexmuse/v2/lexmuse" | cut -d' ' -f1)
SIZE=$(stat -c %s "$SITE/lexmuse/v2/lexmuse")
cat > "$SITE/lexmuse/webconfig.ini" <<INI
[update]
version=2
file_count=2
file_1=$BASE/lexmuse/v2/lexmuse
sha256_1=$SHA
size_1=$SIZE
file_2=$BASE/lexmuse/v2/words.txt
INI
export QUORVO_UPDATE_SERVER=$BASE

echo "1. quorvo (version 1) starts and checks for an update"
(cd "$APP" && exec ./quorvo > "$WORK/quorvo1.log" 2>&1) &
QUORVO_PID=$!
wait_for 20 grep -q offered "$WORK/quorvo1.log" || fail "no update offered"
[ -x "$APP/renova" ] || fail "renova was not fetched"
sleep 1
shot quorvo-offer.png
press Return   # the box "软件有更新，点确定更新": OK

echo "2. renova opens and asks for quorvo to be closed"
xdotool search --sync --onlyvisible --name "自动升级软件" > /dev/null
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
cmp -s "$APP/quorvo" "$SITE/lexmuse/v2/lexmuse" || fail "quorvo not replaced"
[ -x "$APP/quorvo" ] || fail "quorvo no longer executable"
grep -q "version 2" "$APP/words.txt" || fail "words.txt not replaced"
[ ! -e "$APP/webconfig.ini" ] || fail "webconfig.ini left behind"
press Escape
wait_for 10 bash -c '! xdotool search --onlyvisible --name "自动升级软件" > /dev/null' || fail "renova did not close"

echo "4. the new quorvo starts: nothing is offered"
(cd "$APP" && exec ./quorvo > "$WORK/quorvo2.log" 2>&1) &
QUORVO_PID=$!
wait_for 20 grep -q checked "$WORK/quorvo2.log" || fail "second check did not finish"
grep -q offered "$WORK/quorvo2.log" && fail "update offered again"
kill "$QUORVO_PID"; wait "$QUORVO_PID" 2>/dev/null || true

echo "E2E PASSED: version 1 -> 2, config.ini: $(tr '\n' ' ' < "$APP/config.ini")"
