# Sourced by the scripts that need a display: starts a private Xvfb on a display number
# the server picks itself (-displayfd: it takes the first free one and writes its number
# once it accepts clients) and exports DISPLAY; the server ends with the shell.
start_private_xvfb() {
  local number_file log n=""
  number_file=$(mktemp "${TMPDIR:-/tmp}/qpedit-xvfb.XXXXXX")
  log=$number_file.log
  Xvfb -displayfd 3 -screen 0 1024x768x24 +extension GLX -nolisten tcp -noreset 3>"$number_file" >"$log" 2>&1 &
  QP_XVFB_PID=$!
  trap 'kill "$QP_XVFB_PID" 2>/dev/null || true; rm -f "'"$number_file"'" "'"$log"'"' EXIT
  for _ in $(seq 1 200); do
    n=$(cat "$number_file")
    if [ -n "$n" ] || ! kill -0 "$QP_XVFB_PID" 2>/dev/null; then break; fi
    sleep 0.05
  done
  if [ -z "$n" ]; then
    echo "xvfb: the private X server did not start (see $log)" >&2
    return 1
  fi
  export DISPLAY=":$n"
}
