#!/usr/bin/env bash
# help-for-man.sh TOOL OPTION...: runs TOOL with OPTION and, for --help, passes its text on
# in the layout help2man turns into a manual page: "usage:" becomes "Usage:" and the further
# usage lines "  or: ..." (together the SYNOPSIS); an "Options:" heading goes before the
# first list of terms (a term, two blanks and its meaning), or before the "word:" heading
# right above that list, so the list lands in OPTIONS. The words stay the tool's own, so
# the pages follow the tools' options.
set -euo pipefail
tool=$1
shift
if [ "${1:-}" != --help ]; then
  exec "$tool" "$@"
fi

text=$("$tool" --help)
mapfile -t lines <<<"$text"

list_re='^ *[^ ]+( [^ ]+){0,2}  +[^ ]'
heading_re='^[a-z][a-z ]*:$'
at=-1
usage_end=${#lines[@]}
past_usage=0
for i in "${!lines[@]}"; do
  line=${lines[$i]}
  if [ "$past_usage" -eq 0 ]; then
    if [ -z "$line" ]; then
      past_usage=1
      usage_end=$i
    fi
    continue
  fi
  if [[ $line =~ $list_re ]]; then
    at=$i
    if [ "$i" -gt 0 ] && [[ ${lines[$((i - 1))]} =~ $heading_re ]]; then at=$((i - 1)); fi
    break
  fi
done

# From the options on, a term at the start of a line whose meaning goes on in indented lines
# ("dump  prints ...") is indented with its lines, as help2man wants a tagged paragraph.
shift_by=0
for i in "${!lines[@]}"; do
  line=${lines[$i]}
  if [ "$i" -eq 0 ]; then
    line=${line/#usage:/Usage:}
  elif [ "$i" -lt "$usage_end" ] && [[ $line =~ ^\ +([^ ].*)$ ]]; then
    line="  or: ${BASH_REMATCH[1]}"
  elif [ "$at" -ge 0 ] && [ "$i" -ge "$at" ]; then
    next=${lines[$((i + 1))]:-}
    if [[ $line =~ ^[^\ ] ]] && [[ $next =~ ^(\ +)[^\ ] ]]; then
      indent=${#BASH_REMATCH[1]}
      tag=${line:0:indent}
      tag=${tag%"${tag##*[! ]}"}
      if [ "${line:indent-1:1}" = " " ] && [ "${line:indent:1}" != " " ] && [[ $tag != *" "* ]]; then
        width=$((indent > ${#tag} + 2 ? indent : ${#tag} + 2))
        shift_by=$((width + 2 - indent))
        line=$(printf '  %-*s%s' "$width" "$tag" "${line:indent}")
      else
        shift_by=0
      fi
    elif [[ $line =~ ^\ +[^\ ] ]] && [ "$shift_by" -gt 0 ]; then
      line=$(printf '%*s%s' "$shift_by" "" "$line")
    else
      shift_by=0
    fi
  fi
  if [ "$i" -eq "$at" ]; then
    if [ "$i" -gt 0 ] && [ -n "${lines[$((i - 1))]}" ]; then echo; fi
    echo "Options:"
  fi
  printf '%s\n' "$line"
done
