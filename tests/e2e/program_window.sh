#!/usr/bin/env bash
# program_window.sh TUMELORA_BINARY: the real program under a display. "w" opens a window
# captioned "TUMELORA"; without a main state it shows the "Error" box, which closes on
# Return, and ends with exit code 0. Every wait is bounded; exit 77 means skipped.
set -uo pipefail
bin=$(readlink -f "$1")
[ -x "$bin" ] || { echo "no program at $bin" >&2; exit 1; }
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "skipped: no display" >&2
  exit 77
fi
command -v xdotool >/dev/null || { echo "xdotool missing" >&2; exit 1; }
work=$(mktemp -d /tmp/tumelora-e2e-XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/err" ] && sed 's/^/  stderr: /' "$work/err" >&2; exit 1; }

# Polls (0.1 s steps, at most $1 tenths) for a window whose name is exactly $2; prints its id.
find_window() {
  local tenths=$1 name=$2 id
  for _ in $(seq "$tenths"); do
    id=$(xdotool search --name "^${name}\$" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Like find_window, through xwininfo: SDL types the box's WM_NAME in a way xdotool cannot
# decode (it reads _NET_WM_NAME fine, xdotool only WM_NAME).
find_box() {
  local tenths=$1 name=$2 id
  for _ in $(seq "$tenths"); do
    id=$(xwininfo -root -tree 2>/dev/null | awk -v n="\"$name\":" 'index($0, " " n " ") {print $1; exit}')
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits (at most $1 tenths of a second) for the started program to end; sets rc.
wait_exit() {
  for _ in $(seq "$1"); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; rc=$?; pid=; return 0; }
    sleep 0.1
  done
  return 1
}

# A device that always opens, so the only sound message is the missing music's.
export SDL_AUDIODRIVER=dummy
# The sanitizer test stage's preload keeps the OpenGL driver loaded until the leak check: for
# the program only, never for the tools.
program_env=()
[ -n "${TUMELORA_SANITIZER_PRELOAD:-}" ] && program_env=("LD_PRELOAD=$TUMELORA_SANITIZER_PRELOAD")

# 1. With the box: window and box appear, Return closes the box, the program ends.
cd "$work"
env -u TUMELORA_NO_ERROR_BOX "${program_env[@]}" "$bin" w 2>"$work/err" &
pid=$!
main_window=$(find_window 600 TUMELORA) || fail "no window named TUMELORA"
# The empty folder has no music either: "Can't load music" comes first, in its own box.
audio_box=$(find_box 600 "Audio error") || fail "no error box named Audio error"
xdotool windowfocus --sync "$audio_box" 2>/dev/null || xdotool windowfocus "$audio_box"
xdotool key --clearmodifiers Return
box=$(find_box 600 Error) || fail "no error box named Error"
[ "$(printf %d "$box")" != "$main_window" ] || fail "the box is the main window"
xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box"
xdotool key --clearmodifiers Return
wait_exit 600 || fail "the program did not end after Return closed the box"
[ "$rc" -eq 0 ] || fail "exit code $rc, expected 0"
grep -qxF "Error: Couldn't initialize MainState." "$work/err" || fail "message missing on stderr"

# 2. A signal while the box shows ends the program, the box with it.
env -u TUMELORA_NO_ERROR_BOX "${program_env[@]}" "$bin" w 2>"$work/err" &
pid=$!
find_box 600 "Audio error" >/dev/null || fail "no error box named Audio error"
children=$(pgrep -P "$pid")
[ -n "$children" ] || fail "the box has no process of its own"
kill -TERM "$pid"
wait_exit 600 || fail "SIGTERM did not end the program while its error box showed"
[ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM, expected 0"
# The box's window goes with its process: wait for it to go.
for _ in $(seq 600); do find_box 1 "Audio error" >/dev/null || break; sleep 0.1; done
find_box 1 "Audio error" >/dev/null && fail "the error box stayed after the program ended"
for child in $children; do
  kill -0 "$child" 2>/dev/null && fail "the box's process $child stayed behind"
done

# 3. Boxes turned off (automated runs): the program ends by itself with the message.
TUMELORA_NO_ERROR_BOX=1 timeout 30 env "${program_env[@]}" "$bin" w 2>"$work/err"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc with boxes off, expected 0"
grep -qxF "Error: Couldn't initialize MainState." "$work/err" || fail "message missing (boxes off)"

# 4. No display: the engine cannot start; reported on stderr without a box, exit code 1.
env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 env "${program_env[@]}" "$bin" w 2>"$work/err"
rc=$?
[ "$rc" -eq 1 ] || fail "exit code $rc without display, expected 1"
grep -qxF "Error: Cannot initialize engine with given video driver & parameters." "$work/err" \
  || fail "engine message missing"

echo "program window, error box and exit codes as expected"
