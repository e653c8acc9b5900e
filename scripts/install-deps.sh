#!/usr/bin/env bash
# Installs everything Pictora needs to build, test and benchmark on Debian 12.
# Idempotent: when every package is present it does nothing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  # libraries
  qt6-base-dev qt6-image-formats-plugins qt6-svg-dev qt6-translations-l10n libvips-dev libturbojpeg0-dev libjpeg62-turbo-dev
  # HEIF's colour profile read directly (libvips's loader loses it) and phone-like HEICs in the tests;
  # HEIF, AVIF, WebP and JPEG XL themselves are decoded through libvips (its libheif, libwebp, libjxl)
  libheif-dev
  # tests
  libgtest-dev googletest fonts-ipafont-gothic xvfb xauth chromium libvips-tools python3
  # the window driven under Xvfb (keys and mouse; screenshots of a step that times out)
  xdotool imagemagick
  # desktop integration after installing (update-desktop-database, update-mime-database, desktop-file-validate)
  desktop-file-utils shared-mime-info
  # the Debian package (dpkg-shlibdeps, file for CPack) and its checks
  dpkg-dev file lintian appstream
  # benchmarks
  hyperfine time libjpeg-turbo-progs
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
