#!/usr/bin/env bash
# recording.sh TUMELORA E2E_TOOL MAKE_TONE SOURCE_DIR: in the real program "Rec" runs the frames
# while the user drags, so the saved track holds the path frame by frame; "<<" goes back to
# frame 0 and "Reset>>" cuts the selected actor's track after the current frame.
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1" "$2" "$3" "$4"
start_display 1920x1200

# Twenty seconds of frames and a minute of music: time for the test's steps on a busy machine
# before playback ends, and for the take before the music does (its end ends the program).
FRAMES=1200
new_run recording 60
actor a.png 80 80 FF0000 $FRAMES 4 4
actor b.png 80 80 0000FF $FRAMES 10 4
start_drawn
click $STOP
click 320 320
# Record: 80 pixels to the right in 10 steps of 8 pixels (0.1 unit). Each step waits until
# the one before it is drawn and the music (the clock the frames follow) has moved on by 0.15 s,
# about 9 frames: the steps land on frames spread over the take however busy the machine is.
recorded_step() {
  [ "$step" -eq 1 ] || wait_pixels "a drawn after step $((step - 1)) of the take:$((347 + 8 * step)):320:FF0000"
  wait_audio 0.15
}
click $REC
drag 600 500 80 0 10 recorded_step
wait_pixels "a drawn after the last step of the take:$((355 + 80)):320:FF0000"
click $STOP
# Select b, rewind, cut its track at frame 0; the program takes its input in order, so all
# of it is done before Escape ends it.
click 800 320
click $REWIND
click $RESET
click $SAVE
escape_ends_it

# a: still at x 4 before the recording; from its first moved frame on x never falls, grows in
# many small steps spread over many frames, and ends 1 unit to the right; y stays.
dump a >"$run/a.txt"
read -r status version count _ <"$run/a.txt"
[ "$status $version" = "complete 2" ] || fail "a saved as: $(head -n1 "$run/a.txt")"
[ "$count" -ge $FRAMES ] || fail "a has $count poses, expected at least $FRAMES"
awk 'NR > 1 {
    if ($3 != "4.000000") { print "frame " $1 " y changed"; exit 1 }
    if ($2 + 0 < last - 1e-6) { print "x falls at frame " $1; exit 1 }
    if (NR > 2 && $2 != prev) { changes++; if (!first) first = $1; lastChange = $1 }
    prev = $2; last = $2 + 0
  }
  END {
    if (last < 4.9999 || last > 5.0001) { print "ends at x " last ", expected 5"; exit 1 }
    if (changes < 6) { print "only " changes " steps recorded"; exit 1 }
    if (lastChange - first < 30) { print "the path spans frames " first " to " lastChange " only"; exit 1 }
    print "path recorded in " changes " steps over frames " first " to " lastChange
  }' "$run/a.txt" || fail "the recorded path is wrong"

# b: cut after frame 0: one pose, the first one.
dump b >"$run/b.txt"
[ "$(head -n1 "$run/b.txt")" = "complete 2 1 0 0" ] || fail "b saved as: $(head -n1 "$run/b.txt")"
[ "$(sed -n 2p "$run/b.txt")" = "0 10.000000 4.000000 0.000000 1.000000 1.000000" ] \
  || fail "b's remaining pose: $(sed -n 2p "$run/b.txt")"

echo "recording and cutting as expected"
