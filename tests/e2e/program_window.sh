#!/usr/bin/env bash
# program_window.sh TUMELORA_BINARY: the real program under a display. "w" opens a window
# captioned "TUMELORA"; without a main state it shows the "Error" box, which closes on
# Return, and ends with exit code 0. Every wait is bounded; exit 77 means skipped.
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1"
start_display 1920x1200
run=$work

# box_id NAME: the id of a shown window (mapped, so that it takes the focus) whose name is
# exactly NAME; its WM_NAME as SDL types it is read through xwininfo, as xdotool cannot decode
# it (it reads _NET_WM_NAME fine, xdotool only WM_NAME).
box_id() {
  local id
  id=$(xwininfo -root -tree 2>/dev/null | awk -v n="\"$1\":" 'index($0, " " n " ") {print $1; exit}')
  [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$id"
}
# wait_box NAME: waits for the box; sets box.
wait_box() {
  shows() { box=$(box_id "$1"); }
  wait_running "$LIMIT" shows "$1"
}
no_box() { [ -z "$(box_id "$1")" ]; }

# The program with boxes shown; sets pid.
start_with_boxes() {
  windows_before=
  env -u TUMELORA_NO_ERROR_BOX "$bin" w 2>"$work/err" &
  pid=$!
}

# A device that always opens, so the only sound message is the missing music's.
export SDL_AUDIODRIVER=dummy

# 1. With the box: window and box appear, Return closes the box, the program ends.
cd "$work"
start_with_boxes
wait_window || fail "no window named TUMELORA"
main_window=$win
# The empty folder has no music either: "Can't load music" comes first, in its own box.
wait_box "Audio error" || fail "no error box named Audio error"
win=$box keys Return
wait_box Error || fail "no error box named Error"
[ "$(printf %d "$box")" != "$main_window" ] || fail "the box is the main window"
win=$box keys Return
wait_exit || fail "the program did not end after Return closed the box"
[ "$rc" -eq 0 ] || fail "exit code $rc, expected 0"
grep -qxF "Error: Couldn't initialize MainState." "$work/err" || fail "message missing on stderr"

# 2. A signal while the box shows ends the program, the box with it.
start_with_boxes
wait_box "Audio error" || fail "no error box named Audio error"
children=$(pgrep -P "$pid")
[ -n "$children" ] || fail "the box has no process of its own"
kill -TERM "$pid"
wait_exit || fail "SIGTERM did not end the program while its error box showed"
[ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM, expected 0"
wait_for "$LIMIT" no_box "Audio error" || fail "the error box stayed after the program ended"
for child in $children; do
  child_gone() { ! kill -0 "$child" 2>/dev/null; }
  wait_for "$LIMIT" child_gone || fail "the box's process $child stayed behind"
done

# 3. Boxes turned off (automated runs): the program ends by itself with the message.
TUMELORA_NO_ERROR_BOX=1 timeout "$LIMIT" "$bin" w 2>"$work/err"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc with boxes off, expected 0"
grep -qxF "Error: Couldn't initialize MainState." "$work/err" || fail "message missing (boxes off)"

# 4. No display: the engine cannot start; reported on stderr without a box, exit code 1.
env -u DISPLAY -u WAYLAND_DISPLAY timeout "$LIMIT" "$bin" w 2>"$work/err"
rc=$?
[ "$rc" -eq 1 ] || fail "exit code $rc without display, expected 1"
grep -qxF "Error: Cannot initialize engine with given video driver & parameters." "$work/err" \
  || fail "engine message missing"

echo "program window, error box and exit codes as expected"
