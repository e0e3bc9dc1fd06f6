#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, fuzz and run,
# then configures and builds the normal build in build/. Safe to run again:
# only packages that are missing are installed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config
  libgtest-dev libbenchmark-dev
  libsdl2-dev libx11-dev libxtst-dev libxdamage-dev libgl-dev libegl-dev libgl1-mesa-dri libglx-mesa0 libegl-mesa0
  libpng-dev libgif-dev libwebp-dev libfreetype-dev fonts-dejavu-core
  xvfb x11-utils git
  clang libclang-rt-14-dev clang-format
  help2man groff-base dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
      echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# CMAKE_EXTRA adds configure options to the normal build (the test command turns
# warnings into errors with it).
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release ${CMAKE_EXTRA:-} >/dev/null
cmake --build build -j "$(nproc)"
