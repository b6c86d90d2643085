#!/usr/bin/env bash
# editor_mode.sh TUMELORA MAKE_TONE SOURCE_DIR: the real program in its editing mode under a
# display, driven by xdotool and read back with xwd. In a test folder with the bundled font
# and skin pictures, a tone as the music and two actors, it checks: the window size; the
# music heard while the timeline thumb is held (SDL's disk audio driver); the panel's
# pictures at their places in the window; what each visible control does, through the data
# files "Save" writes; a recorded take undone and redone giving back the same files bit for
# bit; Space and Escape; --edit alone. Without --edit the window keeps its old size. It runs on
# an X server of its own (SCREEN_SIZE). Exit 77 means skipped.
set -uo pipefail
bin=$(readlink -f "$1")
tone=$(readlink -f "$2")
src=$(readlink -f "$3")
tools="$src/tests/e2e/editor_tools.pl"
[ -x "$bin" ] || { echo "no program at $bin" >&2; exit 1; }
[ -x "$tone" ] || { echo "no make_tone at $tone" >&2; exit 1; }
# The test's own X server, big enough for the editor's window (its size is set below).
SCREEN_SIZE=1920x1200
command -v Xvfb >/dev/null || { echo "skipped: no Xvfb" >&2; exit 77; }
for tool in xdotool xwd xwininfo xdpyinfo perl; do
  command -v "$tool" >/dev/null || { echo "$tool missing" >&2; exit 1; }
done
work=$(mktemp -d /tmp/tumelora-editor-XXXXXX)
# In the sanitizer test stage the program starts through a launcher that preloads the OpenGL
# driver for it (scripts/test, tests/e2e/sanitized-program).
if [ -n "${TUMELORA_SANITIZER_PRELOAD:-}" ]; then
  export TUMELORA_PROGRAM="$bin"
  bin="$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/sanitized-program"
fi
pid=
xvfb=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/err" ] && sed 's/^/  stderr: /' "$work/err" >&2; exit 1; }

# Xvfb picks a free display number itself; -noreset keeps it up between the program's starts.
Xvfb -displayfd 3 -noreset -screen 0 "${SCREEN_SIZE}x24" -nolisten tcp +extension GLX \
  3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
xvfb=$!
n=
for _ in $(seq 100); do
  n=$(head -n1 "$work/displayfd" 2>/dev/null)
  [ -n "$n" ] && break
  sleep 0.1
done
[ -n "$n" ] || { cat "$work/xvfb.log" >&2; fail "the test's X server did not start"; }
export DISPLAY=":$n"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "the test's X server does not answer"
t() { perl "$tools" "$@"; }

# --- The test folder -------------------------------------------------------------------------
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
t png "$actors/box.png" 160 160 CC3322
t track "$actors/box.data" "$FRAMES" 4 3
t png "$actors/wide.png" 240 80 3366CC
t track "$actors/wide.data" "$FRAMES" 10 6
cp "$actors/box.data" "$work/box.original"
cp "$actors/wide.data" "$work/wide.original"

# --- Layout: the stage centred in the window, the panel around it ----------------------------
W=1600; H=1016
OX=$(( (W - 1280) / 2 )); OY=$(( (H - 720) / 2 ))
read -r BTN_W BTN_H < <(t size "$data/button.png")
read -r _ THUMB_H < <(t size "$data/slider-thumb.png")
read -r CHECK_W _ < <(t size "$data/checkbox.png")
LINE_H=$(awk '/^common/ { for (i = 1; i <= NF; i++) if ($i ~ /^lineHeight=/) { sub("lineHeight=", "", $i); print $i } }' "$data/droid30.fnt")
ROW_STEP=$(( BTN_H + 2 )); ROW_H=$(( THUMB_H + 2 ))
TIMELINE_Y=$(( OY + 720 ))
# Property rows: below the timeline row and the frame numbers (half-size text).
FIRST_ROW_Y=$(( TIMELINE_Y + ROW_H + LINE_H / 2 + 1 ))
row_y() { echo $(( FIRST_ROW_Y + $1 * ROW_H )); }       # 0 X, 1 Y, 2 rot, 3 W, 4 H, 5 Wobble
BG=AACCEE
STAGE_FRAME=5A6E8C
OUTLINE=FF00FF

