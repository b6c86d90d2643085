#!/usr/bin/env bash
# failures.sh TUMELORA E2E_TOOL MAKE_TONE SOURCE_DIR: the real program's start-up failures, with
# the error boxes printed on stderr only: no font ends it with "Couldn't initialize
# MainState."; no music (named), no audio device, missing skin pictures (silently) and actor
# pictures that cannot be shown (each named with its reason) are reported, and the rest runs.
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1" "$2" "$3" "$4"
start_display 1920x1200

# 1. No font: the state cannot start; the program says so and ends with exit code 0.
new_run no-font 5
rm "$run/data/droid30.fnt"
actor a.png 80 80 FF0000 60 4 4
start
wait_exit || fail "the program did not end without its font"
[ "$rc" -eq 0 ] || fail "exit code $rc without font, expected 0"
grep -qxF "Error: Couldn't initialize MainState." "$run/err" || fail "no MainState message"
expect_no_error "Audio error"

# 2. No music: "Can't load music", and the animation still plays to its end: 60 frames at
# (4, 4), then 30 at (12, 4); it rests on the last frame and the program keeps running.
new_run no-music
actor a.png 80 80 FF0000
"$tool" segments "$run/data/actors/a.data" 60 4 4 30 12 4 || fail "cannot write track"
start_drawn
grep -qxF "Audio error: Can't load music data/lumokari2_tumelora_voices.ogg" "$run/err" \
  || fail "no music message naming the file"
wait_pixels "no music: the actor at its last pose:960:320:FF0000" \
  "no music: not at its first pose:320:320:$BACKGROUND"
# The last 30 frames take half a second (without music the frames follow the wall clock).
stays_running 2 "without music"
escape_ends_it
[ "$(grep -c "^Audio error" "$run/err")" -eq 1 ] || fail "more than the music message"

# 3. No audio device: "Unable to initialize sound! (code)"; the program runs and draws.
new_run no-audio 2
actor a.png 80 80 FF0000 600 4 4
start SDL_AUDIODRIVER=nonexistent
wait_window || fail "no window without audio device"
wait_drawn 1278 718 320 320 || fail "nothing drawn without audio device"
grep -qE '^Audio error: Unable to initialize sound! \(-?[0-9]+\)$' "$run/err" \
  || fail "no sound message"
[ "${first_frame[0]}" = FF0000 ] || fail "no audio: the actor: pixel (320, 320) is ${first_frame[0]}, expected FF0000"
# The 2-second music cannot play, so its end cannot end the program.
stays_running 3 "without audio device"
escape_ends_it

# 4. Missing skin pictures: no message; the scene is drawn and the panel's buttons still work
# ("Stop", then "Save" rewrites the version-1 data file as version 2). The program takes its
# input in order: the clicks are done before Escape ends it.
new_run no-skins 30
rm "$run/data/button.png" "$run/data/slider-thumb.png" "$run/data/checkbox-check.png"
actor a.png 80 80 FF0000 600 4 4 0 0 0 1 1 1
start_drawn
expect_colour "no skins: the actor" 320 320 FF0000
click $STOP
click $SAVE
escape_ends_it
[ "$(dump a | head -n1)" = "complete 2 600 0 0" ] || fail "no skins: Save did not write a"
expect_no_messages

# 5. Actor pictures that cannot be shown are skipped, each named with its reason on stderr;
# the other actors load and are drawn.
new_run bad-pictures 30
printf '\x89PNG\r\n\x1a\n garbage that is no picture' >"$run/data/actors/broken.png"
: >"$run/data/actors/empty.jpg"
echo "a text saved as a picture" >"$run/data/actors/text.jpg"
"$tool" picture "$run/data/actors/huge.png" 8193 2 00FF00 || fail "cannot write huge.png"
"$tool" picture "$work/whole.jpg" 400 400 112233 || fail "cannot write whole.jpg"
head -c 1500 "$work/whole.jpg" >"$run/data/actors/cut.jpg"
actor a.png 80 80 FF0000 600 4 4
"$tool" track "$run/data/actors/broken.data" 600 8 4 || fail "cannot write track"
start_drawn
expect_pixels "bad pictures: the good actor:320:320:FF0000" \
  "bad pictures: nothing where the broken one would be:640:320:$BACKGROUND"
escape_ends_it
expect_no_messages
for said in "broken.png is not loaded: the picture is damaged or cut short" \
            "empty.jpg is not loaded: the file is empty" \
            "text.jpg is not loaded: not a PNG or JPEG picture" \
            "cut.jpg is not loaded: the picture is cut short" \
            "huge.png is not loaded: 8193 x 2 pixels: pictures may have up to 8192 pixels a side"; do
  grep -qF "tumelora: data/actors/$said" "$run/err" || fail "bad pictures: not said: $said"
done

echo "start-up failures handled as expected"
