#!/usr/bin/env bash
# rig_take.sh TUMELORA E2E_TOOL MAKE_TONE SOURCE_DIR RIG_TAKE_CHECK: the real program in its
# editing mode on the bundled scene (its rig file included): the dancer's left upper arm is
# selected by clicking until its pivot is drawn as the selected one, a take is recorded while
# the right button turns the arm about the shoulder, and "Save" writes the tracks; replayed
# through the player's easing, every joint of the dancer holds in every frame (rig_take_check).
check_tool=$(readlink -f "$5")
. "$(dirname "$0")/e2e_lib.sh"
[ -x "$check_tool" ] || fail "no rig_take_check at $check_tool"

new_run rig 30
cp "$src"/data/actors/* "$run/data/actors/" || fail "cannot copy the bundled scene"
# The editing mode's window, the stage centred in it, and the colour of the selected pivot.
W=1600; H=1016; OX=$(( (W - STAGE_W) / 2 )); OY=$(( (H - STAGE_H) / 2 ))
SELECTED_PIVOT=FF3060
at() { echo $(( $1 + OY )); }  # a panel button's y in the window

(cd "$run" && exec env "${program_env[@]}" TUMELORA_NO_ERROR_BOX=1 SDL_AUDIODRIVER=disk \
   SDL_DISKAUDIOFILE="$run/audio.raw" "$bin" w --edit 2>"$run/err" >"$run/out") &
pid=$!
wait_window 300 || fail "no window named TUMELORA"
wait_drawn 400 $((W - 10)) 10 || fail "the editor was never drawn"

# The upper arm at frame 0: its middle, and its shoulder (the pivot, 30 pixels above the
# middle in the picture) turned with it.
read -r _ ax ay ar _ < <(dump 26-dancer-upper-arm-left | sed -n 2p)
read -r mx my sx sy < <(awk -v x="$ax" -v y="$ay" -v r="$ar" -v ox="$OX" -v oy="$OY" 'BEGIN {
  mx = ox + x * 80; my = oy + y * 80
  printf "%d %d %d %d\n", mx + 0.5, my + 0.5, mx + 30 * sin(r) + 0.5, my - 30 * cos(r) + 0.5 }')
selected=
for _ in $(seq 12); do
  click "$mx" "$((my + 20))"
  sleep 0.3
  [ "$(pixel "$sx" "$sy")" = "$SELECTED_PIVOT" ] && { selected=1; break; }
done
[ -n "$selected" ] || fail "the upper arm's pivot never showed as selected at ($sx, $sy)"

# "Rec", then the right button held 100 pixels below the shoulder: a slow turn of 1.2 radians
# forward and a quick one back, while the take runs.
read -r rx ry < <(echo $REC)
click "$rx" "$(at "$ry")"
sleep 0.3
xdotool mousemove --window "$win" "$sx" "$((sy + 100))" mousedown 3
for i in $(seq 40) $(seq 40 -4 0); do
  read -r px py < <(awk -v i="$i" -v x="$sx" -v y="$sy" 'BEGIN {
    a = 1.5707963 + i * 0.03; printf "%d %d\n", x + 100 * cos(a), y + 100 * sin(a) }')
  xdotool mousemove --window "$win" "$px" "$py"
  sleep 0.04
done
xdotool mouseup 3
sleep 0.3
read -r tx ty < <(echo $STOP)
click "$tx" "$(at "$ty")"
read -r vx vy < <(echo $SAVE)
click "$vx" "$(at "$vy")"
sleep 0.5
escape_ends_it

! grep -q "rig.txt" "$run/err" || fail "the rig file was reported: $(grep rig.txt "$run/err")"
cmp -s "$run/data/actors/rig.txt" "$src/data/actors/rig.txt" || fail "Save changed the rig file"
"$check_tool" "$run/data/actors" "$src/data/actors" || fail "the joints did not hold in the take"
echo "the take turned the upper arm and every joint held"