# --- Helpers ---------------------------------------------------------------------------------
# Polls for a window named TUMELORA that was not there before ($1: the ids before); prints it.
find_window() {
  local id
  for _ in $(seq 150); do
    for id in $(xdotool search --name '^TUMELORA$' 2>/dev/null); do
      case " $1 " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
    done
    sleep 0.1
  done
  return 1
}
wait_exit() {
  for _ in $(seq "$1"); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; rc=$?; pid=; return 0; }
    sleep 0.1
  done
  return 1
}
settle() { sleep "${1:-0.3}"; }
at() { xdotool mousemove --window "$win" "$1" "$2"; }
click() { at "$1" "$2"; settle 0.1; xdotool mousedown 1; settle 0.1; xdotool mouseup 1; settle; }
# A press at ($1, $2), a move by ($3, $4) pixels in ten steps over about $5 seconds, a release.
drag() {
  local x=$1 y=$2 dx=$3 dy=$4 pause
  pause=$(awk -v s="$5" 'BEGIN { print s / 10 }')
  at "$x" "$y"; settle 0.1
  xdotool mousedown 1
  for i in $(seq 10); do at $(( x + dx * i / 10 )) $(( y + dy * i / 10 )); sleep "$pause"; done
  xdotool mouseup 1; settle
}
keys() { xdotool windowfocus "$win" 2>/dev/null; xdotool key --clearmodifiers "$@"; settle; }
shots=0
# Dumps the window; with TUMELORA_EDITOR_DEBUG set to a folder, keeps every dump there.
shoot() {
  xwd -id "$win" -silent >"$work/shot.xwd" || fail "xwd failed"
  shots=$(( shots + 1 ))
  [ -n "${TUMELORA_EDITOR_DEBUG:-}" ] && cp "$work/shot.xwd" "$TUMELORA_EDITOR_DEBUG/shot-$shots.xwd"
  return 0
}
pixel() { t pixel "$work/shot.xwd" "$1" "$2"; }
# expect_pixel X Y RRGGBB TOLERANCE WHAT
expect_pixel() {
  local got
  got=$(pixel "$1" "$2")
  t near "$got" "$3" "$4" || fail "$5: pixel ($1, $2) is $got, expected $3"
}
# expect_picture X Y PICTURE PX PY WHAT [TOLERANCE]: the window shows pixel (PX, PY) of a skin
# picture, drawn over the background, at (X, Y). The property rows start half a pixel down,
# so their pictures are blended with a neighbouring row: a wider tolerance there.
expect_picture() {
  expect_pixel "$1" "$2" "$(t over "$data/$3" "$4" "$5" "$BG")" "${7:-3}" "$6"
}
save() { click 5 $(( OY + 720 - ROW_STEP + BTN_H / 2 )); settle 0.3; }
button_at() { click 5 $(( OY + $1 + BTN_H / 2 )); }   # a left-edge button $1 pixels below OY
play() { button_at 0; }
stop() { button_at $(( ROW_STEP / 2 )); }
rec() { button_at "$ROW_STEP"; }
rewind() { click $(( BTN_W + 2 + 5 )) $(( OY + BTN_H / 2 )); }
reset_track() { button_at $(( ROW_STEP * 5 )); }

# --- Start ------------------------------------------------------------------------------------
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" TUMELORA_NO_ERROR_BOX=1
cd "$work"
before=$(xdotool search --name '^TUMELORA$' 2>/dev/null | tr '\n' ' ')
"$bin" w --edit 2>"$work/err" &
pid=$!
win=$(find_window "$before") || fail "no window named TUMELORA"
geometry=$(xwininfo -id "$win")
echo "$geometry" | grep -q "Width: $W\$" || fail "window width is not $W"
echo "$geometry" | grep -q "Height: $H\$" || fail "window height is not $H"
settle 1

