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
# Without a window manager a key can reach the box before it has the focus; type again until
# the box has gone.
answer() {
  local w=$1 key=$2
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    xdotool windowfocus --sync "$w" key "$key" 2>/dev/null || return 0
    sleep 0.3
    xdotool search --onlyvisible --name '.*' 2>/dev/null | grep -qx "$w" || return 0
  done
  fail "window $w did not take the key $key"
}

# A stored file that does not exist: only the error box, then status 255.
"$program" /nonexistent/recording.bin7150 &
pid=$!
box=$(window '^Movara 7150 SFP$') || fail "no 'Cannot read' box"
xdotool search --onlyvisible --name 'Soft Front Panel' >/dev/null && fail "a main window was shown"
import -window root "$shots/cannot-read.png"
# There is no window manager: focus the window directly before typing.
answer "$box" Return
status=0; wait "$pid" || status=$?
[ "$status" -eq 255 ] || fail "missing file: exit status $status, expected 255"
echo "ok: missing file gives the error box and status 255"

# Auto Find in the built-in world shows the card tree; cancelling it ends the program with 0.
"$program" &
pid=$!
question=$(window '^Movara 7150 SFP: Select Function Card$') || fail "no connection question"
answer "$question" Return # "Auto Find" is the default
sleep 1.5 # the network box of the built-in world takes a moment to answer
tree=$(window '^Movara 7150 SFP: Select Function Card$') || fail "no card tree"
import -window root "$shots/card-tree.png"
answer "$tree" Escape
status=0; wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "cancelled tree: exit status $status, expected 0"
echo "ok: Auto Find shows the card tree; cancelling ends with 0"

# Clicks at x,y of a window; a negative x counts from the right edge (the control column
# stays there whatever the window's width). There is no window manager, so the window's
# geometry is where it lies on the screen; "mousemove --window" did not land where asked.
click() {
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  local x=$2
  [ "$x" -lt 0 ] && x=$((WIDTH + x))
  # Not "--sync": moving to where the pointer already is would wait for a motion that never comes.
  xdotool mousemove $((X + x)) $((Y + $3)) sleep 0.1 click 1
}
# Where things are in the main window (measured on screenshots of the 1280x1024 screen): the
# tab bar's row and the middle of each tab, the single-shot start button (the upper of the two
# start buttons of the control column), the block slider of a stored file.
tabRow=92
tabFunctionCards=353 tabAcquisition=463 tabSpectrum=200 tabMeasurements=571
singleShot="-55 372"
repetitive="-55 405"
tabWaveforms=55
storageBox="38 282"
sliderRight="780 552"
# How many pixels of a window's plot area differ between two screenshots.
plotChange() {
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  compare -metric AE -extract "700x320+$((X + 110))+$((Y + 130))" "$2" "$3" null: 2>&1 || true
}
closeAndConfirm() { # window pid what
  local WINDOW X Y WIDTH HEIGHT SCREEN question status
  eval "$(xdotool getwindowgeometry --shell "$1")"
  # "Close" is the last button of the control column, at the window's lower right corner.
  click "$1" $((WIDTH - 54)) $((HEIGHT - 29))
  question=$(window '^Movara 7150 SFP$') || fail "closing did not ask ($3)"
  answer "$question" y
  status=0; wait "$2" || status=$?
  [ "$status" -eq 0 ] || fail "exit status $status after Yes ($3)"
}

# A system with one card: Auto Find connects at once. "-acperf" is an option, not a file. The
# card's signal is a 2 V sine on bin 26 of the default acquisition (256 scans at 10 kHz), so
# its spectrum and measurements have known values.
world=$(mktemp --suffix=.json)
stored=$(mktemp --suffix=.bin7150)
trap 'rm -f "$world" "$stored"' EXIT
cat >"$world" <<'JSON'
{"carriers":[{"resources":["VXI0::9::INSTR"],"interface":"VXI","slot":5,"logicalAddress":9,"model":7005,
  "slots":4,"referenceVoltages":[0.0,2.5],"cards":[{"slot":3,"signal":{"type":"sine","frequency":1015.625,
  "amplitude":2.0,"offset":0.0,"harmonics":[-80,-90],"noiseRms":100e-6}}]}]}
JSON
for args in "" "-acperf"; do
  KQ7150_SIM_CONFIG=$world "$program" $args &
  pid=$!
  question=$(window '^Movara 7150 SFP: Select Function Card$') || fail "no connection question (args '$args')"
  answer "$question" Return
  main=$(window '^Movara 7150 Soft Front Panel$') || fail "no main window (args '$args')"
  sleep 0.5
  import -window root "$shots/frame${args:+-acperf}.png"
  if [ -z "$args" ]; then
    for tab in "$tabFunctionCards function-cards" "$tabAcquisition acquisition"; do
      click "$main" ${tab% *} $tabRow
      sleep 0.5
      import -window root "$shots/${tab#* }.png"
    done
  else
    # One block of channel 1 (the only channel enabled at start), then its three views.
    click "$main" $singleShot
    sleep 1.5
    import -window root "$shots/waveforms.png"
    changed=$(plotChange "$main" "$shots/frame-acperf.png" "$shots/waveforms.png")
    awk -v n="$changed" 'BEGIN { exit !(n + 0 > 1000) }' ||
      fail "single shot drew no waveform ($changed pixels of the plot changed)"
    click "$main" $tabSpectrum $tabRow
    sleep 0.5
    import -window root "$shots/spectrum.png"
    click "$main" $tabMeasurements $tabRow
    sleep 0.5
    import -window root "$shots/measurements.png"
  fi
  closeAndConfirm "$main" "$pid" "args '$args'"
  echo "ok: connects to the only card ${args:+with $args }, asks on close, ends with 0"
