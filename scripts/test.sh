#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. The last line is CTest's summary.
#   KQ_SKIP_SANITIZE=1   skip the ThreadSanitizer and Address/UndefinedBehaviorSanitizer builds of the
#                        concurrency tests
#   KQ_FUZZ_SECONDS=N    how long to fuzz the stored-file reader (default 60; 0 skips it)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# Unformatted sources fail at once, before anything is built.
bash scripts/check-format.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

if [ "${KQ_SKIP_SANITIZE:-0}" != 1 ]; then
  # Code that starts and stops threads runs again under ThreadSanitizer, and under
  # AddressSanitizer with UndefinedBehaviorSanitizer, where the end-to-end workflows run as well.
  for sanitizer in thread address,undefined; do
    dir=build-${sanitizer:0:1}san
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKQ_SANITIZE=$sanitizer \
      -DKQ_BUILD_BENCH=OFF >/dev/null
    targets=(kqsim_concurrency_tests kq7150fp_ring_tests acperf_runner_tests)
    # Under AddressSanitizer the end-to-end workflows run too: the whole program, closed as a
    # person closes it.
    [ "$sanitizer" = thread ] || targets+=(kq7150fp kq7150fp_e2e kq71a0fp)
    cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
    # ThreadSanitizer needs the classic address-space layout on kernels with wide mmap randomisation.
    (cd "$dir" && setarch "$(uname -m)" -R ctest -L sanitize --output-on-failure)
  done
fi

fuzz_seconds=${KQ_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" != 0 ]; then
  bash scripts/fuzz.sh "$fuzz_seconds"
fi

cd build
ctest --output-on-failure -j "$jobs"