# The editor starts stopped: nothing has played.
[ -s "$work/audio.raw" ] || fail "no audio written"
[ "$(t nonzero "$work/audio.raw" 0)" -eq 0 ] || fail "music played before anything was pressed"

# --- The music while the timeline thumb is held -----------------------------------------------
at $(( OX + 640 )) $(( TIMELINE_Y + 4 )); settle 0.1
xdotool mousedown 1
sleep 1
at $(( OX + 600 )) $(( TIMELINE_Y + 4 )); sleep 0.5
at $(( OX + 640 )) $(( TIMELINE_Y + 4 )); sleep 0.5
xdotool mouseup 1
sleep 1
[ "$(t nonzero "$work/audio.raw" 0)" -gt 0 ] || fail "no music while the thumb was held"
size=$(stat -c %s "$work/audio.raw")
sleep 1
[ "$(t nonzero "$work/audio.raw" "$size")" -eq 0 ] || fail "the music went on after the thumb was let go"

# --- The panel, nothing selected --------------------------------------------------------------
shoot
expect_picture 5 $(( OY + 20 )) button.png 5 20 "Play button"
expect_picture $(( BTN_W + 2 + 5 )) $(( OY + 20 )) button.png 5 20 "<< button"
expect_picture 5 $(( OY + ROW_STEP + 20 )) button.png 5 20 "Rec button"
expect_picture 5 $(( OY + 720 - ROW_STEP + 20 )) button.png 5 20 "Save button"
expect_picture $(( OX + 100 )) $(( TIMELINE_Y + 8 )) slider-base.png 100 8 "timeline"
expect_pixel $(( OX - 1 )) $(( OY + 360 )) "$STAGE_FRAME" 3 "stage frame, left"
expect_pixel $(( OX + 1280 )) $(( OY + 360 )) "$STAGE_FRAME" 3 "stage frame, right"
expect_pixel $(( OX + 100 )) $(( $(row_y 0) + 8 )) "$BG" 3 "no property rows without a selection"
expect_pixel 5 $(( OY + ROW_STEP * 5 + 20 )) "$BG" 3 "no Reset>> without a selection"
# The timeline click in its middle chose frame MID (632 of 1264 pixels): the thumb is there
# (its picture's row 3 is five pixels above its centre).
MID=$(( (632 * FRAMES + FRAMES / 2) / 1264 ))
thumb_x() { echo $(( OX + 8 + $1 * (1280 - 16) / (FRAMES - 1) )); }
thumb_row3=$(t over "$data/slider-thumb.png" 8 3 "$BG")
expect_pixel "$(thumb_x "$MID")" $(( TIMELINE_Y + 3 )) "$thumb_row3" 8 "timeline thumb at frame $MID"
expect_pixel $(( OX + 320 )) $(( OY + 240 )) CC3322 3 "box actor"
expect_pixel $(( OX + 800 )) $(( OY + 480 )) 3366CC 3 "wide actor"

# --- Select "box": outline, rows, name ---------------------------------------------------------
click $(( OX + 320 )) $(( OY + 240 ))
shoot
expect_pixel $(( OX + 240 )) $(( OY + 240 )) "$OUTLINE" 3 "selection outline, left edge"
expect_pixel $(( OX + 399 )) $(( OY + 240 )) "$OUTLINE" 3 "selection outline, right edge"
for r in 0 1 2 3 4; do
  expect_picture $(( OX + 100 )) $(( $(row_y $r) + 8 )) slider-base.png 100 8 "property row $r" 8
done
expect_picture $(( OX + 2 )) $(( $(row_y 5) + 8 )) checkbox.png 2 8 "Wobble box" 8
expect_picture $(( OX - 12 - CHECK_W + 2 )) $(( $(row_y 4) + 8 )) checkbox.png 2 8 "Bind scale box" 8
expect_picture 5 $(( OY + ROW_STEP * 5 + 20 )) button.png 5 20 "Reset>> button"
cp "$work/shot.xwd" "$work/selected.xwd"

# --- Save writes every actor -------------------------------------------------------------------
rm -f "$actors/wide.data"
save
cmp -s "$actors/wide.data" "$work/wide.original" || fail "Save did not write wide.data as it was"
cmp -s "$actors/box.data" "$work/box.original" || fail "Save did not write box.data as it was"

