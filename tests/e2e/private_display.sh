# private_display.sh: sourced by the end-to-end tests that need an X server of their own (so
# that the windows and the pointer of tests running side by side never meet).
# start_private_display LOG [WxH]: starts Xvfb, with a screen of WxH pixels (1920x1200 when not
# given), on a display number it picks itself (-displayfd:
# race-free with servers started at the same moment), with -noreset (by default the server
# resets whenever its last client leaves, and a program that connects during the reset finds
# no display); waits until it answers, exports DISPLAY and sets xvfb to its process id (the
# caller kills it at exit). Returns 1, with the server's output on stderr, when it does not.
start_private_display() {
  local log=$1 screen=${2:-1920x1200} numbers n=
  numbers=$(mktemp /tmp/tumelora-display-XXXXXX)
  Xvfb -displayfd 3 -noreset -screen 0 "${screen}x24" -nolisten tcp +extension GLX 3>"$numbers" \
    >"$log" 2>&1 &
  xvfb=$!
  for _ in $(seq 300); do
    n=$(head -n1 "$numbers" 2>/dev/null)
    [ -n "$n" ] && break
    sleep 0.1
  done
  rm -f "$numbers"
  [ -n "$n" ] || { cat "$log" >&2; return 1; }
  export DISPLAY=":$n"
  for _ in $(seq 300); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  cat "$log" >&2
  return 1
}
