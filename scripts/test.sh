#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, runs every CTest suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${PICTORA_BUILD_DIR:-$root/build}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 1200
