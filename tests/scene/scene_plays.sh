#!/usr/bin/env bash
# scene_plays.sh TUMELORA_BINARY SCENE_SHOT SOURCE_DIR: the real program plays the bundled
# scene from a copy of SOURCE_DIR/data on an X server of its own, with SDL's disk audio
# driver. While the music is heard, a dump of its window must show the backdrop with the
# actors over it (scene_shot check); then the program must end by itself when the music has
# played to its end. With SCENE_SHOT_PNG set, the checked frame is also written there as a
# PNG. Every wait is bounded; exit 77 means skipped.
. "$(dirname "$0")/../e2e/e2e_lib.sh"
e2e_args "$1" "" "" "$3"
shot_tool=$(readlink -f "$2")
[ -x "$shot_tool" ] || fail "no scene_shot at $2"
command -v xwd >/dev/null || fail "xwd missing"
start_display 1920x1200

# Music: 56 s of 44,100 Hz 16-bit stereo; the program waits 2 s before it starts playing.
# The disk driver takes a 1024-frame buffer (23.2 ms of music) every 12 ms or a little more,
# so the music runs ahead of the picture and ends well before the tracks do: the end of the
# music, not the end of the tracks, must end the program.
disk_delay_ms=12
earliest_end_tenths=250     # 56 s of music take at least 29 s at one buffer per 12 ms
music_bytes=$((55 * AUDIO_BYTES_PER_SECOND))       # all of the music was handed to the device
heard_at_shot=$((AUDIO_BYTES_PER_SECOND))          # at least 1 s of sound when the frame is taken
heard_at_end=$((40 * AUDIO_BYTES_PER_SECOND))      # and at least 40 s of it by the end
# The music lasts about 30 s here, longer on a busy machine: the end is waited for this long.
end_limit=$((5 * LIMIT))

# Bytes of the disk audio file that are not zero: silence is all zero bytes in any format.
sound_bytes() { tr -d '\000' <"$run/audio.raw" 2>/dev/null | wc -c; }

run=$work
cp -r "$src/data" "$work/data"
cd "$work"
start SDL_DISKAUDIODELAY=$disk_delay_ms
wait_window || fail "no window named TUMELORA"

# Tenths of a second since the window appeared, from the wall clock.
appeared=$(date +%s%N)
since() { echo $((($(date +%s%N) - appeared) / 100000000)); }

# Once the music is heard, the window is dumped until a frame shows the scene.
heard_enough() { heard=$(sound_bytes); [ "$heard" -ge "$heard_at_shot" ]; }
wait_running "$LIMIT" heard_enough
case $? in
  1) fail "only $heard bytes of sound after $(since) tenths of a second" ;;
  2) fail "the program ended after $(since) tenths of a second, while the music plays" ;;
esac
shows_scene() {
  xwd -silent -id "$win" >"$work/frame.xwd" || fail "cannot dump the window"
  "$shot_tool" check "$work/frame.xwd" "$work/data/actors/00-stage.jpg" >"$work/check" 2>&1
}
wait_running "$LIMIT" shows_scene
shown=$?
cat "$work/check"
case $shown in
  1) fail "no frame showed the scene in $(since) tenths of a second" ;;
  2) fail "the program ended after $(since) tenths of a second, while the music plays" ;;
esac
if [ -n "${SCENE_SHOT_PNG:-}" ]; then
  "$shot_tool" png "$work/frame.xwd" "$SCENE_SHOT_PNG" || fail "cannot write $SCENE_SHOT_PNG"
fi

# The program ends by itself when the music ends, not before.
wait_for "$end_limit" program_gone || fail "still running $(since) tenths of a second after its window appeared"
tenths=$(since)
wait_exit
[ "$rc" -eq 0 ] || fail "exit code $rc, expected 0"
[ "$tenths" -ge "$earliest_end_tenths" ] || fail "ended after $tenths tenths of a second, before the music's end"
heard=$(sound_bytes)
[ "$heard" -ge "$heard_at_end" ] || fail "only $heard bytes of sound in the whole run"
handed=$(stat -c %s "$work/audio.raw")
[ "$handed" -ge "$music_bytes" ] || fail "only $handed bytes of the music were played before the end"

echo "scene shown with its actors; $heard bytes of sound; the program ended by itself after $tenths tenths of a second"
