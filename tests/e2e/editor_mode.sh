#!/usr/bin/env bash
# editor_mode.sh TUMELORA MAKE_TONE E2E_TOOL SOURCE_DIR: the real program in its editing mode on
# an X server of its own with a 1366 x 768 screen, driven by xdotool and read back with xwd. In
# a test folder with the bundled font and skin pictures, a tone as the music and two actors,
# it checks: the window fits the screen and every control lies on it; the music heard while
# the timeline thumb is held (SDL's disk audio driver); the panel and the scaled stage at
# their places; selection, check boxes, a drag mapped back through the scaled stage and
# "Save"; a recorded take undone and redone bit for bit; the recovery file after kill -9
# following a drag and in the middle of a take; the quit guard on Escape and on the window's
# close button, leaving the data files as they were; SIGTERM keeping unsaved edits in the
# recovery file; Page Down, Save and a restart giving the new drawing order with every picture
# and track still there; a drag at 200% zoom moving by half the pointer's pixels. Without
# --edit the window keeps its old size. Exit 77 means skipped.
set -uo pipefail
bin=$(readlink -f "$1")
tone=$(readlink -f "$2")
tool=$(readlink -f "$3")
src=$(readlink -f "$4")
tools="$src/tests/e2e/editor_tools.pl"
[ -x "$bin" ] || { echo "no program at $bin" >&2; exit 1; }
[ -x "$tone" ] || { echo "no make_tone at $tone" >&2; exit 1; }
[ -x "$tool" ] || { echo "no e2e_tool at $tool" >&2; exit 1; }
for t in Xvfb xdotool xwd xwininfo xdpyinfo perl; do
  command -v "$t" >/dev/null || { echo "skipped: $t missing" >&2; exit 77; }
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
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/err" ] && sed 's/^/  stderr: /' "$work/err" >&2; exit 1; }
t() { perl "$tools" "$@"; }

# --- An X server with a laptop's screen -------------------------------------------------------
SCREEN_W=1366; SCREEN_H=768
. "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/private_display.sh"
start_private_display "$work/xvfb.log" "${SCREEN_W}x${SCREEN_H}" || fail "the test's X server did not start"

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
RECOVERY="$actors/.unsaved-edits.recovery"

# --- Helpers ---------------------------------------------------------------------------------
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
shoot() { xwd -id "$win" -silent >"$work/shot.xwd" || fail "xwd failed"; }
pixel() { t pixel "$work/shot.xwd" "$1" "$2"; }
# expect_pixel X Y RRGGBB TOLERANCE WHAT
expect_pixel() {
  local got
  got=$(pixel "$1" "$2")
  t near "$got" "$3" "$4" || fail "$5: pixel ($1, $2) is $got, expected $3"
}
start() {
  local before
  before=$(xdotool search --name '^TUMELORA$' 2>/dev/null | tr '\n' ' ')
  "$bin" "$@" 2>>"$work/err" &
  pid=$!
  win=$(find_window "$before") || fail "no window named TUMELORA ($*)"
  settle 1
}
# The centre of a layout rectangle: cx NAME, cy NAME.
cx() { local r=(${L[$1]}); echo $(( r[0] + r[2] / 2 )); }
cy() { local r=(${L[$1]}); echo $(( r[1] + r[3] / 2 )); }
press_rect() { click "$(cx "$1")" "$(cy "$1")"; }
# Window pixel of a scene point: sx X, sy Y (scene units).
sx() { local r=(${L[stage]}); awk -v x="$1" -v o="${r[0]}" -v s="$SCALE" 'BEGIN { printf "%d", o + x * 80 * s }'; }
sy() { local r=(${L[stage]}); awk -v y="$1" -v o="${r[1]}" -v s="$SCALE" 'BEGIN { printf "%d", o + y * 80 * s }'; }
save_files() { keys ctrl+s; settle 0.3; }

export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" TUMELORA_NO_ERROR_BOX=1
cd "$work"

# --- The window fits the screen; the layout on it ------------------------------------------------
start w --edit
geometry=$(xwininfo -id "$win")
W=$(echo "$geometry" | awk '/^ *Width:/ { print $2 }')
H=$(echo "$geometry" | awk '/^ *Height:/ { print $2 }')
X=$(echo "$geometry" | awk '/Absolute upper-left X:/ { print $4 }')
Y=$(echo "$geometry" | awk '/Absolute upper-left Y:/ { print $4 }')
[ $(( X + W )) -le $SCREEN_W ] && [ $(( Y + H )) -le $SCREEN_H ] \
  || fail "the window ${W}x${H}+${X}+${Y} does not fit the ${SCREEN_W}x${SCREEN_H} screen"
