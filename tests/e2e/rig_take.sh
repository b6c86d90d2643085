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
SELECTED_PIVOT=FF3060
keys() { xdotool windowfocus "$win" 2>/dev/null; xdotool key --clearmodifiers "$@"; sleep 0.3; }

(cd "$run" && exec env "${program_env[@]}" TUMELORA_NO_ERROR_BOX=1 XDG_CONFIG_HOME="$run/config" SDL_AUDIODRIVER=disk \
   SDL_DISKAUDIOFILE="$run/audio.raw" "$bin" w --edit 2>"$run/err" >"$run/out") &
pid=$!
wait_window 300 || fail "no window named TUMELORA"
sleep 1.5

# The editor's layout for its window: the scaled stage maps scene points to window pixels.
geometry=$(xwininfo -id "$win")
W=$(echo "$geometry" | awk '/^ *Width:/ { print $2 }')
H=$(echo "$geometry" | awk '/^ *Height:/ { print $2 }')
size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }
read -r BTN_W BTN_H < <(size "$src/data/button.png")
read -r _ THUMB_H < <(size "$src/data/slider-thumb.png")
read -r CHECK_W CHECK_H < <(size "$src/data/checkbox.png")
LINE_H=$(awk '/^common/ { for (i = 1; i <= NF; i++) if ($i ~ /^lineHeight=/) { sub("lineHeight=", "", $i); print $i } }' "$src/data/droid30.fnt")
read -r STAGE_X STAGE_Y SCALE < <("$tool" editor-layout "$W" "$H" "$BTN_W" "$BTN_H" "$THUMB_H" "$CHECK_W" "$CHECK_H" "$LINE_H" |
  awk '$1 == "stage" { x = $2; y = $3 } $1 == "scale" { s = $2 } END { print x, y, s }')
[ -n "$SCALE" ] || fail "no editor layout for ${W}x${H}"
# A scene point (units) as a window pixel.
window_point() { awk -v x="$1" -v y="$2" -v ox="$STAGE_X" -v oy="$STAGE_Y" -v s="$SCALE" \
  'BEGIN { printf "%d %d\n", ox + x * 80 * s + 0.5, oy + y * 80 * s + 0.5 }'; }

# The upper arm at frame 0: its middle, and its shoulder (the pivot, 30 pixels above the
# middle in the picture) turned with it.
read -r _ ax ay ar _ < <(dump 26-dancer-upper-arm-left | sed -n 2p)
read -r mx my < <(window_point "$ax" "$(awk -v y="$ay" 'BEGIN { print y + 0.25 }')")
read -r sx sy < <(window_point "$(awk -v x="$ax" -v r="$ar" 'BEGIN { print x + 30 * sin(r) / 80 }')" \
                               "$(awk -v y="$ay" -v r="$ar" 'BEGIN { print y - 30 * cos(r) / 80 }')")
selected=
for _ in $(seq 12); do
  click "$mx" "$my"
  sleep 0.3
  [ "$(pixel "$sx" "$sy")" = "$SELECTED_PIVOT" ] && { selected=1; break; }
done
[ -n "$selected" ] || fail "the upper arm's pivot never showed as selected at ($sx, $sy)"

# "Rec" (R), then the right button held below the shoulder: a slow turn of 1.2 radians
# forward and a quick one back, while the take runs; R stops it, Ctrl+S saves.
keys r
radius=$(awk -v s="$SCALE" 'BEGIN { printf "%d", 100 * s }')
xdotool mousemove --window "$win" "$sx" "$((sy + radius))" mousedown 3
for i in $(seq 40) $(seq 40 -4 0); do
  read -r px py < <(awk -v i="$i" -v x="$sx" -v y="$sy" -v r="$radius" 'BEGIN {
    a = 1.5707963 + i * 0.03; printf "%d %d\n", x + r * cos(a), y + r * sin(a) }')
  xdotool mousemove --window "$win" "$px" "$py"
  sleep 0.04
done
xdotool mouseup 3
sleep 0.3
keys r
keys ctrl+s
sleep 0.5
escape_ends_it

! grep -q "rig.txt" "$run/err" || fail "the rig file was reported: $(grep rig.txt "$run/err")"
cmp -s "$run/data/actors/rig.txt" "$src/data/actors/rig.txt" || fail "Save changed the rig file"
"$check_tool" "$run/data/actors" "$src/data/actors" || fail "the joints did not hold in the take"
echo "the take turned the upper arm and every joint held"
