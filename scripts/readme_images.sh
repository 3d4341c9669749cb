#!/usr/bin/env bash
# Refreshes the README's pictures from the end-to-end suite's screenshots: runs the suite in
# build/ and crops each chosen screenshot to its windows (the virtual screen around them is black),
# or to the region given after its name (WIDTHxHEIGHT+X+Y of the screen it ran on: 1280 x 1024,
# 1366 x 768 for small_screen_*).
set -euo pipefail
cd "$(dirname "$0")/.."
(cd build && ctest -L e2e --output-on-failure >/dev/null)
shots=build/screenshots/e2e
mkdir -p docs/images
while read -r image shot region; do
  if [ -n "$region" ]; then
    convert "$shots/$shot.png" -crop "$region" +repage "docs/images/$image.png"
  else
    convert "$shots/$shot.png" -trim +repage "docs/images/$image.png"
  fi
done <<'LIST'
card-tree auto_find_vxi-tree
address enter_address_lxi-address
waveforms acquire_untriggered_then_triggered-single-shot
spectrum acquire_untriggered_then_triggered-spectrum
function-cards configure_save_open-card1-reference
acquisition acquire_untriggered_then_triggered-settings
storage-dialog continuous_binary-dialog
storage-formats continuous_flac-formats 471x169+394+388
storing continuous_binary-storing
storing-ended disk_full_binary_configuration-full
playback playback_blocks-block2
playback-controls open_recording-paused 1120x34+40+741
measurements acperf_measurements-measurements
calibration calibrate_channel_then_all-all-during
about about_dialog-first-page
scus scu_plugin-scus
cursors waveform_legend_cursors-cursors 1095x585+34+318
traces waveform_legend_cursors-menu 450x235+34+655
configuration-menu configure_save_open-file-menu 400x185+26+182
configuration-mismatches configuration_other_cards-mismatches 506x214+377+365
small-screen small_screen_1366x768-waveforms 1227x753+69+12
LIST
echo "docs/images refreshed from $shots"
