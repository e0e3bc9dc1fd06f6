#!/usr/bin/env bash
# complete.sh FILE WORD... : loads bash-completion and the completion FILE as an interactive
# shell would on the first Tab, then completes the last WORD of the command line WORD...
# (an empty last word completes from nothing) and prints what bash would offer, one per line,
# sorted. Runs in the current folder, with the PATH it is given.
set -uo pipefail
file=$1
shift
. /usr/share/bash-completion/bash_completion
. "$file"
# Display options (no space after the word, ...) mean nothing outside a real Tab.
compopt() { :; }
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
COMP_LINE="$*"
COMP_POINT=${#COMP_LINE}
registered=$(complete -p "$1") || exit 1
function=${registered##*-F }
function=${function%% *}
"$function" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
if [ "${#COMPREPLY[@]}" -gt 0 ]; then printf '%s\n' "${COMPREPLY[@]}" | sort; fi
