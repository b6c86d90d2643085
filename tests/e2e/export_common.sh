# export_common.sh: sourced by the export's end-to-end tests. Arguments of every test:
#   TUMELORA_BINARY EXPORT_TEST_TOOL MAKE_TONE SOURCE_DIR
# Besides e2e_lib.sh (bin, tool, tone, src, work, fail, an X server of the test's own): the
# checks on ffmpeg, and make_data, probe and frame_rgb.
. "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
e2e_args "$1" "$2" "$3" "$4"
start_display 1920x1200
for p in ffmpeg ffprobe; do
  command -v "$p" >/dev/null || fail "$p missing (scripts/setup installs the ffmpeg package)"
done
# The program's messages go to $work/err.
run=$work
export TUMELORA_NO_ERROR_BOX=1
export SDL_AUDIODRIVER=dummy

# make_data DIR FRAMES MUSIC_SECONDS: DIR/data with the bundled font and skin pictures, the
# test actors (FRAMES frames) and a sine tone of MUSIC_SECONDS as the music.
make_data() {
  local dir=$1 frames=$2 seconds=$3 page
  mkdir -p "$dir/data/actors"
  cp "$src/data/droid30.fnt" "$src/data"/button*.png "$src/data"/slider*.png \
     "$src/data"/checkbox*.png "$dir/data/" || fail "cannot copy the bundled data"
  for page in $(sed -n 's/^page .*file="\([^"]*\)".*/\1/p' "$src/data/droid30.fnt"); do
    cp "$src/data/$page" "$dir/data/" || fail "cannot copy font page $page"
  done
  "$tool" scene "$dir" "$frames" >/dev/null 2>&1 || fail "cannot write the test actors"
  "$tone" "$dir/data/lumokari2_tumelora_voices.ogg" "$seconds" || fail "cannot write the music"
}

# probe FILE STREAM ENTRY: one ffprobe value of the first stream of a kind (v or a).
probe() {
  ffprobe -v error -select_streams "$2:0" -count_frames -show_entries "stream=$3" \
    -of default=noprint_wrappers=1:nokey=1 "$1" | head -n1
}

# frame_rgb VIDEO N OUT: frame N of the video as raw RGB24 pixels.
frame_rgb() {
  ffmpeg -v error -y -i "$1" -vf "select=eq(n\,$2)" -fps_mode passthrough -frames:v 1 \
    -pix_fmt rgb24 -f rawvideo "$3" || fail "cannot extract frame $2 of $1"
}
