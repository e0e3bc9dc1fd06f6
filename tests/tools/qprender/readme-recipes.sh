#!/usr/bin/env bash
# Runs the README's qprender examples and its `git difftool` recipe as written, taken
# from the README itself: the examples in a scratch folder holding Particle.qtex,
# fire.QP and fire-old.QP, the recipe in a scratch git repository holding two versions
# of an effect, with HOME there too. Then the recipe again without the texture: it
# must fail visibly (qprender's message, no path, git difftool's status not 0).
# usage: readme-recipes.sh README QPRENDER QPTOOL TEXTURE
set -euo pipefail
readme=$(readlink -f "$1") qprender=$(readlink -f "$2") qptool=$(readlink -f "$3") texture=$(readlink -f "$4")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin"
ln -s "$(readlink -f "$qprender")" "$scratch/bin/qprender"
export PATH="$scratch/bin:$PATH" HOME="$scratch/home"
mkdir -p "$HOME"
fail() { echo "readme-recipes: $*" >&2; exit 1; }

# The examples on Particle.qtex and fire.QP, each line as the README prints it.
mkdir "$scratch/examples"
cd "$scratch/examples"
cp "$texture" Particle.qtex
"$qptool" new --preset fire fire.QP
"$qptool" new --preset fire fire-old.QP velocity=0.25
examples=$(grep -E '^qprender Particle\.qtex fire\.QP ' "$readme") || fail "no examples in $readme"
[ "$(wc -l <<<"$examples")" -ge 7 ] || fail "expected at least 7 examples, found: $examples"
while IFS= read -r line; do
  status=0
  bash -c "$line" >out.txt 2>err.txt || status=$?
  expected=0
  case "$line" in *--against*) expected=1 ;; esac
  [ "$status" -eq "$expected" ] || fail "'$line' exited $status, expected $expected: $(cat err.txt)"
done <<<"$examples"
for f in fire.png out/f001.png out/f060.png fire.gif fire.webp framed.png cmp.gif; do
  [ -s "$f" ] || fail "the examples didn't write $f"
done

# The difftool recipe in a repository with two versions of fire.QP.
recipe=$(grep -E '^git (config difftool\.qpeffect\.cmd|difftool )' "$readme") || fail "no difftool recipe in $readme"
[ "$(wc -l <<<"$recipe")" -eq 2 ] || fail "expected the two recipe lines, found: $recipe"
mkdir "$scratch/repo"
cd "$scratch/repo"
git init -q .
git config user.email test@example.com
git config user.name test
"$qptool" new --preset fire fire.QP
git add fire.QP && git commit -qm one
"$qptool" set fire.QP velocity=0.25
git commit -qam two
cp "$texture" "$HOME/Particle.qtex"
status=0
bash -c "$recipe" >out.txt 2>err.txt || status=$?
[ "$status" -eq 0 ] || fail "the recipe exited $status: $(cat err.txt)"
gif=$(tail -n 1 out.txt)
[ "$gif" = /tmp/fire.QP.gif ] || fail "the recipe printed '$gif', expected /tmp/fire.QP.gif"
[ "$(head -c 6 "$gif")" = GIF89a ] || fail "$gif is no GIF"
grep -q '^simulations: differ from frame ' out.txt || fail "no verdict: $(cat out.txt)"
rm -f "$gif"

# Without the texture the recipe fails where it can be seen.
rm "$HOME/Particle.qtex"
status=0
bash -c "$recipe" >out.txt 2>err.txt || status=$?
[ "$status" -ne 0 ] || fail "the recipe exited 0 without a texture"
grep -q "Particle.qtex: can't be read" err.txt || fail "qprender's message is missing: $(cat err.txt)"
if grep -q '\.gif$' out.txt; then fail "a path was printed for a GIF never made: $(cat out.txt)"; fi
[ ! -e "$gif" ] || fail "$gif exists"
echo "readme-recipes: the examples and the difftool recipe work as written"
