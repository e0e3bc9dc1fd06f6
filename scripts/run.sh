#!/usr/bin/env bash
# Sets everything up (scripts/setup.sh), builds only what the editor needs (qpedit and
# its default assets; test.sh builds the rest in the same build/) and starts the editor
# on the default texture, in build/assets where the generated Font.QF lives:
#   scripts/run.sh              edits a new effect, saved as build/assets/Out.QP
#   scripts/run.sh fire.QP      loads fire.QP if it is an effect file, and saves to it
set -euo pipefail
here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh" qpedit assets

if [ -z "${DISPLAY:-}" ]; then
  cat >&2 <<'TEXT'
run: the editor is built, but there is no display (DISPLAY is not set), so it has
nowhere to open its window.
Run it from a desktop session, or try it headless under a virtual X server:
  xvfb-run -a -s "-screen 0 1024x768x24" scripts/run.sh
(nothing is shown then; scripts/screenshot.sh drives the editor under Xvfb and
 saves what it looks like to docs/editor.png)
TEXT
  exit 1
fi

args=("$root/build/assets/Particle.qtex")
if [ $# -ge 1 ]; then
  # The editor runs in build/assets, so a relative effect name is made absolute
  # to mean the file the user named from where they stand.
  case "$1" in
    /*) args+=("$1") ;;
    *) args+=("$here/$1") ;;
  esac
fi

cd "$root/build/assets"
exec "$root/build/app/qpedit" "${args[@]}"
