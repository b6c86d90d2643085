#!/usr/bin/env bash
# scene_plays.sh TUMELORA_BINARY SCENE_SHOT SOURCE_DIR: the real program plays the bundled
# scene from a copy of SOURCE_DIR/data under a display (a private Xvfb when there is one),
# with SDL's disk audio driver. A few
# seconds in, a dump of its window must show the backdrop with the actors over it (scene_shot
# check) while the music is heard (the disk audio file holds sound, not silence); then the
# program must end by itself when the music has played to its end. With SCENE_SHOT_PNG set,
# the checked frame is also written there as a PNG. Every wait is bounded; exit 77 means skipped.
set -uo pipefail
bin=$(readlink -f "$1")
shot_tool=$(readlink -f "$2")
src=$(readlink -f "$3")
[ -x "$bin" ] || { echo "no program at $bin" >&2; exit 1; }
[ -x "$shot_tool" ] || { echo "no scene_shot at $shot_tool" >&2; exit 1; }
for tool in xdotool xwd; do
  command -v "$tool" >/dev/null || { echo "$tool missing" >&2; exit 1; }
done

# Music: 56 s of 44,100 Hz 16-bit stereo; the program waits 2 s before it starts playing.
# The disk driver takes a 1024-frame buffer (23.2 ms of music) every 12 ms or a little more,
# so the music runs ahead of the picture and ends well before the tracks do: the end of the
# music, not the end of the tracks, must end the program.
bytes_per_second=176400
disk_delay_ms=12
shot_after_tenths=60        # from the window's appearance: a few seconds into the music
last_shot_tenths=300
earliest_end_tenths=250     # 56 s of music take at least 29 s at one buffer per 12 ms
latest_end_tenths=1000
music_bytes=$((55 * bytes_per_second))       # all of the music was handed to the device
heard_at_shot=$((bytes_per_second))          # at least 1 s of sound when the frame is taken
heard_at_end=$((40 * bytes_per_second))      # and at least 40 s of it by the end

work=$(mktemp -d /tmp/tumelora-scene-XXXXXX)
# In the sanitizer test stage the program starts through a launcher that preloads the OpenGL
# driver for it (scripts/test, tests/e2e/sanitized-program).
if [ -n "${TUMELORA_SANITIZER_PRELOAD:-}" ]; then
  export TUMELORA_PROGRAM="$bin"
  bin="$src/tests/e2e/sanitized-program"
fi
pid=
xvfb=
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    sleep 0.5
    kill -9 "$pid" 2>/dev/null
  fi
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/err" ] && sed 's/^/  stderr: /' "$work/err" >&2
  [ -s "$work/xvfb.log" ] && sed 's/^/  xvfb: /' "$work/xvfb.log" >&2
  exit 1
}

# A private X server when Xvfb is there, so that the only window named TUMELORA is this
# program's (other tests may run their own at the same time); else the display we were given.
if command -v Xvfb >/dev/null; then
  . "$src/tests/e2e/private_display.sh"
  start_private_display "$work/xvfb.log"
fi
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "skipped: no display" >&2
  exit 77
fi

# Bytes of the disk audio file that are not zero: silence is all zero bytes in any format.
sound_bytes() { tr -d '\000' <"$work/audio.raw" 2>/dev/null | wc -c; }

cp -r "$src/data" "$work/data"
cd "$work"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" SDL_DISKAUDIODELAY=$disk_delay_ms \
  TUMELORA_NO_ERROR_BOX=1 "$bin" w 2>"$work/err" &
pid=$!

window=
for _ in $(seq 300); do
  window=$(xdotool search --name '^TUMELORA$' 2>/dev/null | head -n1)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
  sleep 0.1
done
[ -n "$window" ] || fail "no window named TUMELORA"

# Tenths of a second since the window appeared, from the wall clock.
appeared=$(date +%s%N)
since() { echo $((($(date +%s%N) - appeared) / 100000000)); }
tenths=0
wait_tenths() {
  local until=$1
  while tenths=$(since) && [ "$tenths" -lt "$until" ]; do
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 0
}

# The first frames can come late (a slow machine, a sanitizer build): dump the window once a
# second until a frame passes the check, for a bounded time.
shown=
while [ -z "$shown" ] && [ "$(since)" -lt "$last_shot_tenths" ]; do
  wait_tenths "$shot_after_tenths" || fail "the program ended after $tenths tenths of a second, while the music plays"
  shot_after_tenths=$((tenths + 10))
  xwd -silent -id "$window" >"$work/frame.xwd" || fail "cannot dump the window"
  heard=$(sound_bytes)
  "$shot_tool" check "$work/frame.xwd" "$work/data/actors/00-stage.jpg" >"$work/check" 2>&1 && shown=1
done
cat "$work/check"
[ -n "$shown" ] || fail "no frame showed the scene in $tenths tenths of a second"
if [ -n "${SCENE_SHOT_PNG:-}" ]; then
  "$shot_tool" png "$work/frame.xwd" "$SCENE_SHOT_PNG" || fail "cannot write $SCENE_SHOT_PNG"
fi
[ "$heard" -ge "$heard_at_shot" ] || fail "only $heard bytes of sound after $tenths tenths of a second"

# The program ends by itself when the music ends, not before.
while kill -0 "$pid" 2>/dev/null; do
  tenths=$(since)
  [ "$tenths" -lt "$latest_end_tenths" ] || fail "still running $tenths tenths of a second after its window appeared"
  sleep 0.1
done
tenths=$(since)
wait "$pid"
rc=$?
pid=
[ "$rc" -eq 0 ] || fail "exit code $rc, expected 0"
[ "$tenths" -ge "$earliest_end_tenths" ] || fail "ended after $tenths tenths of a second, before the music's end"
heard=$(sound_bytes)
[ "$heard" -ge "$heard_at_end" ] || fail "only $heard bytes of sound in the whole run"
handed=$(stat -c %s "$work/audio.raw")
[ "$handed" -ge "$music_bytes" ] || fail "only $handed bytes of the music were played before the end"

echo "scene shown with its actors; $heard bytes of sound; the program ended by itself after $tenths tenths of a second"
