#!/usr/bin/env bash
# Makes the sample album's pictures (colourful patterns in several sizes and orientations).
# Usage: make-sample-pictures.sh FOLDER
set -euo pipefail
out=${1:?folder}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# picture NAME WIDTH HEIGHT HFREQ VFREQ: three sine patterns as red, green and blue.
picture() {
  local name=$1 w=$2 h=$3 hf=$4 vf=$5
  [ -f "$out/${name%%\[*}" ] && return 0
  vips sines "$tmp/r.v" "$w" "$h" --hfreq "$hf" --vfreq "$vf"
  vips sines "$tmp/g.v" "$w" "$h" --hfreq "$vf" --vfreq "$hf"
  vips zone "$tmp/z.v" "$w" "$h"
  for c in r g z; do vips linear "$tmp/$c.v" "$tmp/${c}8.v" 110 128 --uchar; done
  vips bandjoin "$tmp/r8.v $tmp/g8.v $tmp/z8.v" "$tmp/rgb.v"
  vips copy "$tmp/rgb.v" "$tmp/rgb2.v" --interpretation srgb
  vips copy "$tmp/rgb2.v" "$out/$name"
}

picture "01_landscape.jpg[Q=90,strip]" 1600 1200 2 1
picture "02_portrait.jpg[Q=90,strip]" 900 1200 1 3
picture "03_square.png" 800 800 3 3
picture "04_wide.jpg[Q=90,strip]" 2000 800 4 1
picture "05_small.jpg[Q=90,strip]" 320 240 1 1
picture "06_tall.tif" 600 1000 2 5
