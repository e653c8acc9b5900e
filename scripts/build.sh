#!/usr/bin/env bash
# Configures and builds Pictora into build/ (warnings are errors here, so the build stays clean).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PICTORA_BUILD_DIR:-$root/build}
launcher=()
# Rebuilds in several work trees share one compiler cache when the machine has one.
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPICTORA_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
