#!/usr/bin/env bash
# playback.sh TUMELORA E2E_TOOL MAKE_TONE SOURCE_DIR: the real program starts playing from
# frame 0 together with the music (heard in SDL's disk audio file), Escape and the quit
# signals end it with exit code 0, and the end of the music ends it by itself.
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1" "$2" "$3" "$4"
start_display 1920x1200

# Stereo frames per second of the captured audio.
RATE=44100

# loud_tenths: tenths of a second of the captured audio that carry the tone (not silence), in tenths.
loud_tenths() {
  "$tool" audio "$run/audio.raw" | awk '{print int($4 * 10 / '"$RATE"' + 0.5)}'
}

# lead_tenths: tenths of a second of silence before the tone in the captured audio.
lead_tenths() {
  "$tool" audio "$run/audio.raw" | awk '{print int($8 * 10 / '"$RATE"')}'
}

# 1. Escape. The actor stands at (4, 4) for frames 0 to 299 and at (12, 4) from frame 300 on:
# the first frame drawn shows it at the start (five seconds of frames: a first frame is seen
# well within them however busy the machine), later frames show it moved on.
new_run escape 30
actor a.png 80 80 FF0000
"$tool" segments "$run/data/actors/a.data" 300 4 4 300 12 4 || fail "cannot write track"
start_drawn 320 320
[ "${first_frame[0]}" = FF0000 ] \
  || fail "frame 0: the actor at its first pose: pixel (320, 320) is ${first_frame[0]}, expected FF0000"
wait_pixels "later frames: the first place is empty:320:320:$BACKGROUND" \
  "later frames: the actor moved on:960:320:FF0000"
escape_ends_it
grep -q "^Audio error" "$run/err" && fail "audio error with a working disk device"
# The music played: the captured audio holds the tone for about as long as the program played.
loud=$(loud_tenths)
echo "escape run: $loud tenths of a second of music heard"
[ "$loud" -ge 20 ] || fail "the captured audio holds only $loud tenths of a second of music"

# 2. The end of a 2-second music ends the program by itself, long before the 600 frames.
new_run music-end 2
actor a.png 80 80 FF0000 600 4 4
start_drawn
wait_exit || fail "the program did not end with its music"
[ "$rc" -eq 0 ] || fail "exit code $rc at the end of the music, expected 0"
loud=$(loud_tenths)
echo "music-end run: $loud tenths of a second of music heard"
# The whole music was heard, from its start: 2 s of tone (the rest of the file is silence).
[ "$loud" -ge 18 ] && [ "$loud" -le 22 ] || fail "heard $loud tenths of a second, expected 20"
# It began after the two-second pause that follows loading: the device plays silence from the
# moment it opens (during loading) until then.
lead=$(lead_tenths)
echo "music-end run: the music began after $lead tenths of a second"
[ "$lead" -ge 15 ] && [ "$lead" -le 80 ] || fail "the music began after $lead tenths of a second"

# 3. SIGTERM during playback, SIGINT (Ctrl+C) during the start-up pause and SIGHUP in the
# editing mode each end the program, as Escape does: no data file is written.
new_run signals 30
actor a.png 80 80 FF0000 600 4 4
cp "$run/data/actors/a.data" "$work/a.before"
start_drawn
signal_ends_it TERM
start
wait_window || fail "no window named TUMELORA"
signal_ends_it INT
program_args=(w --edit)
start
wait_window || fail "no editor window named TUMELORA"
# The editor has started once its stage shows the background (at the scaled stage's top-left).
wait_drawn 100 100 || fail "the editor never drew its stage"
signal_ends_it HUP
program_args=(w)
cmp -s "$run/data/actors/a.data" "$work/a.before" || fail "a signal rewrote the data file"

echo "playback with music, Escape, signals and the end of the music as expected"
