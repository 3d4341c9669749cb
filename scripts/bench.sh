#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its figures as ratios to a named baseline.
#   KQ_GAPFREE_SECONDS=N   seconds per card count of the gap-free search (default 5)
#   KQ_GAPFREE_COMPARE=1   then also compare ViReal64 and FLAC with runs of 60 s (about 15 minutes)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKQ_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$(nproc)"

# The storage benchmarks write their files into the current folder: the build folder's disk.
cd build
for bench in bench_signal bench_analysis bench_plan_memory bench_gui_stall bench_plot bench_startup bench_storage bench_flac bench_tool; do
  echo "== $bench"
  "bin/$bench"
done
echo "== bench_gapfree"
bin/bench_gapfree "${KQ_GAPFREE_SECONDS:-5}"
if [ "${KQ_GAPFREE_COMPARE:-0}" = 1 ]; then
  echo "== bench_gapfree --compare"
  bin/bench_gapfree --compare
fi
