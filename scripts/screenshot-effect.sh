#!/usr/bin/env bash
# Takes docs/screenshots/effect.png: the real window under a virtual X server, a mosaic put on a
# rectangle of a sample picture from the effect menu, the main window beside the preview.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PICTORA_BUILD_DIR:-$root/build}
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
"$root/scripts/make-sample-pictures.sh" "$pictures"
mkdir -p "$root/docs/screenshots"
python3 "$root/tools/effect_screenshot.py" --pictora "$build/app/pictora" --pictures "$pictures" \
  --out "$root/docs/screenshots/effect.png"
