#!/usr/bin/env bash
# editor_mode.sh TUMELORA MAKE_TONE E2E_TOOL SOURCE_DIR: the real program in its editing mode on
# an X server of its own with a 1366 x 768 screen, driven by xdotool and read back from its
# window. In a test folder with the bundled font and skin pictures, a tone as the music and two
# actors, it checks: the window fits the screen and every control lies on it; the music heard
# while the timeline thumb is held (SDL's disk audio driver); the panel and the scaled stage at
# their places; selection, check boxes, a drag mapped back through the scaled stage and
# "Save"; a recorded take undone and redone bit for bit; the recovery file after kill -9
# following a drag and in the middle of a take; the quit guard on Escape and on the window's
# close button, leaving the data files as they were; SIGTERM keeping unsaved edits in the
# recovery file; Page Down, Save and a restart giving the new drawing order with every picture
# and track still there; a drag at 200% zoom moving by half the pointer's pixels. Without
# --edit the window keeps its old size. Exit 77 means skipped.
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1" "$3" "$2" "$4"
# An X server with a laptop's screen.
SCREEN_W=1366
SCREEN_H=768
start_display "${SCREEN_W}x${SCREEN_H}"

# --- The test folder -------------------------------------------------------------------------
run=$work
data="$work/data"
actors="$data/actors"
mkdir -p "$actors"
for f in droid30.fnt droid30_0.png button.png button-hot.png button-active.png \
         button-hot-active.png slider-base.png slider-thumb.png slider-thumb-active.png \
         checkbox.png checkbox-active.png checkbox-check.png; do
  cp "$src/data/$f" "$data/" || fail "cannot copy $f"
done
"$tone" "$data/lumokari2_tumelora_voices.ogg" 30 || fail "make_tone failed"
# "box": 160 x 160, red, at scene (4, 3); "wide": 240 x 80, blue, at scene (10, 6); ten seconds.
FRAMES=600
"$tool" picture "$actors/box.png" 160 160 CC3322 || fail "cannot write box.png"
"$tool" track "$actors/box.data" "$FRAMES" 4 3 || fail "cannot write box.data"
"$tool" picture "$actors/wide.png" 240 80 3366CC || fail "cannot write wide.png"
"$tool" track "$actors/wide.data" "$FRAMES" 10 6 || fail "cannot write wide.data"
cp "$actors/box.data" "$work/box.original"
cp "$actors/wide.data" "$work/wide.original"
RECOVERY="$actors/.unsaved-edits.recovery"

# --- Helpers ---------------------------------------------------------------------------------
# open_editor ARGS...: starts the program with ARGS and waits for its first drawn frame.
open_editor() {
  program_args=("$@")
  start
  wait_window || fail "no window named TUMELORA ($*)"
  editor_layout
  editor_sync
}
# open_player: starts the program without --edit and waits for its first drawn frame.
open_player() {
  program_args=("$@")
  start
  wait_window || fail "no window named TUMELORA ($*)"
  wait_drawn "$((STAGE_W - 2))" "$((STAGE_H - 2))" || fail "the player never drew its stage"
}
at() { xdotool mousemove --window "$win" "$1" "$2"; }
press_rect() { click "$(cx "$1")" "$(cy "$1")"; }
# info FILE: the pose count and the two flags of a data file; pose FILE I: pose I (x y rotation
# w h); pose_of TRACK I: the same of a track as e2e_tool prints it.
info() { "$tool" dump "$1" | awk 'NR == 1 { print $3, $4, $5 }'; }
pose_of() { awk -v i="$1" 'NR > 1 && $1 == i { print $2, $3, $4, $5, $6; exit }'; }
pose() { "$tool" dump "$1" | pose_of "$2"; }
# nonzero FILE FROM: how many bytes of FILE from offset FROM on are not zero (not silence).
nonzero() { tail -c +$(($2 + 1)) "$1" | tr -d '\000' | wc -c; }
# saving ACTION...: does ACTION (a press of Save, Ctrl+S) and waits until both actors' data files
# ($box_data, $wide_data) are written anew (the safe writer puts a new file in the old one's place).
box_data="$actors/box.data"
wide_data="$actors/wide.data"
inode() { stat -c %i "$1" 2>/dev/null || echo none; }
saving() {
  local box_before wide_before
  box_before=$(inode "$box_data")
  wide_before=$(inode "$wide_data")
  "$@"
  written() {
    [ -e "$box_data" ] && [ "$(inode "$box_data")" != "$box_before" ] &&
      [ -e "$wide_data" ] && [ "$(inode "$wide_data")" != "$wide_before" ]
  }
  wait_running "$LIMIT" written || fail "the actors were not saved ($*)"
}
save_files() { saving keys ctrl+s; }
no_recovery() { [ ! -e "$RECOVERY" ]; }
# quit_refused N: waits until the editor has said N times that it does not quit.
quit_refused() {
  said() { [ "$(grep -c "unsaved changes: not quitting" "$work/err")" -ge "$1" ]; }
  wait_running "$LIMIT" said "$1"
}

