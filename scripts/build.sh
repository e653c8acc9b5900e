#!/usr/bin/env bash
# Configures and builds Pictora into build/ (warnings are errors here, so the build stays clean).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PICTORA_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPICTORA_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