[ "$W" -ge 1280 ] && [ "$H" -ge 700 ] || fail "the window ${W}x${H} does not use the screen"
read -r BTN_W BTN_H < <(t size "$data/button.png")
read -r _ THUMB_H < <(t size "$data/slider-thumb.png")
read -r CHECK_W CHECK_H < <(t size "$data/checkbox.png")
LINE_H=$(awk '/^common/ { for (i = 1; i <= NF; i++) if ($i ~ /^lineHeight=/) { sub("lineHeight=", "", $i); print $i } }' "$data/droid30.fnt")
declare -A L
while read -r name x y w h; do
  if [ "$name" = scale ]; then SCALE=$x; else L[$name]="$x $y $w $h"; fi
done < <("$tool" editor-layout "$W" "$H" "$BTN_W" "$BTN_H" "$THUMB_H" "$CHECK_W" "$CHECK_H" "$LINE_H")
for name in "${!L[@]}"; do
  r=(${L[$name]})
  [ $(( r[0] + r[2] )) -le "$W" ] && [ $(( r[1] + r[3] )) -le "$H" ] || fail "$name lies off the window"
done
awk -v s="$SCALE" 'BEGIN { exit !(s > 0.5 && s < 1) }' || fail "stage scale $SCALE"

# The editor starts stopped: nothing has played.
[ -s "$work/audio.raw" ] || fail "no audio written"
[ "$(t nonzero "$work/audio.raw" 0)" -eq 0 ] || fail "music played before anything was pressed"

# --- The music while the timeline thumb is held -----------------------------------------------
at "$(cx timeline)" "$(cy timeline)"; settle 0.1
xdotool mousedown 1
sleep 1
at $(( $(cx timeline) - 40 )) "$(cy timeline)"; sleep 0.5
at "$(cx timeline)" "$(cy timeline)"; sleep 0.5
xdotool mouseup 1
sleep 1
[ "$(t nonzero "$work/audio.raw" 0)" -gt 0 ] || fail "no music while the thumb was held"
size=$(stat -c %s "$work/audio.raw")
sleep 1
[ "$(t nonzero "$work/audio.raw" "$size")" -eq 0 ] || fail "the music went on after the thumb was let go"
keys Home

# --- The scaled stage and the panel ---------------------------------------------------------------
PANEL=2B3340; BG=AACCEE; OUTLINE=FF00FF; SELECTED=4A6A9A
shoot
r=(${L[stage]})
expect_pixel $(( r[0] + 2 )) $(( r[1] + 2 )) "$BG" 3 "stage, top-left corner"
expect_pixel $(( r[0] - 3 )) $(( r[1] + 2 )) "$PANEL" 3 "panel left of the stage"
expect_pixel "$(sx 4)" "$(sy 3)" CC3322 3 "box actor"
expect_pixel "$(sx 10)" "$(sy 6)" 3366CC 3 "wide actor"
expect_pixel "$(sx 4)" $(( $(sy 3) + 90 )) "$BG" 3 "box drawn at the stage's scale"
pr=(${L[play]})
got=$(pixel $(( pr[0] + pr[2] / 2 )) $(( pr[1] + 4 )))
t near "$got" "$PANEL" 3 && fail "no Play button picture"

# --- Select "box": outline, layer row, property rows ---------------------------------------------
click "$(sx 4)" "$(sy 3)"
shoot
expect_pixel $(( $(sx 3) + 1 )) "$(sy 3)" "$OUTLINE" 3 "selection outline, left edge"
# The layer list shows the topmost actor first: "wide", then "box".
l1=(${L[layer1]})
expect_pixel $(( l1[0] + l1[2] - 3 )) "$(cy layer1)" "$SELECTED" 3 "box highlighted in the layer list"
xr=(${L[x]})
got=$(pixel $(( xr[0] + 3 )) "$(cy x)")
t near "$got" "$PANEL" 3 && fail "no X slider with a selection"
# The layer list selects too.
press_rect layer0
shoot
l0=(${L[layer0]})
expect_pixel $(( l0[0] + l0[2] - 3 )) "$(cy layer0)" "$SELECTED" 3 "wide highlighted after its row was clicked"
press_rect layer1

# --- Save writes every actor; check boxes ----------------------------------------------------------
rm -f "$actors/wide.data"
press_rect save
cmp -s "$actors/wide.data" "$work/wide.original" || fail "Save did not write wide.data as it was"
cmp -s "$actors/box.data" "$work/box.original" || fail "Save did not write box.data as it was"
press_rect wobble
save_files
[ "$(t info "$actors/box.data")" = "$FRAMES 0 1" ] || fail "Wobble: $(t info "$actors/box.data")"
press_rect bindscale
press_rect wobble
save_files
[ "$(t info "$actors/box.data")" = "$FRAMES 1 0" ] || fail "Bind scale: $(t info "$actors/box.data")"
press_rect bindscale
save_files
cmp -s "$actors/box.data" "$work/box.original" || fail "boxes cleared: $(t info "$actors/box.data")"

