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

# 1. Escape. The actor stands at (4, 4) for frames 0 to 899 and at (12, 4) from frame 900 on:
# the first frame drawn shows it at the start (fifteen seconds of frames: the first picture
# taken after it is drawn falls within them even when each takes seconds on a busy machine),
# later frames show it moved on.
new_run escape 30
actor a.png 80 80 FF0000
"$tool" segments "$run/data/actors/a.data" 900 4 4 300 12 4 || fail "cannot write track"
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

# 2. The end of a 10-second music ends the program by itself, long before the 1200 frames
# (the music is long enough for its first frame to be seen on a busy machine).
new_run music-end 10
actor a.png 80 80 FF0000 1200 4 4
started=$(date +%s%N)
start_drawn
# Tenths of a second from the start to the first drawn frame, as seen here (later than it was).
drawn_tenths=$((($(date +%s%N) - started) / 100000000))
wait_exit || fail "the program did not end with its music"
[ "$rc" -eq 0 ] || fail "exit code $rc at the end of the music, expected 0"
loud=$(loud_tenths)
echo "music-end run: $loud tenths of a second of music heard"
# The whole music was heard, from its start: 10 s of tone (the rest of the file is silence),
# within a tenth (near its zero crossings a sine is below the loudness counted).
[ "$loud" -ge 90 ] && [ "$loud" -le 110 ] || fail "heard $loud tenths of a second, expected 100"
# It began after the two-second pause that follows loading: the device plays silence from the
# moment it opens (during loading) until then, and no faster than the clock on the wall. Not
# after playback: by the first frame drawn (a second's leeway), however long loading took.
lead=$(lead_tenths)
echo "music-end run: the music began after $lead tenths of a second (first frame seen after $drawn_tenths)"
[ "$lead" -ge 15 ] && [ "$lead" -le $((drawn_tenths + 10)) ] \
  || fail "the music began after $lead tenths of a second, the first frame was seen after $drawn_tenths"

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