# --- The window fits the screen; the layout on it ------------------------------------------------
open_editor w --edit
geometry=$(xwininfo -id "$win")
W=$(echo "$geometry" | awk '/^ *Width:/ { print $2 }')
H=$(echo "$geometry" | awk '/^ *Height:/ { print $2 }')
X=$(echo "$geometry" | awk '/Absolute upper-left X:/ { print $4 }')
Y=$(echo "$geometry" | awk '/Absolute upper-left Y:/ { print $4 }')
[ $(( X + W )) -le $SCREEN_W ] && [ $(( Y + H )) -le $SCREEN_H ] \
  || fail "the window ${W}x${H}+${X}+${Y} does not fit the ${SCREEN_W}x${SCREEN_H} screen"
[ "$W" -ge 1280 ] && [ "$H" -ge 700 ] || fail "the window ${W}x${H} does not use the screen"
for name in "${!L[@]}"; do
  r=(${L[$name]})
  [ $(( r[0] + r[2] )) -le "$W" ] && [ $(( r[1] + r[3] )) -le "$H" ] || fail "$name lies off the window"
done
awk -v s="$SCALE" 'BEGIN { exit !(s > 0.5 && s < 1) }' || fail "stage scale $SCALE"

# The editor starts stopped: in its first second of sound nothing has played.
wait_audio 1
[ "$(nonzero "$work/audio.raw" 0)" -eq 0 ] || fail "music played before anything was pressed"

# --- The music while the timeline thumb is held -----------------------------------------------
at "$(cx timeline)" "$(cy timeline)"
xdotool mousedown 1
music_heard() { [ "$(nonzero "$work/audio.raw" 0)" -gt 0 ]; }
wait_running "$LIMIT" music_heard || fail "no music while the thumb was held"
at $(( $(cx timeline) - 40 )) "$(cy timeline)"
at "$(cx timeline)" "$(cy timeline)"
let_go=$(audio_bytes)
xdotool mouseup 1
# The music stops once the editor has taken the release (within 4 s of sound, however busy
# the machine), and stays off.
wait_audio 5
[ "$(nonzero "$work/audio.raw" $((let_go + 4 * AUDIO_BYTES_PER_SECOND)))" -eq 0 ] \
  || fail "the music went on after the thumb was let go"
keys Home

# --- The scaled stage and the panel ---------------------------------------------------------------
PANEL=2B3340; OUTLINE=FF00FF; SELECTED=4A6A9A
r=(${L[stage]})
pr=(${L[play]})
expect_pixels "stage, top-left corner:$(( r[0] + 2 )):$(( r[1] + 2 )):$BACKGROUND:3" \
  "panel left of the stage:$(( r[0] - 3 )):$(( r[1] + 2 )):$PANEL:3" \
  "box actor:$(sx 4):$(sy 3):CC3322:3" \
  "wide actor:$(sx 10):$(sy 6):3366CC:3" \
  "box drawn at the stage's scale:$(sx 4):$(( $(sy 3) + 90 )):$BACKGROUND:3" \
  "the Play button's picture:$(( pr[0] + pr[2] / 2 )):$(( pr[1] + 4 )):!$PANEL:3"