# --- A drag through the scaled stage: the scene moves by the motion / scale ------------------------
DX=80
drag $(( $(sx 8) )) $(( $(sy 7) )) "$DX" 0 0.5
save_files
want=$(awk -v d="$DX" -v s="$SCALE" 'BEGIN { printf "%.4f", 4 + d / (80 * s) }')
read -r x0 _ < <(t pose "$actors/box.data" 0)
read -r xlast _ < <(t pose "$actors/box.data" $(( FRAMES - 1 )))
awk -v a="$x0" -v b="$xlast" -v w="$want" 'BEGIN { exit !(a - w < 0.01 && w - a < 0.01 && a == b) }' \
  || fail "drag by $DX pixels: x $x0 .. $xlast, expected $want"
cp "$actors/box.data" "$work/box.before-take"

# --- A recorded take (R), undone and redone -----------------------------------------------------
keys Home
keys r
drag "$(sx 8)" "$(sy 7)" 0 120 0.8
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
[ -e "$RECOVERY" ] && fail "a recovery file is left after Save"

# --- kill -9 after a drag: the next start restores it, Ctrl+S writes it ----------------------------
keys Home
drag "$(sx 8)" "$(sy 7)" 0 "$DX" 0.5
settle 2
[ -s "$RECOVERY" ] || fail "no recovery file 2 s after a drag"
cmp -s "$actors/box.data" "$work/box.after-take" || fail "the drag was saved without Save"
kill -KILL "$pid"; wait "$pid" 2>/dev/null; pid=
start w --edit
grep -q "Restored" "$work/err" || fail "the restart did not say it restored the unsaved edits"
save_files
read -r _ y0 _ < <(t pose "$actors/box.data" 0)
read -r _ yb _ < <(t pose "$work/box.after-take" 0)
awk -v a="$y0" -v b="$yb" -v d="$DX" -v s="$SCALE" 'BEGIN { w = b + d / (80 * s); exit !(a - w < 0.01 && w - a < 0.01) }' \
  || fail "after kill -9 and restart, Ctrl+S wrote y $y0 at frame 0 (before the drag $yb)"
[ -e "$RECOVERY" ] && fail "Ctrl+S left the recovery file"
cp "$actors/box.data" "$work/box.saved"

# --- kill -9 in the middle of a take --------------------------------------------------------------
press_rect layer1   # select box again (a new session selects nothing)
keys Home
keys r
at "$(sx 8)" "$(sy 7)"; settle 0.1
xdotool mousedown 1
for i in $(seq 20); do at "$(sx 8)" $(( $(sy 7) + 4 * i )); sleep 0.12; done
sleep 0.8
kill -KILL "$pid"; wait "$pid" 2>/dev/null; pid=
xdotool mouseup 1
[ -s "$RECOVERY" ] || fail "no recovery file during a take"
start w --edit
save_files
read -r _ y0 _ < <(t pose "$work/box.saved" $(( FRAMES - 1 )))
read -r _ ylast _ < <(t pose "$actors/box.data" $(( FRAMES - 1 )))
awk -v a="$y0" -v b="$ylast" 'BEGIN { exit !(b - a > 0.3) }' \
  || fail "the take before kill -9 was lost: y at the end $ylast, before the take $y0"
cp "$actors/box.data" "$work/box.saved"
cp "$actors/wide.data" "$work/wide.saved"

# --- The quit guard: Escape -------------------------------------------------------------------------
press_rect layer1
drag "$(sx 8)" "$(sy 7)" 40 0 0.3
keys Escape
settle 0.5
kill -0 "$pid" 2>/dev/null || fail "Escape with unsaved edits ended the editor"
grep -q "unsaved changes: not quitting" "$work/err" || fail "the editor did not say why it stays"
shoot
keys Escape
wait_exit 100 || fail "the second Escape did not end the editor"
[ "$rc" -eq 0 ] || fail "exit code $rc after the second Escape"
cmp -s "$actors/box.data" "$work/box.saved" || fail "quitting without saving changed box.data"
cmp -s "$actors/wide.data" "$work/wide.saved" || fail "quitting without saving changed wide.data"
[ -e "$RECOVERY" ] && fail "quitting without saving left the recovery file"