done

# Continuous storage: the box on "Acquisition", the repetitive start, the dialog's default file
# (in a home of its own), a while of acquiring, the stop; the file then holds blocks.
home=$(mktemp -d)
HOME=$home KQ7150_SIM_CONFIG=$world "$program" &
pid=$!
question=$(window '^Movara 7150 SFP: Select Function Card$') || fail "no connection question (storage)"
answer "$question" Return
main=$(window '^Movara 7150 Soft Front Panel$') || fail "no main window (storage)"
click "$main" $tabAcquisition $tabRow
sleep 0.3
click "$main" $storageBox
click "$main" $tabWaveforms $tabRow
click "$main" $repetitive
dialog=$(window '^Continuous Acquisition Configuration$') || fail "no storage dialog"
sleep 0.3
import -window root "$shots/storage-dialog.png"
answer "$dialog" Return # "Start"
sleep 2
import -window root "$shots/storing.png"
click "$main" $repetitive
sleep 1
size=$(stat -c %s "$home/dump.bin7150" 2>/dev/null || echo 0)
[ "$size" -gt $((2 * 256 * 8)) ] || fail "continuous storage wrote $size bytes"
# About 80 kB a second of one channel at 10 kHz: a file far larger means the stop came late.
[ "$size" -lt 1000000 ] || fail "continuous storage wrote $size bytes in about 2 s: not stopped?"
sleep 0.5
[ "$(stat -c %s "$home/dump.bin7150")" -eq "$size" ] || fail "the file still grows after the stop"
closeAndConfirm "$main" "$pid" "storage"
rm -rf "$home"
echo "ok: continuous storage writes its file ($size bytes in about 2 s)"

# Stored files: a header as the program writes it, then blocks of 256 scans of channels 1
# (2 V at 1015.625 Hz) and 2 (1 V at 312.5 Hz), one channel after the other, little-endian doubles.
writeStored() { # file blocks; prints the header's length
  printf '%s\n' 'DEVICE=Movara 7150' FORMAT=ViReal64 SAMPLING_RATE_HZ=10000.000000 NUMBER_OF_CHANNELS=2 \
    NUMBER_OF_SCANS_PER_BLOCK=256 NUMBER_OF_FUNCTION_CARDS=1 CHANNEL_MASK_FC1=0x03 TIME_OFFSET=0.000000 \
    TIMESTAMPS=0 '#' >"$1"
  stat -c %s "$1"
  perl -e 'my $pi = 4 * atan2(1, 1);
    for my $b (0 .. $ARGV[0] - 1) { for my $k (0, 1) {
      print pack("d<*", map { my $t = ($b * 256 + $_) / 10000;
                              $k ? sin(2 * $pi * 312.5 * $t) : 2 * sin(2 * $pi * 1015.625 * $t) } 0 .. 255) } }' \
    "$2" >>"$1"
}

# A valid file of 3 blocks opens without the connection question and shows its first block.
header=$(writeStored "$stored" 3)
[ "$(stat -c %s "$stored")" -eq $((header + 3 * 2 * 256 * 8)) ] || fail "stored file of $(stat -c %s "$stored") bytes"
"$program" "$stored" &
pid=$!
main=$(window '^Movara 7150 Soft Front Panel$') || fail "no main window for a stored file"
xdotool search --onlyvisible --name 'Select Function Card' >/dev/null && fail "a stored file asked how to connect"
sleep 0.5
import -window root "$shots/offline.png"
closeAndConfirm "$main" "$pid" "stored file"
echo "ok: a stored file opens without the connection question"

# A file that loses its blocks while it is shown: the next block cannot be read, the program
# says so and ends with 255.
header=$(writeStored "$stored" 2)
"$program" "$stored" &
pid=$!
main=$(window '^Movara 7150 Soft Front Panel$') || fail "no main window for a stored file of 2 blocks"
sleep 0.5
truncate -s "$header" "$stored"
click "$main" $sliderRight # a click beside the handle moves the slider one page (a block) on
box=$(window '^Movara 7150 SFP$') || fail "no 'Cannot read' box for a truncated file"
import -window root "$shots/offline-truncated.png"
answer "$box" Return
status=0; wait "$pid" || status=$?
[ "$status" -eq 255 ] || fail "truncated file: exit status $status, expected 255"
echo "ok: a truncated stored file gives the error box and status 255"