# --- Check boxes -------------------------------------------------------------------------------
click $(( OX + 8 )) $(( $(row_y 5) + 8 ))
save
[ "$(t info "$actors/box.data")" = "$FRAMES 0 1" ] || fail "Wobble: $(t info "$actors/box.data")"
click $(( OX - 12 - CHECK_W + 8 )) $(( $(row_y 4) + 8 ))
save
[ "$(t info "$actors/box.data")" = "$FRAMES 1 1" ] || fail "Bind scale: $(t info "$actors/box.data")"
click $(( OX - 12 - CHECK_W + 8 )) $(( $(row_y 4) + 8 ))
click $(( OX + 8 )) $(( $(row_y 5) + 8 ))
save
[ "$(t info "$actors/box.data")" = "$FRAMES 0 0" ] || fail "boxes cleared: $(t info "$actors/box.data")"

# --- Each slider edits its field from the current frame (MID) on; undo takes it back ---------
# A click 527 of the 1264 pixels along a slider sets min + 527 / 1264 * (max - min):
# X and Y (-4 to 20) 6.006, rot (-pi to 3 pi) 2.098, W and H (-10 to 10) -1.661.
expected=(6.006 6.006 2.098 -1.661 -1.661)
names=(X Y rot W H)
for r in 0 1 2 3 4; do
  click $(( OX + 8 + 527 )) $(( $(row_y $r) + 8 ))
  save
  first=$(t pose "$actors/box.data" 0)
  earlier=$(t pose "$actors/box.data" $(( MID - 1 )))
  [ "$first" = "4.0000 3.0000 0.0000 1.0000 1.0000" ] && [ "$earlier" = "$first" ] \
    || fail "slider ${names[$r]} moved earlier frames: $earlier"
  mid=($(t pose "$actors/box.data" "$MID"))
  last=($(t pose "$actors/box.data" $(( FRAMES - 1 ))))
  awk -v a="${mid[$r]}" -v b="${last[$r]}" -v e="${expected[$r]}" \
    'BEGIN { d = a - e; exit !(d < 0.01 && d > -0.01 && a == b) }' \
    || fail "slider ${names[$r]}: frame $MID at ${mid[$r]}, the last at ${last[$r]}, expected ${expected[$r]}"
  keys ctrl+z
  save
  cmp -s "$actors/box.data" "$work/box.original" || fail "undo of the ${names[$r]} slider"
done

# --- Play, Stop, << ------------------------------------------------------------------------------
rewind
play
shoot
expect_picture 5 $(( OY + ROW_STEP / 2 + 20 )) button.png 5 20 "Stop button while playing"
expect_pixel $(( BTN_W + 2 + 5 )) $(( OY + 20 )) "$BG" 3 "no << while playing"
stop
shoot
expect_picture $(( BTN_W + 2 + 5 )) $(( OY + 20 )) button.png 5 20 "<< back after Stop"
got=$(pixel "$(thumb_x 0)" $(( TIMELINE_Y + 3 )))
t near "$got" "$thumb_row3" 8 && fail "the thumb did not move while playing"
expect_picture $(( OX + 320 )) $(( $(row_y 0) + 8 )) slider-base.png 320 8 "still selected after Stop" 8
rewind
shoot
expect_pixel "$(thumb_x 0)" $(( TIMELINE_Y + 3 )) "$thumb_row3" 8 "<< puts the thumb at frame 0"

# --- Dragging the selected actor at frame 0 ------------------------------------------------------
drag $(( OX + 1000 )) $(( OY + 600 )) 80 0 0.5
save
read -r x0 _ < <(t pose "$actors/box.data" 0)
read -r xlast _ < <(t pose "$actors/box.data" $(( FRAMES - 1 )))
awk -v a="$x0" -v b="$xlast" 'BEGIN { exit !(a > 4.99 && a < 5.01 && b > 4.99 && b < 5.01) }' \
  || fail "drag by 80 pixels: x $x0 .. $xlast, expected 5"
