#!/usr/bin/env bash
# Fails, naming the file and the include, when a source folder includes a header
# from a floor above it or beside it. The floors, top to bottom:
#   app/ and tools/  ->  effect/  ->  particles/, resources/, platform/  ->  math/
# and files/ (reading and replacing whole files) below them all, including nothing.
# A tool includes tools/common/ and its own folder, never app/ or another tool's
# folder. Only platform/ includes SDL, X11 or EGL. No tool links the editor's
# libraries. Tests, benchmarks and fuzz targets are not checked.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=0

files=$(git ls-files 'files/*' 'math/*' 'platform/*' 'particles/*' 'resources/*' 'effect/*' 'app/*' 'tools/*' | grep -E '\.(cpp|h)$')
# One pass over every include line ("file:line:text"): the folder a file belongs
# to decides the floors it may include from, besides its own.
# shellcheck disable=SC2086
if ! grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' $files | awk -F: '
    {
        file = $1; line = $2; text = substr($0, length($1) + length($2) + 3)
        n = split(file, part, "/")
        dir = (part[1] == "tools" && n > 2) ? part[1] "/" part[2] : part[1]
        if (dir == "files") allowed = "files"
        else if (dir == "math") allowed = "math files"
        else if (dir == "particles" || dir == "resources" || dir == "platform") allowed = dir " math files"
        else if (dir == "effect") allowed = "effect particles resources platform math files"
        else if (dir == "app") allowed = "app effect particles resources platform math files"
        else if (dir == "tools/common") allowed = "tools/common effect particles resources platform math files"
        else allowed = dir " tools/common effect particles resources platform math files"
        if (match(text, /"[^"]*"/)) {
            header = substr(text, RSTART + 1, RLENGTH - 2)
            if (index(header, "/") == 0) next  # a header beside the file
            ok = 0
            k = split(allowed, floors, " ")
            for (i = 1; i <= k; ++i)
                if (index(header, floors[i] "/") == 1) ok = 1
            if (!ok) {
                printf "check-layers: %s:%s includes \"%s\", above or beside its floor (%s may use: %s)\n", file, line, header, dir, allowed
                bad = 1
            }
        } else if (dir != "platform" && match(text, /<(SDL|X11\/|EGL\/)[^>]*>/)) {
            printf "check-layers: %s:%s includes %s; only platform/ talks to SDL, X11 or EGL\n", file, line, substr(text, RSTART, RLENGTH)
            bad = 1
        }
    }
    END { exit bad }' >&2; then
    bad=1
fi

# The tools stand beside the editor: none links its libraries.
while IFS= read -r list; do
    if grep -nE '\bq(editor|editorsession|app)\b' "$list" >/dev/null; then
        echo "check-layers: $list links an editor library: $(grep -nE '\bq(editor|editorsession|app)\b' "$list" | head -1)" >&2
        bad=1
    fi
done < <(git ls-files 'tools/*CMakeLists.txt')

[ "$bad" -eq 0 ] && echo "check-layers: every include and link keeps to its floor"
exit "$bad"
