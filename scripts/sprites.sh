#!/usr/bin/env bash
# Remakes docs/sprites.png: 24 frames of the default effect, 80 ms apart, as one sheet.
# Needs no display (qprender renders offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build/tools/qprender/qprender build/assets/Particle.qtex --size 160x120 --frames 24 --interval 80 \
  --sheet 8 -o docs/sprites.png
