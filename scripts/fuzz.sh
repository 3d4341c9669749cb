#!/usr/bin/env bash
# Fuzzes the stored-file header and block readers, then the world and fault-file parsers, with
# libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer, in their own build folder
# (build-fuzz, clang). The header and block readers get half of the time, the FLAC stream reader
# a sixth, the parsers a third (at least a second each).
#   bash scripts/fuzz.sh [seconds]     how long to fuzz: the argument, else KQ_FUZZ_SECONDS, else 60
# Exits non-zero on a finding; the input that caused it is kept in build-fuzz/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${KQ_FUZZ_SECONDS:-60}}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz: the duration must be a whole number of seconds, not '$seconds'" >&2
  exit 2
fi
world_seconds=$(( seconds / 3 > 0 ? seconds / 3 : 1 ))
flac_seconds=$(( seconds / 6 > 0 ? seconds / 6 : 1 ))
header_seconds=$(( seconds - world_seconds - flac_seconds > 0 ? seconds - world_seconds - flac_seconds : 1 ))

bash scripts/setup.sh >/dev/null
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKQ_FUZZ=ON -DKQ_BUILD_TESTS=ON -DKQ_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target header_reader_fuzz flac_stream_fuzz world_parser_fuzz >/dev/null

work=build-fuzz/fuzz
mkdir -p "$work/header_reader/seeds" "$work/header_reader/corpus" "$work/flac_stream/seeds" "$work/flac_stream/corpus" \
  "$work/world_parser/corpus" "$work/findings"
# Seeds besides the committed ones: the headers the program writes, one ViReal32 block of 4
# scans (16 bytes), and one ViReal64 block of 2 scans with timestamps (2 x 8 bytes of times,
# 16 of samples).
header() { # format scans cards mask channels timestamps
  printf 'DEVICE=Movara 7150\nFORMAT=%s\nSAMPLING_RATE_HZ=1000.000000\nNUMBER_OF_CHANNELS=%d\n' "$1" "$5"
  printf 'NUMBER_OF_SCANS_PER_BLOCK=%d\nNUMBER_OF_FUNCTION_CARDS=%d\n' "$2" "$3"
  for ((c = 1; c <= $3; c++)); do printf 'CHANNEL_MASK_FC%d=0x%02x\n' "$c" "$4"; done
  printf 'TIME_OFFSET=-0.001000\nTIMESTAMPS=%d\n#\n' "$6"
}
{ header ViReal32 4 1 1 1 0; head -c 16 /dev/urandom; } >"$work/header_reader/seeds/one-block.bin7150"
{ header ViReal64 2 2 1 2 1; head -c 64 /dev/urandom; } >"$work/header_reader/seeds/timestamps.bin7150"
# Streams of two 24-bit channels in frames of 64 scans, as the fuzzed recording describes them:
# one of noise, one of silence, and the noise cut inside a frame as a killed writer leaves it.
flac_seed() { # output; the samples come on standard input
  flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=24 --sample-rate=1000 \
    --blocksize=64 -o "$1" -
}
head -c 3072 /dev/urandom | flac_seed "$work/flac_stream/seeds/noise.flac"
head -c 3072 /dev/zero | flac_seed "$work/flac_stream/seeds/silence.flac"
head -c 2000 "$work/flac_stream/seeds/noise.flac" >"$work/flac_stream/seeds/cut.flac"

# The header target rewrites its input file on every run: a memory file system makes that ten
# times faster.
scratch=/tmp
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch=/dev/shm; fi

found=0
# fuzz <name> <seconds> <libFuzzer options and corpus folders...>: the first folder gains the
# new inputs, the others are only read.
fuzz() {
  local name=$1 time=$2 log="$work/$1/last-run.log" status=0 pid
  shift 2
  TMPDIR=$scratch "build-fuzz/bin/${name}_fuzz" -max_total_time="$time" -print_final_stats=1 \
    -artifact_prefix="$work/findings/$name-" "$@" >"$log" 2>&1 &
  pid=$!
  wait "$pid" || status=$?
  rm -f "$scratch/kq-fuzz-$pid.bin7150" "$scratch/kq-fuzz-$pid.flac7150" "$scratch/kq-fuzz-$pid.fc1.flac"
  local execs finding
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ]; then
    finding=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
    echo "fuzz: FINDING after ${execs:-?} runs (exit $status): ${finding:-see $log}"
    found=1
    return
  fi
  echo "fuzz: $name: no finding in $time s, ${execs:-?} runs, corpus $(ls "$work/$name/corpus" | wc -l) inputs"
}

# -close_fd_mask=1 silences the reader's corrupt-payload warning, printed for most inputs.
fuzz header_reader "$header_seconds" -close_fd_mask=1 \
  "$work/header_reader/corpus" "$work/header_reader/seeds" tests/fuzz/seeds/header
fuzz flac_stream "$flac_seconds" "$work/flac_stream/corpus" "$work/flac_stream/seeds"
fuzz world_parser "$world_seconds" -dict=tests/fuzz/world.dict \
  "$work/world_parser/corpus" tests/fuzz/seeds/world
exit "$found"
