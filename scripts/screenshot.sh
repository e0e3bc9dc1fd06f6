#!/usr/bin/env bash
# Makes docs/editor.png: the editor on the default texture under a private Xvfb,
# with the edit menu open and a value being typed, grabbed by our own harness
# (tests/e2e/qp_screenshot: X11 XGetImage, written as PNG by tools/common).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake --build build --target qp_screenshot >/dev/null

. scripts/xvfb.sh
start_private_xvfb
export LIBGL_ALWAYS_SOFTWARE=1

mkdir -p docs
build/tests/e2e/qp_screenshot build/app/qpedit build/assets docs/editor.png
