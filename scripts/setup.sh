#!/usr/bin/env bash
# setup.sh [TARGET...]: installs every Debian package the project needs to build, test,
# fuzz, package and run, then configures the normal build in build/ and builds TARGET
# (everything when none is named). Safe to run again: only packages that are missing are
# installed, and run.sh and test.sh configure build/ the same way, so neither rebuilds
# what the other built.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config
  libgtest-dev libbenchmark-dev
  libsdl2-dev libx11-dev libxtst-dev libxdamage-dev libgl-dev libegl-dev libgl1-mesa-dri libglx-mesa0 libegl-mesa0
  libpng-dev libgif-dev libwebp-dev libfreetype-dev fonts-dejavu-core
  xvfb x11-utils git
  clang clang-format
  help2man groff-base dpkg-dev file
  lintian devscripts bash-completion
  emscripten
)

updated=no
# install_missing PACKAGE...: installs the ones that are missing.
install_missing() {
  local p missing=()
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ "${#missing[@]}" -gt 0 ] || return 0
  echo "setup: installing ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
      echo "setup: need root or sudo to install: ${missing[*]}" >&2
      exit 1
    fi
  fi
  if [ "$updated" = no ]; then
    $sudo apt-get update -qq
    updated=yes
  fi
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

install_missing "${packages[@]}"
# The fuzz build links clang's own runtime (libFuzzer, the sanitizers): the one of the
# clang now installed, whatever its version.
clang_major=$(clang -dumpversion | cut -d. -f1)
install_missing "libclang-rt-$clang_major-dev"

# CMAKE_EXTRA adds configure options to the normal build. Warnings are errors in every
# build of the project's scripts (the test command's rule), so run.sh's build/ is the
# one test.sh tests.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQP_WERROR=ON ${CMAKE_EXTRA:-} >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j "$(nproc)" "${targets[@]}"
