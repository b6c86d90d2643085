#!/usr/bin/env bash
# export_video.sh TUMELORA_BINARY EXPORT_TEST_TOOL MAKE_TONE SOURCE_DIR: exports a small test
# animation (90 frames, a 1.5 s tone) and checks the files with ffprobe: an MP4 with exactly
# 90 frames at 60 fps and a sound track that is there, not silent and as long as the music
# to within one frame (a longer music cut at the last frame, a shorter one ending the video
# where it ends playback); a PNG
# sequence of frames 0 to 89 whose frames match the MP4's; a WebM with its sound; a GIF of
# every second frame; a silent video when the music is missing or undecodable. Nothing but
# the finished files is left in the folder.
. "$(dirname "$0")/export_common.sh"

"$bin" --help | grep -qF -- "--export FILE" || fail "--help does not list --export"

frames=90
make_data "$work" "$frames" 1.5
cd "$work"

# 1. MP4.
"$bin" --export out.mp4 2>"$work/err"
rc=$?
[ "$rc" -eq 0 ] || fail "export to out.mp4: exit code $rc"
[ -s out.mp4 ] || fail "out.mp4 missing or empty"
grep -q "wrote out.mp4" "$work/err" || fail "no closing message naming the file"
grep -q "90/90 frames" "$work/err" || fail "no progress line with the frame count"
leftover=$(find . -maxdepth 1 -name '.*' ! -name . | head -n1)
[ -z "$leftover" ] || fail "temporary file left behind: $leftover"

[ "$(probe out.mp4 v codec_name)" = h264 ] || fail "video codec $(probe out.mp4 v codec_name), expected h264"
n=$(probe out.mp4 v nb_read_frames)
[ "$n" = "$frames" ] || fail "the video has $n frames, expected $frames"
rate=$(probe out.mp4 v r_frame_rate)
[ "$rate" = 60/1 ] || fail "frame rate $rate, expected 60/1"
[ "$(probe out.mp4 a codec_name)" = aac ] || fail "no AAC sound track"
music=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 data/lumokari2_tumelora_voices.ogg)
audio=$(probe out.mp4 a duration)
video=$(probe out.mp4 v duration)
awk -v a="$audio" -v m="$music" 'BEGIN { d = a - m; if (d < 0) d = -d; exit !(d <= 1 / 60) }' \
  || fail "sound lasts $audio s, the music $music s: more than a frame apart"
awk -v v="$video" -v m="$music" 'BEGIN { d = v - m; if (d < 0) d = -d; exit !(d <= 1 / 60) }' \
  || fail "video lasts $video s, the music $music s: more than a frame apart"
mean=$(ffmpeg -hide_banner -nostats -i out.mp4 -map 0:a -af volumedetect -f null - 2>&1 \
  | sed -n 's/.*mean_volume: \(-\?[0-9.]*\) dB.*/\1/p')
[ -n "$mean" ] || fail "no volume measured"
awk -v m="$mean" 'BEGIN { exit !(m > -40) }' || fail "the sound is silent (mean volume $mean dB)"

# 2. PNG sequence: frames numbered from 0, no sound (said so), same pictures as the MP4.
"$bin" --export 'seq/f-%03d.png' 2>"$work/err" && fail "export into a missing folder succeeded"
mkdir seq
"$bin" --export 'seq/f-%03d.png' 2>"$work/err" || fail "PNG sequence export failed"
grep -q "no sound" "$work/err" || fail "the PNG sequence export does not say it has no sound"
count=$(find seq -name 'f-*.png' | wc -l)
[ "$count" -eq "$frames" ] || fail "$count PNG files, expected $frames"
[ -f seq/f-000.png ] && [ -f seq/f-089.png ] || fail "PNG files not numbered 0 to 89"
[ -z "$(find seq -name '.*' | head -n1)" ] && [ -z "$(find . -maxdepth 1 -name '.tumelora*')" ] \
  || fail "temporary frames left behind"
