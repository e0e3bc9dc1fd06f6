#!/usr/bin/env bash
# install-test.sh BUILD_DIR VERSION [unfortified]: installs the built project into a scratch
# DESTDIR under a prefix of its own and builds its Debian package, then checks both as a user
# meets them.
# "unfortified" says the build doesn't optimize, so its programs can't have fortified libc
# calls. Every failed check prints one line; the exit code is 1 when any failed.
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
fortify=${3:-fortified}
lintian_unfortified=()
hardening_unfortified=()
if [ "$fortify" = unfortified ]; then
  lintian_unfortified=(--suppress-tags hardening-no-fortify-functions)
  hardening_unfortified=(--nofortify)
fi
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qpedit-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() {
  echo "install test: $*" >&2
  failures=$((failures + 1))
}
# expect WHAT EXPECTED ACTUAL
expect() {
  if [ "$2" != "$3" ]; then fail "$1: expected '$2', got '$3'"; fi
}

tools=(qtex qfont llpack qprender qptool qpedit-web)
# The studio page is installed when the build made it (QP_WEB).
web=$(sed -n 's/^QP_WEB:BOOL=//p' "$build/CMakeCache.txt")
programs=(qpedit qpedit-here "${tools[@]}")
# Every file an install holds, relative to the prefix.
expected_files() {
  local p
  for p in "${programs[@]}"; do echo "bin/$p"; done
  for p in "${programs[@]}"; do echo "share/man/man1/$p.1.gz"; done
  for p in "${programs[@]}"; do echo "share/bash-completion/completions/$p"; done
  echo share/doc/qpedit/README.md
  echo share/doc/qpedit/changelog.gz
  echo share/doc/qpedit/copyright
  (cd "$source_dir" && grep -o 'docs/[a-z]*\.png' README.md | sort -u | sed 's|^|share/doc/qpedit/|')
  echo share/lintian/overrides/qpedit
  echo share/qpedit/Font.QF
  echo share/qpedit/Particle.qtex
  if [ "$web" = ON ]; then
    (cd "$source_dir/web/studio" && ls) | sed 's|^|share/qpedit/web/|'
    echo share/qpedit/web/qpstudio.mjs
    echo share/qpedit/web/qpstudio.wasm
  fi
}

