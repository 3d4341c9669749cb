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

# Auto Find in the built-in world shows the card tree; cancelling it ends the program with 0.
"$program" &
pid=$!
question=$(window '^Movara 7150 SFP: Select Function Card$') || fail "no connection question"
xdotool windowfocus --sync "$question" key Return # "Auto Find" is the default
sleep 1.5 # the network box of the built-in world takes a moment to answer
tree=$(window '^Movara 7150 SFP: Select Function Card$') || fail "no card tree"
import -window root "$shots/card-tree.png"
xdotool windowfocus --sync "$tree" key Escape
status=0; wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "cancelled tree: exit status $status, expected 0"
echo "ok: Auto Find shows the card tree; cancelling ends with 0"

# A system with one card: Auto Find connects at once. "-acperf" is an option, not a file.
world=$(mktemp --suffix=.json)
trap 'rm -f "$world"' EXIT
cat >"$world" <<'JSON'
{"carriers":[{"resources":["VXI0::9::INSTR"],"interface":"VXI","slot":5,"logicalAddress":9,"model":7005,
  "slots":4,"referenceVoltages":[0.0,2.5],"cards":[{"slot":3}]}]}
JSON
for args in "" "-acperf"; do
  KQ7150_SIM_CONFIG=$world "$program" $args &
  pid=$!
  question=$(window '^Movara 7150 SFP: Select Function Card$') || fail "no connection question (args '$args')"
  xdotool windowfocus --sync "$question" key Return
  main=$(window '^Movara 7150 Soft Front Panel$') || fail "no main window (args '$args')"
  sleep 0.5
  import -window root "$shots/frame${args:+-acperf}.png"
  if [ -z "$args" ]; then # the "Function Cards" and "Acquisition" tabs, after the spectrum's
    for tab in "254 function-cards" "364 acquisition"; do
      xdotool mousemove --window "$main" ${tab% *} 92 click 1
      sleep 0.5
      import -window root "$shots/${tab#* }.png"
    done
  fi
  # "Close" is the last button of the control column, at the window's lower right corner.
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove --window "$main" $((WIDTH - 54)) $((HEIGHT - 29)) click 1
  question=$(window '^Movara 7150 SFP$') || fail "closing did not ask (args '$args')"
  xdotool windowfocus --sync "$question" key y
  status=0; wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "exit status $status after Yes (args '$args')"
  echo "ok: connects to the only card ${args:+with $args }, asks on close, ends with 0"
done
