#!/usr/bin/env bash
# Installs what is missing, builds, and makes the bundled sample album.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

pictora=$root/build/app/pictora
samples=$root/samples
# The sample project names its pictures and its output folder relative to the samples folder.
"$root/scripts/make-sample-pictures.sh" "$samples/pictures"
cd "$samples"
"$pictora" --make sample.pxa --no-html-folder --yes --quiet --author "sample@pictora.example.org" >/dev/null
echo
echo "The sample album is ready. Open its cover page in a browser:"
echo "  $samples/album/index.htm"
echo
echo "Make an album of your own pictures with the command line:"
echo "  $pictora --new my.pxa ~/Pictures --title 'My album' --out ~/album"
echo "  $pictora --make my.pxa --no-html-folder --yes --open"
echo "'$pictora --help' lists everything the command line does."
echo
echo "Start the window (no options):"
echo "  $pictora"
