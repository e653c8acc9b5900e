#!/usr/bin/env bash
# Takes docs/screenshots/about.png under a virtual X server with the Japanese font installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PICTORA_BUILD_DIR:-$root/build}
mkdir -p "$root/docs/screenshots"
xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb \
  "$build/tests/ui/about_screenshot" "$root/docs/screenshots/about.png"
echo "$root/docs/screenshots/about.png"
