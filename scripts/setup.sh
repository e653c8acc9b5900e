#!/usr/bin/env bash
# Installs what is missing, builds, and makes the bundled sample album.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
echo "Built: $root/build/app/pictora"
