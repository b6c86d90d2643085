#!/usr/bin/env bash
# rig_take.sh TUMELORA E2E_TOOL MAKE_TONE SOURCE_DIR RIG_TAKE_CHECK: the real program in its
# editing mode on the bundled scene (its rig file included): the dancer's left upper arm is
# selected by clicking until its pivot is drawn as the selected one, a take is recorded while
# the right button turns the arm about the shoulder, and "Save" writes the tracks; replayed
# through the player's easing, every joint of the dancer holds in every frame (rig_take_check).
check_tool=$(readlink -f "$5")
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1" "$2" "$3" "$4"
start_display 1920x1200
[ -x "$check_tool" ] || fail "no rig_take_check at $check_tool"

new_run rig 30
cp "$src"/data/actors/* "$run/data/actors/" || fail "cannot copy the bundled scene"
SELECTED_PIVOT=FF3060

program_args=(w --edit)
start
wait_window || fail "no window named TUMELORA"
# The editor's layout for its window: the scaled stage maps scene points to window pixels.
editor_layout
editor_sync
read -r STAGE_X STAGE_Y _ < <(echo "${L[stage]}")
# A scene point (units) as a window pixel.
window_point() { awk -v x="$1" -v y="$2" -v ox="$STAGE_X" -v oy="$STAGE_Y" -v s="$SCALE" -v u="$UNIT" \
  'BEGIN { printf "%d %d\n", ox + x * u * s + 0.5, oy + y * u * s + 0.5 }'; }

# The upper arm at frame 0: its middle, and its shoulder (the pivot, 30 pixels above the
# middle in the picture) turned with it.
read -r _ ax ay ar _ < <(dump 26-dancer-upper-arm-left | sed -n 2p)
read -r mx my < <(window_point "$ax" "$(awk -v y="$ay" 'BEGIN { print y + 0.25 }')")
read -r sx sy < <(window_point "$(awk -v x="$ax" -v r="$ar" 'BEGIN { print x + 30 * sin(r) / 80 }')" \
                               "$(awk -v y="$ay" -v r="$ar" 'BEGIN { print y - 30 * cos(r) / 80 }')")
# Each click selects the next actor under the pointer; the pivot is looked at once the editor
# has drawn the click.
selected=
for _ in $(seq 12); do
  click "$mx" "$my"
  editor_sync
  [ "$(pixel "$sx" "$sy")" = "$SELECTED_PIVOT" ] && { selected=1; break; }
done
[ -n "$selected" ] || fail "the upper arm's pivot never showed as selected at ($sx, $sy)"

# "Rec" (R), then the right button held below the shoulder: a slow turn of 1.2 radians
# forward and a quick one back, while the take runs (each step after a little more sound, the
# clock the take's frames follow); R stops it, Ctrl+S saves.
keys r
radius=$(awk -v s="$SCALE" 'BEGIN { printf "%d", 100 * s }')
xdotool mousemove --window "$win" "$sx" "$((sy + radius))" mousedown 3
for i in $(seq 40) $(seq 40 -4 0); do
  read -r px py < <(awk -v i="$i" -v x="$sx" -v y="$sy" -v r="$radius" 'BEGIN {
    a = 1.5707963 + i * 0.03; printf "%d %d\n", x + r * cos(a), y + r * sin(a) }')
  wait_audio 0.04
  xdotool mousemove --window "$win" "$px" "$py"
done
xdotool mouseup 3
# The program takes its input in order: the take is stopped and saved before Escape ends it.
keys r
keys ctrl+s
escape_ends_it

! grep -q "rig.txt" "$run/err" || fail "the rig file was reported: $(grep rig.txt "$run/err")"
cmp -s "$run/data/actors/rig.txt" "$src/data/actors/rig.txt" || fail "Save changed the rig file"
"$check_tool" "$run/data/actors" "$src/data/actors" || fail "the joints did not hold in the take"
echo "the take turned the upper arm and every joint held"
