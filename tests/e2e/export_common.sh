# export_common.sh: sourced by the export's end-to-end tests. Arguments of every test:
#   TUMELORA_BINARY EXPORT_TEST_TOOL MAKE_TONE SOURCE_DIR
# Sets bin, tool, make_tone, src, work (a fresh folder, removed at exit); skips (exit 77)
# without a display; defines fail, make_data, probe and frame_rgb.
set -uo pipefail
bin=$(readlink -f "$1")
tool=$(readlink -f "$2")
make_tone=$(readlink -f "$3")
src=$(readlink -f "$4")
for f in "$bin" "$tool" "$make_tone"; do
  [ -x "$f" ] || { echo "no program at $f" >&2; exit 1; }
done
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "skipped: no display" >&2
  exit 77
fi
for p in ffmpeg ffprobe; do
  command -v "$p" >/dev/null || { echo "$p missing (scripts/setup installs the ffmpeg package)" >&2; exit 1; }
done
work=$(mktemp -d /tmp/tumelora-export-e2e-XXXXXX)
cleanup_pid=
cleanup() {
  [ -n "$cleanup_pid" ] && kill "$cleanup_pid" 2>/dev/null
  # A test's own X server (xvfb_pid set before this file is sourced) ends with it.
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export TUMELORA_NO_ERROR_BOX=1
export SDL_AUDIODRIVER=dummy

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/err" ] && sed 's/^/  stderr: /' "$work/err" >&2
  exit 1
}

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
  "$make_tone" "$dir/data/lumokari2_tumelora_voices.ogg" "$seconds" || fail "cannot write the music"
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
