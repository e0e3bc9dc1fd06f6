#!/usr/bin/env bash
# Fails, naming each file, when a tracked C++ file differs from what
# clang-format makes of it with the root .clang-format. Fix with:
#   clang-format -i $(git ls-files '*.cpp' '*.h')
set -euo pipefail
cd "$(dirname "$0")/.."
bad=0
while IFS= read -r f; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "check-format: $f is not formatted (clang-format -i $f)" >&2
    bad=1
  fi
done < <(git ls-files '*.cpp' '*.h')
[ "$bad" -eq 0 ] && echo "check-format: every C++ file is formatted"
exit "$bad"
