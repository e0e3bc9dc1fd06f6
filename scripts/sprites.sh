#!/usr/bin/env bash
# Remakes the README's pictures of qprender. Needs no display (qprender renders
# offscreen).
#   docs/sprites.png: 24 frames of the default effect, 80 ms apart, as one sheet.
#   docs/compare.png: the default effect against one with faster, larger particles
#   fading to orange, as qprender --against lays them out (A | B | difference,
#   each labelled), one row per capture.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
qprender=build/tools/qprender/qprender
texture=build/assets/Particle.qtex
$qprender $texture --size 160x120 --frames 24 --interval 80 --sheet 8 -o docs/sprites.png

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
build/tools/qptool/qptool new "$scratch/before.QP"
build/tools/qptool/qptool new "$scratch/after.QP" velocity=0.3 size=0.03 endColor=1,0.5,0.1,0
# Run from the scratch folder, so that the panels' labels are the files' short names.
# Exit 1 says the two differ, as expected here; 2 would be trouble.
status=0
root=$(pwd)
(cd "$scratch" && "$root/$qprender" "$root/$texture" before.QP --against after.QP --size 240x180 \
  --time 300,1000 --sheet 1 -o "$root/docs/compare.png") || status=$?
[ "$status" -le 1 ]
