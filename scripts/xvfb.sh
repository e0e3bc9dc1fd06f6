# Sourced by the scripts that need a display: starts a private Xvfb on the
# first free display number and exports DISPLAY; the server ends with the shell.
start_private_xvfb() {
  local n=91
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 +extension GLX -nolisten tcp -noreset >/tmp/qpedit-xvfb-$n.log 2>&1 &
  QP_XVFB_PID=$!
  trap 'kill "$QP_XVFB_PID" 2>/dev/null || true' EXIT
  export DISPLAY=":$n"
  for _ in $(seq 1 100); do
    if xdpyinfo >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  echo "xvfb: the private X server on $DISPLAY did not start (see /tmp/qpedit-xvfb-$n.log)" >&2
  return 1
}
