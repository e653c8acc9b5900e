#!/usr/bin/env bash
# Builds a Release Debian package of Pictora in build-package/ and prints its path as the last line.
# Run scripts/setup.sh (or scripts/install-deps.sh) once before, for the tools it needs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PICTORA_PACKAGE_DIR:-$root/build-package}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# Debian's hardening flags (fortified functions, stack protector, read-only relocations). Not
# -Werror here: a newer compiler's new warning must not stop a package build.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CFLAGS=$(dpkg-buildflags --get CFLAGS) CXXFLAGS=$(dpkg-buildflags --get CXXFLAGS) \
  CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS) LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS" LDFLAGS
# The module goes to the package's own folder /usr/lib/<architecture>/pictora; the caches are left
# to the triggers of the machine that installs the package.
cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=Release \
  -DPICTORA_BUILD_TESTS=OFF -DPICTORA_BUILD_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DPICTORA_REFRESH_DESKTOP_CACHES=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/pictora_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/pictora_*.deb)
if command -v lintian >/dev/null; then
  lintian --fail-on error "$package" >&2
fi
echo "$package"
