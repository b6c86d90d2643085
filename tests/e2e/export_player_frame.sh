#!/usr/bin/env bash
# export_player_frame.sh TUMELORA_BINARY EXPORT_TEST_TOOL MAKE_TONE SOURCE_DIR: the last frame
# of an exported video against a screenshot of the real player showing that frame. Playback
# stops on the animation's last frame and rests there while the (longer) music goes on, so
# the player's window can be photographed at a known frame. Runs on an X server of its own
# (private_display.sh), so that no other test's window covers the player's.
command -v Xvfb >/dev/null || { echo "skipped: no Xvfb" >&2; exit 77; }
. "$(dirname "$0")/private_display.sh"
xvfb_log=$(mktemp /tmp/tumelora-export-xvfb-XXXXXX)
start_private_display "$xvfb_log" || { kill "$xvfb" 2>/dev/null; rm -f "$xvfb_log"; echo "Xvfb did not start" >&2; exit 1; }
rm -f "$xvfb_log"
xvfb_pid=$xvfb
. "$(dirname "$0")/export_common.sh"
command -v xdotool >/dev/null || fail "xdotool missing"
command -v xwd >/dev/null || fail "xwd missing (package x11-apps)"

frames=90
last=$((frames - 1))
make_data "$work" "$frames" 1.5
cd "$work"
"$bin" --export out.mp4 2>"$work/err" || fail "export failed"
"$bin" --export 'f-%03d.png' 2>"$work/err" || fail "PNG export failed"
frame_rgb out.mp4 "$last" video.rgb
ffmpeg -v error -y -i "f-$(printf %03d $last).png" -pix_fmt rgb24 -f rawvideo png.rgb \
  || fail "cannot read the last PNG frame"
frame_rgb out.mp4 0 first.rgb

# The player, with music that outlasts the animation (the end of the music ends it).
"$make_tone" data/lumokari2_tumelora_voices.ogg 30 || fail "cannot write the long music"
"$bin" w 2>"$work/err" &
cleanup_pid=$!
win=
for _ in $(seq 150); do
  win=$(xdotool search --name '^TUMELORA$' 2>/dev/null | head -n1)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || fail "no player window"
# Loading, the two-second pause and 1.5 s of playback: the player shows the last frame (the
# PNG's, almost exactly) once it rests there. Photographed until it does, within a generous limit.
shown=
for _ in $(seq 120); do
  kill -0 "$cleanup_pid" 2>/dev/null || fail "the player ended before the screenshot"
  xwd -silent -id "$win" >shot.xwd || fail "no screenshot"
  ffmpeg -v error -y -i shot.xwd -vf crop=1280:720:0:0 -pix_fmt rgb24 -f rawvideo shot.rgb \
    || fail "cannot read the screenshot"
  "$tool" compare shot.rgb png.rgb 1280 720 2 >"$work/cmp" && { shown=1; break; }
  sleep 0.5
done
xdotool key --window "$win" Escape 2>/dev/null || xdotool key Escape
for _ in $(seq 100); do kill -0 "$cleanup_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$cleanup_pid" 2>/dev/null && fail "the player did not end on Escape"
cleanup_pid=

# The PNG frame is the player's picture almost exactly, the MP4 frame within video's loss.
[ -n "$shown" ] || fail "the PNG's last frame is not the player's: $(cat "$work/cmp")"
"$tool" compare shot.rgb video.rgb 1280 720 12 >"$work/cmp" \
  || fail "the video's last frame is not the player's: $(cat "$work/cmp")"
"$tool" compare shot.rgb first.rgb 1280 720 12 >/dev/null \
  && fail "the player's last frame matches the video's first frame"
echo "the video's last frame matches the player's screenshot: $(cat "$work/cmp")"
