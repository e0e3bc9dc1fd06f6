#!/usr/bin/env bash
# The studio's browser tests: builds the page (scripts/web.sh --build-only), then
# drives it in headless Chromium against the native qprender, qptool and qtex of the
# normal build in BUILD_DIR, and as that build's qpedit-web serves it. Ends with
# `N passed, N failed`; non-zero on failure.
#   scripts/test-web.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 1 ] || [ ! -x "$1/tools/qprender/qprender" ] || [ ! -x "$1/tools/qptool/qptool" ] ||
   [ ! -x "$1/tools/qtex/qtex" ] || [ ! -x "$1/tools/qpedit-web/qpedit-web" ]; then
  echo "usage: scripts/test-web.sh BUILD_DIR (a normal build with qprender, qptool, qtex and qpedit-web built)" >&2
  exit 2
fi
build=$(cd "$1" && pwd)

./scripts/web.sh --build-only --test-packages
# Debian's python3-selenium belongs to the system's python.
exec /usr/bin/python3 tests/web/test_studio.py "$build" build-web
