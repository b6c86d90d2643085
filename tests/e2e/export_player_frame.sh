#!/usr/bin/env bash
# export_player_frame.sh TUMELORA_BINARY EXPORT_TEST_TOOL MAKE_TONE SOURCE_DIR: the last frame
# of an exported video against a screenshot of the real player showing that frame. Playback
# stops on the animation's last frame and rests there while the (longer) music goes on, so
# the player's window can be photographed at a known frame. Runs on an X server of its own,
# so that no other test's window covers the player's.
. "$(dirname "$0")/export_common.sh"
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

# shot: a screenshot of the player's stage as raw RGB24 pixels in shot.rgb.
shot() {
  xwd -silent -id "$win" >shot.xwd || fail "no screenshot"
  ffmpeg -v error -y -i shot.xwd -vf crop=1280:720:0:0 -pix_fmt rgb24 -f rawvideo shot.rgb \
    || fail "cannot read the screenshot"
}
# shows_last_frame: the player shows the PNG's last frame almost exactly.
shows_last_frame() { shot; "$tool" compare shot.rgb png.rgb 1280 720 2 >"$work/cmp"; }

# The player, with music that outlasts the animation (the end of the music ends it).
"$tone" data/lumokari2_tumelora_voices.ogg 30 || fail "cannot write the long music"
"$bin" w 2>"$work/err" &
pid=$!
windows_before=
wait_window || fail "no player window"
# Loading, the two-second pause and 1.5 s of playback: then the last frame shows.
wait_running "$LIMIT" shows_last_frame
case $? in
  1) fail "the PNG's last frame is not the player's: $(cat "$work/cmp")" ;;
  2) fail "the player ended before its last frame was photographed" ;;
esac
# And it rests there while the music goes on.
stays_running 1 "before the end of its music"
shows_last_frame || fail "the player did not rest on its last frame: $(cat "$work/cmp")"
escape_ends_it

# The PNG frame is the player's picture almost exactly, the MP4 frame within video's loss.
"$tool" compare shot.rgb video.rgb 1280 720 12 >"$work/cmp" \
  || fail "the video's last frame is not the player's: $(cat "$work/cmp")"
"$tool" compare shot.rgb first.rgb 1280 720 12 >/dev/null \
  && fail "the player's last frame matches the video's first frame"
echo "the video's last frame matches the player's screenshot: $(cat "$work/cmp")"