# --- Select "box": outline, layer row, property rows ---------------------------------------------
click "$(sx 4)" "$(sy 3)"
# The layer list shows the topmost actor first: "wide", then "box".
l0=(${L[layer0]})
l1=(${L[layer1]})
xr=(${L[x]})
wait_pixels "selection outline, left edge:$(( $(sx 3) + 1 )):$(sy 3):$OUTLINE:3" \
  "box highlighted in the layer list:$(( l1[0] + l1[2] - 3 )):$(cy layer1):$SELECTED:3" \
  "an X slider with a selection:$(( xr[0] + 3 )):$(cy x):!$PANEL:3"
# The layer list selects too.
press_rect layer0
wait_pixels "wide highlighted after its row was clicked:$(( l0[0] + l0[2] - 3 )):$(cy layer0):$SELECTED:3"
press_rect layer1

# --- Save writes every actor; check boxes ----------------------------------------------------------
rm -f "$actors/wide.data"
saving press_rect save
cmp -s "$actors/wide.data" "$work/wide.original" || fail "Save did not write wide.data as it was"
cmp -s "$actors/box.data" "$work/box.original" || fail "Save did not write box.data as it was"
press_rect wobble
save_files
[ "$(info "$actors/box.data")" = "$FRAMES 0 1" ] || fail "Wobble: $(info "$actors/box.data")"
press_rect bindscale
press_rect wobble
save_files
[ "$(info "$actors/box.data")" = "$FRAMES 1 0" ] || fail "Bind scale: $(info "$actors/box.data")"
press_rect bindscale
save_files
cmp -s "$actors/box.data" "$work/box.original" || fail "boxes cleared: $(info "$actors/box.data")"

# --- A drag through the scaled stage: the scene moves by the motion / scale ------------------------
DX=80
drag "$(sx 8)" "$(sy 7)" "$DX" 0 10
save_files
want=$(awk -v d="$DX" -v s="$SCALE" 'BEGIN { printf "%.4f", 4 + d / (80 * s) }')
read -r x0 _ < <(pose "$actors/box.data" 0)
read -r xlast _ < <(pose "$actors/box.data" $(( FRAMES - 1 )))
awk -v a="$x0" -v b="$xlast" -v w="$want" 'BEGIN { exit !(a - w < 0.01 && w - a < 0.01 && a == b) }' \
  || fail "drag by $DX pixels: x $x0 .. $xlast, expected $want"
cp "$actors/box.data" "$work/box.before-take"

# --- A recorded take (R), undone and redone -----------------------------------------------------
# The drag's steps follow the take's frames: each waits for a little more sound, the clock
# the frames follow.
take_step() { wait_audio 0.08; }
keys Home
keys r
drag "$(sx 8)" "$(sy 7)" 0 120 10 take_step
keys r
save_files
cp "$actors/box.data" "$work/box.after-take"
cmp -s "$work/box.before-take" "$work/box.after-take" && fail "the take recorded nothing"
keys ctrl+z
save_files
cmp -s "$actors/box.data" "$work/box.before-take" || fail "undo of the take"
cmp -s "$actors/wide.data" "$work/wide.original" || fail "the take changed wide.data"
keys ctrl+shift+z
save_files
cmp -s "$actors/box.data" "$work/box.after-take" || fail "redo (Ctrl+Shift+Z) of the take"
# Save has the recovery file removed (in the background).
wait_for "$LIMIT" no_recovery || fail "a recovery file is left after Save"

# --- kill -9 after a drag: the next start restores it, Ctrl+S writes it ----------------------------
keys Home
drag "$(sx 8)" "$(sy 7)" 0 "$DX" 10
# The edit is written to the recovery file soon after it settles (in the background).
wait_running "$LIMIT" test -s "$RECOVERY" || fail "no recovery file after a drag"
cmp -s "$actors/box.data" "$work/box.after-take" || fail "the drag was saved without Save"
kill -KILL "$pid"; wait "$pid" 2>/dev/null; pid=
open_editor w --edit
grep -q "Restored" "$work/err" || fail "the restart did not say it restored the unsaved edits"
save_files
read -r _ y0 _ < <(pose "$actors/box.data" 0)
read -r _ yb _ < <(pose "$work/box.after-take" 0)
awk -v a="$y0" -v b="$yb" -v d="$DX" -v s="$SCALE" 'BEGIN { w = b + d / (80 * s); exit !(a - w < 0.01 && w - a < 0.01) }' \
  || fail "after kill -9 and restart, Ctrl+S wrote y $y0 at frame 0 (before the drag $yb)"