# --- cmake --install with a prefix and DESTDIR ------------------------------------------
prefix=/opt/qpedit-test
dest=$scratch/dest
DESTDIR=$dest cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log" >&2; fail "cmake --install failed"; exit 1; }
root=$dest$prefix
expect "files under DESTDIR" "$(expected_files | sed "s|^|${prefix#/}/|" | sort)" \
  "$(cd "$dest" && find . ! -type d | sed 's|^\./||' | sort)"

# Installed text must not point back into the build or the source tree.
for f in "$root"/bin/qpedit-here "$root"/share/doc/qpedit/README.md "$root"/share/man/man1/*.gz; do
  if zcat -f "$f" | grep -q -e "$build" -e "$source_dir"; then fail "$f names the build or source folder"; fi
done

# --- the installed programs -------------------------------------------------------------
for t in "${tools[@]}" qpedit-here; do
  expect "$t --version" "$t (qpedit) $version" "$("$root/bin/$t" --version 2>&1 || true)"
done

# A render of the installed texture by the installed qprender is the build tree's render.
mkdir "$scratch/render"
(cd "$scratch/render" &&
  "$root/bin/qprender" "$root/share/qpedit/Particle.qtex" -o installed.png --context egl --size 64x48 &&
  "$build/tools/qprender/qprender" "$build/assets/Particle.qtex" -o built.png --context egl --size 64x48) \
  >"$scratch/render.log" 2>&1 || { cat "$scratch/render.log" >&2; fail "qprender failed"; }
if ! cmp -s "$scratch/render/installed.png" "$scratch/render/built.png"; then
  fail "installed qprender's picture differs from the build tree's"
fi
expect "picture header" "89504e470d0a1a0a" "$(od -An -tx1 -N8 "$scratch/render/installed.png" 2>/dev/null | tr -d ' \n')"

# qpedit-here: copies the installed Font.QF into an empty folder, then runs the editor,
# which (with no display at all) can't open its window and exits with 1.
here=$scratch/here
mkdir "$here"
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER)
status=0
(cd "$here" && "${headless[@]}" "$root/bin/qpedit-here" fire.QP) >"$scratch/here.log" 2>&1 || status=$?
expect "qpedit-here without a display: exit code" 1 "$status"
grep -q "^qpedit-here: copied Font.QF into $here\$" "$scratch/here.log" || fail "no copy message: $(cat "$scratch/here.log")"
grep -q "^Error: " "$scratch/here.log" || fail "the editor's window error is missing: $(cat "$scratch/here.log")"
cmp -s "$root/share/qpedit/Font.QF" "$here/Font.QF" || fail "qpedit-here's Font.QF isn't the installed one"
expect "files qpedit-here leaves" "Font.QF" "$(ls -A "$here")"
# A Font.QF already in the folder is the user's: it stays as it is.
echo mine >"$here/Font.QF"
(cd "$here" && "${headless[@]}" "$root/bin/qpedit-here") >/dev/null 2>&1 || true
expect "the user's Font.QF after qpedit-here" mine "$(cat "$here/Font.QF")"
status=0
(cd "$here" && "$root/bin/qpedit-here" a.QP b.QP) >/dev/null 2>&1 || status=$?
expect "qpedit-here with two effects: exit code" 2 "$status"
# Without the installed files beside it, it says which one is missing.
mkdir -p "$scratch/lonely/bin"
cp "$root/bin/qpedit-here" "$scratch/lonely/bin/"
status=0
message=$("$scratch/lonely/bin/qpedit-here" 2>&1) || status=$?
expect "lone qpedit-here: exit code" 1 "$status"
expect "lone qpedit-here: message" "qpedit-here: $scratch/lonely/bin/qpedit is missing; reinstall qpedit" "$message"

# qpedit-web serves the installed page it finds beside bin/, to requests with its token only.
if [ "$web" = ON ]; then
  web_check=$(python3 - "$root" <<'PY' 2>&1
import subprocess, sys, urllib.error, urllib.request
root = sys.argv[1]
server = subprocess.Popen([root + '/bin/qpedit-web', '--no-browser'], stdout=subprocess.PIPE, text=True)
try:
    address = server.stdout.readline().split()[2]
    with urllib.request.urlopen(address, timeout=10) as reply, open(root + '/share/qpedit/web/index.html', 'rb') as f:
        if reply.read() != f.read():
            print('its index.html is not the installed one')
    try:
        urllib.request.urlopen(address.split('?')[0], timeout=10)
        print('a request without the token was answered')
    except urllib.error.HTTPError as refused:
        if refused.code != 403:
            print(f'a request without the token got {refused.code}, not 403')
finally:
    server.terminate()
PY
  )
  expect "installed qpedit-web" "" "$web_check"
fi

# --- manual pages -----------------------------------------------------------------------
for page in "$root"/share/man/man1/*.1.gz; do
  name=$(basename "$page" .1.gz)
  warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
  expect "$name.1 warnings" "" "$warnings"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES; do
    zcat "$page" | grep -Eq "^\.SH \"?$section\"?\$" || fail "$name.1 has no $section section"
  done
  expect "$name.1 source" "qpedit $version" "$(zcat "$page" | sed -n 's/^\.TH [^ ]* "\?1"\? "[^"]*" "\([^"]*\)".*/\1/p')"
  expect "$name.1 date (the source's)" "$(LC_ALL=C date -u -d "@$(cat "$build/source-date-epoch")" '+%B %Y')" \
    "$(zcat "$page" | sed -n 's/^\.TH [^ ]* "\?1"\? "\([^"]*\)".*/\1/p')"
done

# --- shell completion ---------------------------------------------------------------------
# Each program's completion, loaded as bash-completion loads it, offers the right words
# (the presets from the installed qptool itself) and files of the right kind.
words=$scratch/words
mkdir -p "$words/folder"
(cd "$words" && touch fire.QP map.qtex photo.png mono.ttf Out.QF assets.pak notes.txt)
# completes WHAT EXPECTED WORD...: the candidates for the last WORD, on one line.
completes() {
  local what=$1 expected=$2
  shift 2
  expect "completion of $what" "$expected" \
    "$(cd "$words" && PATH="$root/bin:$PATH" bash "$source_dir/tests/install/complete.sh" \
      "$root/share/bash-completion/completions/$1" "$@" 2>&1 | tr '\n' ' ')"
}
completes "qpedit's texture" "folder map.qtex " qpedit ''
completes "qpedit's effect" "fire.QP folder " qpedit map.qtex ''
completes "qpedit-here's options" "--help --version " qpedit-here --
completes "qtex's input" "folder photo.png " qtex ''
completes "qtex --png's input" "folder map.qtex " qtex --png ''
completes "qtex's options" "--particle --png " qtex --p
completes "qfont's font" "folder mono.ttf " qfont --size 12 ''
completes "qfont's output" "Out.QF folder " qfont mono.ttf ''
completes "llpack's commands" "--help --version create extract list " llpack ''
completes "llpack's archive" "assets.pak folder " llpack list ''
completes "qprender's contexts" "auto egl sdl " qprender map.qtex --context ''
completes "qprender's output" "folder photo.png " qprender map.qtex --output ''
completes "qprender's effect" "fire.QP folder " qprender map.qtex ''
completes "qpedit-web's options" "--help --no-browser --page --version " qpedit-web --
completes "qpedit-web's effect" "fire.QP folder " qpedit-web --page folder ''
completes "qptool's commands" "--help --version diff dump new presets set " qptool ''
completes "qptool's presets" "$("$root/bin/qptool" presets | cut -d' ' -f1 | sort | tr '\n' ' ')" \
  qptool new --preset ''
completes "qptool's fields" "cone= coneAngle= coneDirection= " qptool set fire.QP co
completes "qptool's cone values" "cone=off cone=on " qptool new fire.QP cone=

# --- the Debian package -----------------------------------------------------------------
# Built twice, the second time with another umask, time zone and locale: the two must be
# the same bytes.
cpack --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; exit 1; }
deb=$scratch/pkg/qpedit_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { fail "no $deb: $(ls "$scratch/pkg")"; exit 1; }
(umask 027 && TZ=Pacific/Kiritimati LC_ALL=C.UTF-8 cpack --config "$build/CPackConfig.cmake" -B "$scratch/pkg2") \
  >"$scratch/cpack2.log" 2>&1 || { cat "$scratch/cpack2.log" >&2; fail "second cpack failed"; }
if ! cmp "$deb" "$scratch/pkg2/$(basename "$deb")" >&2; then
  fail "two packages of one build differ: $(diff <(dpkg-deb -c "$deb") <(dpkg-deb -c "$scratch/pkg2/$(basename "$deb")") | head -n 4)"
fi
expect "package time stamps" "$(date -u -d "@$(cat "$build/source-date-epoch")" '+%Y-%m-%d %H:%M')" \
  "$(TZ=UTC dpkg-deb -c "$deb" | awk '{ print $4 " " $5 }' | sort -u)"

# lintian, pedantic and with its informational notes, finds nothing (the package's own
# overrides answer what it questions about the programs' texts).
# (Its warning about being run as root, on standard error, is about the test's user.)
lintian_says=$(lintian --pedantic --info --display-info --fail-on error,warning,info,pedantic \
  "${lintian_unfortified[@]}" "$deb" 2>"$scratch/lintian.log") || fail "lintian failed: $(cat "$scratch/lintian.log")"
expect "lintian" "" "$lintian_says"
expect "Package" qpedit "$(dpkg-deb -f "$deb" Package)"
expect "Version" "$version" "$(dpkg-deb -f "$deb" Version)"
expect "package files" "$(expected_files | sed 's|^|usr/|' | sort)" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort)"

unpacked=$scratch/unpacked
dpkg-deb -x "$deb" "$unpacked"
expect "unpacked qptool --version" "qptool (qpedit) $version" "$("$unpacked/usr/bin/qptool" --version 2>&1 || true)"

# Every packaged program is hardened: PIE, stack protector, fortified libc calls, full RELRO
# and immediate binding. Control-flow protection is compiled in but can't show: the C
# library's start files on Debian 12 lack its mark, so no program linked there carries it.
for f in "$unpacked"/usr/bin/*; do
  if [ "$(head -c 4 "$f" | od -An -c | tr -d ' ')" != '177ELF' ]; then continue; fi
  report=$(hardening-check --quiet --nocfprotection "${hardening_unfortified[@]}" "$f" 2>&1) ||
    fail "$(basename "$f") is not hardened: $report"
done

# Depends names a library's package exactly when a packaged program links that library.
needed=$(for f in "$unpacked"/usr/bin/*; do readelf -d "$f" 2>/dev/null || true; done | grep NEEDED || true)
depends=$(dpkg-deb -f "$deb" Depends)
for pair in "libSDL2:libsdl2-" "libpng:libpng" "libfreetype:libfreetype" "libgif:libgif" "libwebp:libwebp"; do
  lib=${pair%%:*}
  package=${pair#*:}
  linked=no
  listed=no
  if grep -q "\[$lib" <<<"$needed"; then linked=yes; fi
  if grep -Eq "(^|, )$package" <<<"$depends"; then listed=yes; fi
  expect "Depends has $package (a program links $lib: $linked; Depends: $depends)" "$linked" "$listed"
done
for lib in libSDL2 libpng libfreetype; do
  grep -q "\[$lib" <<<"$needed" || fail "no packaged program links $lib"
done

if [ "$failures" -gt 0 ]; then
  echo "install test: $failures check(s) failed" >&2
  exit 1
fi
echo "install test: every check passed"
