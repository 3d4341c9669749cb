#!/usr/bin/env bash
# End to end: the real program under a virtual X server, driven like a person would.
#   startup_test.sh <program> <screenshot folder>
set -euo pipefail
program=$1
shots=$2
mkdir -p "$shots"

if [ -z "${KQ_E2E_INNER:-}" ]; then
  export KQ_E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

fail() { echo "FAIL: $*"; exit 1; }
window() { timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n 1; }

# A stored file that does not exist: only the error box, then status 255.
"$program" /nonexistent/recording.bin7150 &
pid=$!
box=$(window '^Movara 7150 SFP$') || fail "no 'Cannot read' box"
xdotool search --onlyvisible --name 'Soft Front Panel' >/dev/null && fail "a main window was shown"
import -window root "$shots/cannot-read.png"
# There is no window manager: focus the window directly before typing.
xdotool windowfocus --sync "$box" key Return
status=0; wait "$pid" || status=$?
[ "$status" -eq 255 ] || fail "missing file: exit status $status, expected 255"
echo "ok: missing file gives the error box and status 255"

# No argument, and "-acperf" alone: the frame in demo mode; Close asks before it ends.
for args in "" "-acperf"; do
  "$program" $args &
  pid=$!
  main=$(window '^Movara 7150 Soft Front Panel$') || fail "no main window (args '$args')"
  sleep 0.5
  import -window root "$shots/frame${args:+-acperf}.png"
  # Shift+Tab from the first button wraps round to the last one of the column, "Close".
  xdotool windowfocus --sync "$main" key shift+Tab space
  question=$(window '^Movara 7150 SFP$') || fail "closing did not ask (args '$args')"
  xdotool windowfocus --sync "$question" key y
  status=0; wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "exit status $status after Yes (args '$args')"
  echo "ok: starts ${args:-without arguments}, asks on close, ends with 0"
done