wait_for "$LIMIT" no_recovery || fail "Ctrl+S left the recovery file"
cp "$actors/box.data" "$work/box.saved"

# --- kill -9 in the middle of a take --------------------------------------------------------------
read -r _ y_saved _ < <(pose "$work/box.saved" $(( FRAMES - 1 )))
# The take has moved box down by more than 0.3 units at its end, in the recovery file
# (written about once a second during a take).
take_kept() {
  local y
  read -r _ y _ < <("$tool" recovery "$RECOVERY" box 2>/dev/null | pose_of $(( FRAMES - 1 )))
  awk -v a="$y_saved" -v b="${y:-0}" 'BEGIN { exit !(b - a > 0.3) }'
}
press_rect layer1   # select box again (a new session selects nothing)
keys Home
keys r
at "$(sx 8)" "$(sy 7)"
xdotool mousedown 1
for i in $(seq 20); do wait_audio 0.12; at "$(sx 8)" $(( $(sy 7) + 4 * i )); done
wait_running "$LIMIT" take_kept || fail "the take did not reach the recovery file"
kill -KILL "$pid"; wait "$pid" 2>/dev/null; pid=
xdotool mouseup 1
open_editor w --edit
save_files
read -r _ ylast _ < <(pose "$actors/box.data" $(( FRAMES - 1 )))
awk -v a="$y_saved" -v b="$ylast" 'BEGIN { exit !(b - a > 0.3) }' \
  || fail "the take before kill -9 was lost: y at the end $ylast, before the take $y_saved"
cp "$actors/box.data" "$work/box.saved"
cp "$actors/wide.data" "$work/wide.saved"

# --- The quit guard: Escape -------------------------------------------------------------------------
press_rect layer1
drag "$(sx 8)" "$(sy 7)" 40 0 10
keys Escape
quit_refused 1 || fail "the editor did not say why it stays after Escape with unsaved edits"
kill -0 "$pid" 2>/dev/null || fail "Escape with unsaved edits ended the editor"
# A second Escape within three seconds quits without saving (sent at once: the focus is there).
xdotool key --clearmodifiers Escape
wait_exit || fail "the second Escape did not end the editor"
[ "$rc" -eq 0 ] || fail "exit code $rc after the second Escape"
cmp -s "$actors/box.data" "$work/box.saved" || fail "quitting without saving changed box.data"
cmp -s "$actors/wide.data" "$work/wide.saved" || fail "quitting without saving changed wide.data"
[ -e "$RECOVERY" ] && fail "quitting without saving left the recovery file"

# --- The quit guard: the window's close button ------------------------------------------------------
open_editor w --edit
"$tool" close-window "$win" || fail "cannot ask the window to close"
wait_exit || fail "closing the window with nothing unsaved did not end the editor"
open_editor w --edit
press_rect layer1
drag "$(sx 8)" "$(sy 7)" 40 0 10
# One sender, started beforehand, sends a request for each line written to it: the second
# follows the editor's answer to the first at once (a second request counts within three
# seconds), without the wait for a program to start.
mkfifo "$work/close-requests"
"$tool" close-window "$win" - <"$work/close-requests" &
closer=$!
exec 5>"$work/close-requests"
# (In a subshell: a sender that ended makes the write fail, not the script.)
request_close() { (echo >&5) || fail "the sender of close requests ended"; }
request_close
quit_refused 1 || fail "the editor did not say why it stays after a close with unsaved edits"
kill -0 "$pid" 2>/dev/null || fail "closing the window with unsaved edits ended the editor"
request_close
wait_exit || fail "the second close did not end the editor"
exec 5>&-
wait "$closer" || fail "cannot ask the window to close"
cmp -s "$actors/box.data" "$work/box.saved" || fail "closing without saving changed box.data"

