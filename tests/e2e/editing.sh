#!/usr/bin/env bash
# editing.sh TUMELORA E2E_TOOL MAKE_TONE SOURCE_DIR: in the real program "Stop" halts playback,
# a click selects an actor, a drag moves it from the current frame on (shown at once), and
# "Save" rewrites every actor's data file through the safe writer: a file that cannot be
# replaced keeps what is there, the other actors are still saved, no temporary file stays.
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1" "$2" "$3" "$4"
start_display 1920x1200

FRAMES=600
new_run editing 30
# Written as version 1 (no flag bytes): a saved file is version 2.
actor a.png 80 80 FF0000 $FRAMES 4 4 0 0 0 1 1 1
actor b.png 80 80 0000FF $FRAMES 10 4 0 0 0 1 1 1
# c's data file cannot be replaced: a folder with a file in it stands in its place.
actor c.png 80 80 00FF00
mkdir "$run/data/actors/c.data"
echo kept >"$run/data/actors/c.data/keep"
# m shows the frame playback has reached: at (1, 8) for frames 0 to 29, at (5, 8) from 30 on.
actor m.png 40 40 FFFF00
"$tool" segments "$run/data/actors/m.data" 30 1 8 $((FRAMES - 30)) 5 8 || fail "cannot write track"
start_drawn
# "Stop" once playback is past its first frames.
wait_pixels "frame 30 reached:400:640:FFFF00"
click $STOP
# A click on a (centre (320, 320)) selects it; a drag anywhere outside the panel moves it by
# (80, 40) pixels = (1, 0.5) units.
click 320 320
drag 600 500 80 40 8
# Stopped: the moved actor shows at its new place.
wait_pixels "a moved:400:360:FF0000" "a left its place:300:300:$BACKGROUND" "b stays:800:320:0000FF"
click $SAVE
# The program takes its input in order: "Save" is done before Escape ends it.
escape_ends_it

# a: frames before the stop frame f unchanged, frames from f on moved by (1, 0.5).
dump a >"$run/a.txt"
[ "$(head -n1 "$run/a.txt")" = "complete 2 $FRAMES 0 0" ] || fail "a saved as: $(head -n1 "$run/a.txt")"
f=$(awk 'NR > 1 && $2 != "4.000000" {print $1; exit}' "$run/a.txt")
[ -n "$f" ] || fail "a was not moved"
[ "$f" -gt 0 ] && [ "$f" -lt $FRAMES ] || fail "a moved from frame $f, expected a frame within playback"
awk -v f="$f" 'NR > 1 {
    i = $1; dx = $2 - 4; dy = $3 - 4
    if (i < f && (dx != 0 || dy != 0)) { print "frame " i " before the edit changed"; exit 1 }
    if (i >= f && (dx < 0.9999 || dx > 1.0001 || dy < 0.4999 || dy > 0.5001)) {
      print "frame " i " at " $2 ", " $3 ", expected 5, 4.5"; exit 1 }
    if ($4 != 0 || $5 != 1 || $6 != 1) { print "frame " i " turned or scaled"; exit 1 }
  }' "$run/a.txt" || fail "a saved wrongly"
echo "a moved from frame $f on"
# b: rewritten (now version 2), every pose unchanged.
dump b >"$run/b.txt"
[ "$(head -n1 "$run/b.txt")" = "complete 2 $FRAMES 0 0" ] || fail "b saved as: $(head -n1 "$run/b.txt")"
awk 'NR > 1 && ($2 != "10.000000" || $3 != "4.000000") {exit 1}' "$run/b.txt" || fail "b changed"
# c: the folder in its place and the file in it are untouched; no temporary file is left.
[ -d "$run/data/actors/c.data" ] || fail "c.data is no longer the folder"
[ "$(cat "$run/data/actors/c.data/keep")" = kept ] || fail "the folder's file changed"
leftovers=$(find "$run/data/actors" -mindepth 1 -maxdepth 1 -name '.*')
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"
[ "$(ls "$run/data/actors" | wc -l)" -eq 8 ] || fail "unexpected files: $(ls "$run/data/actors")"

echo "stop, select, drag and save as expected"
