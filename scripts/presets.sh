#!/usr/bin/env bash
# Remakes docs/presets.png: every `qptool presets` look as one row of frames at
# 300, 1000, 2000 and 3000 ms, rendered by qprender on the default texture and
# framed with --fit (aimed at the centre of the look's particles over those times,
# from the distance that holds them; the camera qprender chose is printed), the
# rows stacked top to bottom in the order `qptool presets` lists them. Needs no
# display. Installs ImageMagick (for stacking and labels) when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

if ! dpkg-query -W -f='${Status}' imagemagick 2>/dev/null | grep -q 'install ok installed'; then
  echo "presets: installing imagemagick"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends imagemagick
fi

qptool=build/tools/qptool/qptool
qprender=build/tools/qprender/qprender
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rows=()
for name in $("$qptool" presets | cut -d' ' -f1); do
  "$qptool" new --preset "$name" "$work/$name.QP"
  echo -n "presets: $name: "
  "$qprender" build/assets/Particle.qtex "$work/$name.QP" --size 200x150 --time 300,1000,2000,3000 \
    --sheet 4 --fit -o "$work/$name.png" 2>&1 | sed 's/^qprender: //'
  convert "$work/$name.png" -font "$font" -pointsize 16 -fill white -gravity northwest \
    -annotate +8+6 "$name" "$work/$name-label.png"
  rows+=("$work/$name-label.png")
done
mkdir -p docs
convert "${rows[@]}" -append -strip -define png:exclude-chunk=date,time "$work/presets.png"
mv "$work/presets.png" docs/presets.png
echo "presets: wrote docs/presets.png"
