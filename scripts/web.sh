#!/usr/bin/env bash
# Builds the studio, the engine compiled to WebAssembly with its page, into
# build-web/ (index.html beside qpstudio.wasm), then serves it on 127.0.0.1 on a
# free port and prints the address, opening a browser when there is a display.
#   scripts/web.sh [--build-only] [--test-packages]
# Installs emscripten (Debian's) when it is missing, as setup.sh installs the rest;
# --test-packages also what the browser tests need (Chromium, its WebDriver, Selenium).
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
packages=(emscripten cmake python3)
for arg in "$@"; do
  case "$arg" in
    --build-only) build_only=1 ;;
    --test-packages) packages+=(chromium chromium-driver python3-selenium) ;;
    -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "web.sh: unknown option '$arg' (try --build-only)" >&2; exit 1 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "web: installing ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
      echo "web: need root or sudo to install: ${missing[*]}" >&2; exit 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian's emscripten runs its tools with whatever node is first on PATH; that one
# may not search Debian's node modules.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
emcmake cmake -S web -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j "$(nproc)"
echo "web: the studio is in build-web/ (index.html, qpstudio.wasm)"
[ "$build_only" -eq 1 ] && exit 0

python3 web/serve.py build-web | while IFS= read -r line; do
  echo "$line"
  address=${line#*: }
  address=${address%% *}
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && command -v xdg-open >/dev/null 2>&1; then
    xdg-open "$address" >/dev/null 2>&1 &
  fi
done