shoot
expect_pixel $(( OX + 250 )) $(( OY + 240 )) "$BG" 3 "the dragged actor left its old place"
expect_pixel $(( OX + 400 )) $(( OY + 240 )) CC3322 3 "the dragged actor at its new place"
cp "$actors/box.data" "$work/box.before-take"

# --- A recorded take, undone and redone ------------------------------------------------------------
rewind
rec
drag $(( OX + 1000 )) $(( OY + 600 )) 0 160 0.8
stop
save
cp "$actors/box.data" "$work/box.after-take"
cmp -s "$work/box.before-take" "$work/box.after-take" && fail "the take recorded nothing"
read -r _ y0 _ < <(t pose "$actors/box.data" 0)
read -r _ ylast _ < <(t pose "$actors/box.data" $(( FRAMES - 1 )))
awk -v a="$y0" -v b="$ylast" 'BEGIN { exit !(a < 3.01 && b > 4.9) }' \
  || fail "take: y from $y0 to $ylast, expected 3 to 5"
keys ctrl+z
save
cmp -s "$actors/box.data" "$work/box.before-take" || fail "undo of the take"
cmp -s "$actors/wide.data" "$work/wide.original" || fail "the take changed wide.data"
keys ctrl+shift+z
save
cmp -s "$actors/box.data" "$work/box.after-take" || fail "redo (Ctrl+Shift+Z) of the take"
keys ctrl+z
keys ctrl+y
save
cmp -s "$actors/box.data" "$work/box.after-take" || fail "redo (Ctrl+Y) of the take"

# --- Reset>> cuts the track after the current frame; undo puts it back ------------------------------
click $(( OX + 640 )) $(( TIMELINE_Y + 4 ))   # the middle of the animation
reset_track
save
read -r n _ < <(t info "$actors/box.data")
[ "$n" -eq $(( MID + 1 )) ] || fail "Reset>> at frame $MID left $n poses"
keys ctrl+z
save
cmp -s "$actors/box.data" "$work/box.after-take" || fail "undo of Reset>>"

# --- Space plays and stops; Escape ends the editor ---------------------------------------------------
keys space
shoot
expect_pixel $(( BTN_W + 2 + 5 )) $(( OY + 20 )) "$BG" 3 "Space plays (no << while playing)"
keys space
shoot
expect_picture $(( BTN_W + 2 + 5 )) $(( OY + 20 )) button.png 5 20 "Space stops"
keys Escape
wait_exit 100 || fail "Escape did not end the editor"
[ "$rc" -eq 0 ] || fail "exit code $rc after Escape"

# --- Without --edit the window keeps the stage's size -------------------------------------------------
before=$(xdotool search --name '^TUMELORA$' 2>/dev/null | tr '\n' ' ')
"$bin" w 2>"$work/err" &
pid=$!
win=$(find_window "$before") || fail "no window without --edit"
geometry=$(xwininfo -id "$win")
echo "$geometry" | grep -q "Width: 1280\$" && echo "$geometry" | grep -q "Height: 720\$" \
  || fail "without --edit the window is not 1280 x 720"
keys Escape
wait_exit 100 || fail "Escape did not end the player"
[ "$rc" -eq 0 ] || fail "exit code $rc of the player"

# --edit alone opens the editor's window too.
before=$(xdotool search --name '^TUMELORA$' 2>/dev/null | tr '\n' ' ')
"$bin" --edit 2>"$work/err" &
pid=$!
win=$(find_window "$before") || fail "no window with --edit alone"
xwininfo -id "$win" | grep -q "Width: $W\$" || fail "--edit alone: the window is not $W wide"
keys Escape
wait_exit 100 || fail "Escape did not end the editor started with --edit alone"

# Keep the selected-actor picture for the README when asked to.
if [ -n "${TUMELORA_EDITOR_SHOT:-}" ]; then
  t png-of-xwd "$work/selected.xwd" "$TUMELORA_EDITOR_SHOT" || fail "cannot write $TUMELORA_EDITOR_SHOT"
fi
echo "editing mode: window, scrubbing music, panel pictures, controls, undo and redo as expected"
