#!/usr/bin/env bash
# Installs what is missing, builds, and starts the front panel on the simulated cards.
# Arguments go to the program (a stored .bin7150 file to view, -acperf).
# Without a display (a headless machine) it runs under a virtual X server via xvfb-run:
# the program works, but nothing is visible unless you take screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target kq7150fp

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/kq7150fp "$@"
fi
echo "run: no display found; starting under xvfb-run (virtual screen 1280x1024)" >&2
exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/kq7150fp "$@"