for k in 10 45 89; do
  ffmpeg -v error -y -i "seq/f-$(printf %03d $k).png" -pix_fmt rgb24 -f rawvideo "png$k.rgb" \
    || fail "cannot read PNG frame $k"
  frame_rgb out.mp4 "$k" "mp4$k.rgb"
  "$tool" compare "png$k.rgb" "mp4$k.rgb" 1280 720 12 >"$work/cmp" \
    || fail "MP4 frame $k differs from PNG frame $k: $(cat "$work/cmp")"
done
# The comparison can fail: neighbouring frames of the moving actors differ.
ffmpeg -v error -y -i seq/f-046.png -pix_fmt rgb24 -f rawvideo png46.rgb || fail "cannot read PNG frame 46"
"$tool" compare png45.rgb png46.rgb 1280 720 12 >/dev/null && fail "frames 45 and 46 compare equal"
"$tool" compare mp445.rgb png46.rgb 1280 720 12 >/dev/null && fail "MP4 frame 45 matches PNG frame 46"

# 3. WebM: VP9 and Opus, the same frame count.
"$bin" --export out.webm 2>"$work/err" || fail "WebM export failed"
[ "$(probe out.webm v codec_name)" = vp9 ] || fail "WebM video codec is not VP9"
[ "$(probe out.webm a codec_name)" = opus ] || fail "WebM sound codec is not Opus"
n=$(probe out.webm v nb_read_frames)
[ "$n" = "$frames" ] || fail "the WebM has $n frames, expected $frames"

# GIF: every second frame (30 fps), no sound.
"$bin" --export out.gif 2>"$work/err" || fail "GIF export failed"
n=$(probe out.gif v nb_read_frames)
[ "$n" = $((frames / 2)) ] || fail "the GIF has $n frames, expected $((frames / 2))"
[ -z "$(probe out.gif a codec_name)" ] || fail "a GIF with sound"

# 4. An existing file of the same name is replaced only by a finished export.
echo old > keep.mp4
"$bin" --export keep.mp4 2>"$work/err" || fail "export over an existing file failed"
[ "$(probe keep.mp4 v nb_read_frames)" = "$frames" ] || fail "the existing file was not replaced"

# The export holds what playback shows: music longer than the animation is cut at its last
# frame; music shorter than it ends the video with the music, as it ends playback.
cp data/lumokari2_tumelora_voices.ogg tone.ogg
for case in "3 1.5 $frames" "1 1 60"; do
  read -r seconds length count <<<"$case"
  "$tone" data/lumokari2_tumelora_voices.ogg "$seconds" || fail "cannot write the music"
  "$bin" --export "music$seconds.mp4" 2>"$work/err" || fail "export with $seconds s of music failed"
  audio=$(probe "music$seconds.mp4" a duration)
  awk -v a="$audio" -v l="$length" 'BEGIN { d = a - l; if (d < 0) d = -d; exit !(d <= 1 / 60) }' \
    || fail "with $seconds s of music the sound lasts $audio s, not $length s"
  n=$(probe "music$seconds.mp4" v nb_read_frames)
  [ "$n" = "$count" ] || fail "with $seconds s of music the video has $n frames, not $count"
done
cp tone.ogg data/lumokari2_tumelora_voices.ogg

# 5. Music that is missing or cannot be decoded: a silent video of every frame, and a word.
rm data/lumokari2_tumelora_voices.ogg
"$bin" --export silent.mp4 2>"$work/err" || fail "export without music failed"
grep -q "no music at data/lumokari2_tumelora_voices.ogg" "$work/err" || fail "no word on the missing music"
[ -z "$(probe silent.mp4 a codec_name)" ] || fail "a sound track without music"
[ "$(probe silent.mp4 v nb_read_frames)" = "$frames" ] || fail "wrong frame count without music"
head -c 3000 /dev/urandom >data/lumokari2_tumelora_voices.ogg
"$bin" --export garbage.mp4 2>"$work/err" || fail "export with undecodable music failed"
grep -q "cannot be read: the video will be silent" "$work/err" || fail "no word on the bad music"
[ -z "$(probe garbage.mp4 a codec_name)" ] || fail "a sound track from undecodable music"

echo "exported MP4, PNG sequence and WebM as expected ($frames frames, sound $audio s)"