# --- A signal keeps unsaved edits in the recovery file ----------------------------------------------
open_editor w --edit
press_rect layer1
drag "$(sx 8)" "$(sy 7)" 40 0 10
# The signal comes apart from the input: it is sent once the editor has taken the drag.
editor_sync
kill -TERM "$pid"
wait_exit || fail "SIGTERM did not end the editor"
[ -s "$RECOVERY" ] || fail "SIGTERM with unsaved edits left no recovery file"
cmp -s "$actors/box.data" "$work/box.saved" || fail "SIGTERM saved box.data"
open_editor w --edit
grep -q "Restored" "$work/err" || fail "the start after SIGTERM did not restore the edits"
keys Escape Escape
wait_exit || fail "two Escapes did not end the editor"
[ -e "$RECOVERY" ] && fail "quitting without saving left the recovery file"
cmp -s "$actors/box.data" "$work/box.saved" || fail "quitting without saving changed box.data"

# --- The drawing order: Page Down, Save, a restart ------------------------------------------------
sums() { (cd "$actors" && for f in *.png *.data; do md5sum <"$f"; done | sort); }
sums >"$work/sums.before"
open_editor w --edit
press_rect layer0   # "wide", the topmost
keys Next
# Save renames the files (so "saving" cannot wait for them); the editor takes its input in
# order, so Escape comes after Save and finds nothing unsaved.
keys ctrl+s
keys Escape
wait_exit || fail "Escape after Save did not end the editor"
sums >"$work/sums.after"
cmp -s "$work/sums.before" "$work/sums.after" || fail "a picture or track was lost by the renaming: $(ls "$actors")"
ls "$actors" | grep -q -- '-wide\.png$' && ls "$actors" | grep -q -- '-box\.png$' || fail "not renamed: $(ls "$actors")"
[ -e "$actors/.drawing-order.journal" ] && fail "the renaming's journal is left"
box_data=$(ls "$actors"/*-box.data)
wide_data=$(ls "$actors"/*-wide.data)
open_editor w --edit
# Now "box" is the topmost, and "wide" is in the second row of the list.
click "$(sx 9)" "$(sy 6)"   # only "wide" is drawn here
l1=(${L[layer1]})
wait_pixels "wide in the second row after the restart:$(( l1[0] + l1[2] - 3 )):$(cy layer1):$SELECTED:3"

# --- A drag at 200% zoom: half as many stage pixels as pointer pixels ------------------------------
press_rect layer0   # box
cp "$box_data" "$work/box.before-zoom"
notches=$(awk -v s="$SCALE" 'BEGIN { n = split("0.25 0.3333 0.5 0.6667 1 1.5 2", l, " "); c = 0;
  for (i = 1; i <= n; i++) if (l[i] > s * 1.001) c++; print c }')
# Ctrl+wheel zooms about the pointer: box stays under it, and the drag starts there.
at "$(sx 4)" "$(sy 3)"
xdotool keydown ctrl
for _ in $(seq "$notches"); do xdotool click 4; done
xdotool keyup ctrl
drag "$(sx 4)" "$(sy 3)" 80 0 10
save_files
read -r x0 _ < <(pose "$work/box.before-zoom" 0)
read -r x1 _ < <(pose "$box_data" 0)
awk -v a="$x0" -v b="$x1" 'BEGIN { d = (b - a) * 80; exit !(d > 39.5 && d < 40.5) }' \
  || fail "an 80-pixel drag at 200% zoom moved box by $(awk -v a="$x0" -v b="$x1" 'BEGIN { print (b - a) * 80 }') stage pixels, not 40"
keys Escape
wait_exit || fail "Escape after Save did not end the editor"

# --- Without --edit the window keeps the stage's size -----------------------------------------------
open_player w
geometry=$(xwininfo -id "$win")
echo "$geometry" | grep -q "Width: 1280\$" && echo "$geometry" | grep -q "Height: 720\$" \
  || fail "without --edit the window is not 1280 x 720"
escape_ends_it

# --edit alone opens the editor's window too.
open_editor --edit
xwininfo -id "$win" | grep -q "Width: $W\$" || fail "--edit alone: the window is not $W wide"
keys Escape
wait_exit || fail "Escape did not end the editor started with --edit alone"

echo "editing mode: window fits, scrubbing music, scaled stage, controls, take, recovery after kill -9, quit guard as expected"
