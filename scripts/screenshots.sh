#!/usr/bin/env bash
# Takes the README's pictures of the windows (docs/screenshots/tab-1.png to tab-7.png and
# about.png) under a virtual X server with the Japanese font installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PICTORA_BUILD_DIR:-$root/build}
mkdir -p "$root/docs/screenshots"
xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
  "$build/tools/window_screenshots" "$root/docs/screenshots"
ls "$root/docs/screenshots"/tab-*.png "$root/docs/screenshots/about.png"