# --- The quit guard: the window's close button ------------------------------------------------------
start w --edit
"$tool" close-window "$win" || fail "cannot ask the window to close"
wait_exit 50 || fail "closing the window with nothing unsaved did not end the editor"
start w --edit
press_rect layer1
drag "$(sx 8)" "$(sy 7)" 40 0 0.3
"$tool" close-window "$win"
settle 0.5
kill -0 "$pid" 2>/dev/null || fail "closing the window with unsaved edits ended the editor"
"$tool" close-window "$win"
wait_exit 100 || fail "the second close did not end the editor"
cmp -s "$actors/box.data" "$work/box.saved" || fail "closing without saving changed box.data"

# --- A signal keeps unsaved edits in the recovery file ----------------------------------------------
start w --edit
press_rect layer1
drag "$(sx 8)" "$(sy 7)" 40 0 0.2
kill -TERM "$pid"
wait_exit 100 || fail "SIGTERM did not end the editor"
[ -s "$RECOVERY" ] || fail "SIGTERM with unsaved edits left no recovery file"
cmp -s "$actors/box.data" "$work/box.saved" || fail "SIGTERM saved box.data"
: >"$work/err"
start w --edit
grep -q "Restored" "$work/err" || fail "the start after SIGTERM did not restore the edits"
keys Escape
keys Escape
wait_exit 100 || fail "two Escapes did not end the editor"
[ -e "$RECOVERY" ] && fail "quitting without saving left the recovery file"
cmp -s "$actors/box.data" "$work/box.saved" || fail "quitting without saving changed box.data"

# --- The drawing order: Page Down, Save, a restart ------------------------------------------------
sums() { (cd "$actors" && for f in *.png *.data; do md5sum <"$f"; done | sort); }
sums >"$work/sums.before"
start w --edit
press_rect layer0   # "wide", the topmost
keys Next
save_files
keys Escape
wait_exit 100 || fail "Escape after Save did not end the editor"
sums >"$work/sums.after"
cmp -s "$work/sums.before" "$work/sums.after" || fail "a picture or track was lost by the renaming: $(ls "$actors")"
ls "$actors" | grep -q -- '-wide\.png$' && ls "$actors" | grep -q -- '-box\.png$' || fail "not renamed: $(ls "$actors")"
[ -e "$actors/.drawing-order.journal" ] && fail "the renaming's journal is left"
start w --edit
# Now "box" is the topmost, and "wide" is in the second row of the list.
click "$(sx 9)" "$(sy 6)"   # only "wide" is drawn here
shoot
l1=(${L[layer1]})
expect_pixel $(( l1[0] + l1[2] - 3 )) "$(cy layer1)" "$SELECTED" 3 "wide in the second row after the restart"
box_data=$(ls "$actors"/*-box.data)

# --- A drag at 200% zoom: half as many stage pixels as pointer pixels ------------------------------
press_rect layer0   # box
cp "$box_data" "$work/box.before-zoom"
notches=$(awk -v s="$SCALE" 'BEGIN { n = split("0.25 0.3333 0.5 0.6667 1 1.5 2", l, " "); c = 0;
  for (i = 1; i <= n; i++) if (l[i] > s * 1.001) c++; print c }')
at "$(sx 4)" "$(sy 3)"; settle 0.1
xdotool keydown ctrl
for _ in $(seq "$notches"); do xdotool click 4; sleep 0.1; done
xdotool keyup ctrl
settle 0.3
drag "$(sx 4)" "$(sy 3)" 80 0 0.5
save_files
read -r x0 _ < <(t pose "$work/box.before-zoom" 0)
read -r x1 _ < <(t pose "$box_data" 0)
awk -v a="$x0" -v b="$x1" 'BEGIN { d = (b - a) * 80; exit !(d > 39.5 && d < 40.5) }' \
  || fail "an 80-pixel drag at 200% zoom moved box by $(awk -v a="$x0" -v b="$x1" 'BEGIN { print (b - a) * 80 }') stage pixels, not 40"
keys Escape
wait_exit 100 || fail "Escape after Save did not end the editor"

# --- Without --edit the window keeps the stage's size -----------------------------------------------
start w
geometry=$(xwininfo -id "$win")
echo "$geometry" | grep -q "Width: 1280\$" && echo "$geometry" | grep -q "Height: 720\$" \
  || fail "without --edit the window is not 1280 x 720"
keys Escape
wait_exit 100 || fail "Escape did not end the player"
[ "$rc" -eq 0 ] || fail "exit code $rc of the player"

# --edit alone opens the editor's window too.
start --edit
xwininfo -id "$win" | grep -q "Width: $W\$" || fail "--edit alone: the window is not $W wide"
keys Escape
wait_exit 100 || fail "Escape did not end the editor started with --edit alone"

echo "editing mode: window fits, scrubbing music, scaled stage, controls, take, recovery after kill -9, quit guard as expected"
