#!/usr/bin/env bash
# project.sh TUMELORA E2E_TOOL MAKE_TONE SOURCE_DIR BUILD_DIR: a newcomer's own animation.
# From an MP3 made by ffmpeg, two PNG pictures, an OpenRaster file of three overlapping layers
# and three PNG pictures exported one per layer from one canvas, --new makes a project; from
# another working folder --project ... --export gives a video as long as the song with every
# actor where it belongs (the pictures apart, each layer where it sat on its canvas, stored
# trimmed) and upper layers over lower ones, and --project ... --edit opens it with the
# actors on its stage. Then the same with the
# program installed by cmake --install into a temporary prefix, run from /, which also plays
# the bundled scene from where it was installed. Exit 77 means skipped (no display).
build=$(readlink -f "$5")
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1" "$2" "$3" "$4"
start_display 1920x1200
for t in ffmpeg ffprobe python3; do command -v "$t" >/dev/null || fail "$t missing"; done

in="$work/in"
mkdir -p "$in" "$work/elsewhere" "$work/other"

# --- The inputs ------------------------------------------------------------------------------
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=1.5" -ac 2 -c:a libmp3lame "$in/song.mp3" \
  || fail "cannot make the MP3"
"$tool" picture "$in/yellow.png" 100 100 FFFF00 || fail "cannot write yellow.png"
"$tool" picture "$in/magenta.png" 100 100 FF00FF || fail "cannot write magenta.png"
# Three 200 x 200 layers on a canvas of the stage's size, each overlapping the one below it:
# red at (500, 100) at the bottom, green at (560, 160), blue at (620, 220) on top.
"$tool" picture "$in/red.png" 200 200 FF0000 || fail "cannot write a layer"
"$tool" picture "$in/green.png" 200 200 00FF00 || fail "cannot write a layer"
"$tool" picture "$in/blue.png" 200 200 0000FF || fail "cannot write a layer"
python3 - "$in" <<'EOF' || fail "cannot write layers.ora"
import sys, zipfile
d = sys.argv[1]
stack = """<?xml version="1.0" encoding="UTF-8"?>
<image w="1280" h="720" version="0.0.1">
 <stack name="">
  <layer name="top" src="data/c.png" x="620" y="220" visibility="visible"/>
  <layer name="middle" src="data/b.png" x="560" y="160"/>
  <layer name="bottom" src="data/a.png" x="500" y="100" visibility="visible"/>
 </stack>
</image>
"""
with zipfile.ZipFile(d + "/layers.ora", "w") as z:
    z.writestr(zipfile.ZipInfo("mimetype"), "image/openraster")
    z.writestr("stack.xml", stack, compress_type=zipfile.ZIP_DEFLATED)
    for src, name in (("red", "a"), ("green", "b"), ("blue", "c")):
        z.write(d + "/" + src + ".png", "data/" + name + ".png", compress_type=zipfile.ZIP_DEFLATED)
EOF
# A 2560 x 1440 canvas exported one layer per file, each mostly transparent: fitted to the
# stage it is halved, so the body stands at (950, 350)-(1100, 600), the arm at (1100, 380)-
# (1220, 410), the leg at (975, 600)-(1015, 700).
python3 - "$in" <<'EOF' || fail "cannot write the canvas layers"
import struct, sys, zlib
def layer(path, x, y, w, h, rgb, cw=2560, ch=1440):
    rows = [bytearray(4 * cw) for _ in range(ch)]
    for r in rows[y:y + h]:
        r[4 * x:4 * (x + w)] = bytes(rgb + (255,)) * w
    raw = b"".join(b"\0" + bytes(r) for r in rows)
    chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", cw, ch, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
layer(sys.argv[1] + "/body.png", 1900, 700, 300, 500, (0, 255, 255))
layer(sys.argv[1] + "/arm.png", 2200, 760, 240, 60, (255, 128, 0))
layer(sys.argv[1] + "/leg.png", 1950, 1200, 80, 200, (128, 0, 255))
EOF
pictures=("$in/yellow.png" "$in/magenta.png" "$in/layers.ora" "$in/body.png" "$in/arm.png" "$in/leg.png")
# The song's length as decoded (an MP3's header also counts the encoder's padding).
ffmpeg -v error -i "$in/song.mp3" "$in/song.wav" || fail "cannot decode the MP3"
song_seconds=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$in/song.wav")

# Where each actor must show on the 1280 x 720 stage: the pictures in a row from the top-left
# corner 16 px apart, the layers where they sit on their canvas, each upper one drawn over the
# lower.
CHECKS=(
  "yellow picture:66:66:FFFF00"
  "gap between the pictures:126:66:$BACKGROUND"
  "magenta picture:186:66:FF00FF"
  "bottom layer alone:530:130:FF0000"
  "middle layer over the bottom one:600:200:00FF00"
  "top layer over both:680:280:0000FF"
  "top layer over the middle one:740:340:0000FF"
  "middle layer alone:740:180:00FF00"
  "body layer:1025:475:00FFFF"
  "left of the body layer:940:475:$BACKGROUND"
  "arm layer:1160:395:FF8000"
  "leg layer:995:650:8000FF"
  "background:100:650:$BACKGROUND"
)

# check_frame RAW TOLERANCE: every check against a raw RGB24 frame of the stage.
check_frame() {
  local raw=$1 tolerance=$2 entry label x y want got i d
  for entry in "${CHECKS[@]}"; do
    IFS=: read -r label x y want <<<"$entry"
    got=$(od -An -tx1 -j $(( (y * STAGE_W + x) * 3 )) -N3 "$raw" | tr -d ' \n' | tr a-f A-F)
    [ ${#got} -eq 6 ] || fail "$label: no pixel at ($x, $y) in $raw"
    for i in 0 2 4; do
      d=$((16#${got:i:2} - 16#${want:i:2}))
      [ "${d#-}" -le "$tolerance" ] || fail "$label: pixel ($x, $y) is $got, expected $want"
    done
  done
}

# new_project PROGRAM DIR: --new with the song and the pictures, from the working folder.
new_project() {
  run="$work"
  "$1" --new "$2" --music "$in/song.mp3" "${pictures[@]}" \
    >"$work/out" 2>"$work/err" || fail "--new $2: exit code $?"
  grep -qF -- "--project $2 --edit" "$work/out" || fail "--new does not say how to edit the project"
  [ -z "$(find "$(dirname "$2")" -maxdepth 1 -name '.*tumelora*')" ] || fail "--new left a work folder"
  [ "$(find "$2/actors" -name '*.png' | wc -l)" -eq 8 ] || fail "--new did not make eight actors"
  [ "$(od -An -tu1 -j16 -N8 "$2"/actors/*-body.png | tr -s ' ')" = " 0 0 1 44 0 0 1 244" ] \
    || fail "the body layer is not stored trimmed to 300 x 500"
}

# edit_opens PROGRAM DIR: --project DIR --edit shows the project's actors on its stage (where
# the editor's layout puts the stage in its window); Escape ends it and no file changes.
edit_opens() {
  local before
  before=$(md5sum "$2"/actors/* | sort)
  run="$work/other"
  windows_before=
  (cd "$run" && exec env TUMELORA_NO_ERROR_BOX=1 SDL_AUDIODRIVER=disk \
     SDL_DISKAUDIOFILE="$run/audio.raw" "$1" --project "$2" --edit 2>"$run/err" >"$run/out") &
  pid=$!
  wait_window || fail "--edit: no window named TUMELORA"
  local W H tx ty yx yy
  read -r W H < <(window_size)
  read -r tx ty < <("$tool" editor-point "$src/data" "$W" "$H" 680 280)
  read -r yx yy < <("$tool" editor-point "$src/data" "$W" "$H" 66 66)
  wait_pixels "--edit: top layer:$tx:$ty:0000FF" "--edit: yellow picture:$yx:$yy:FFFF00"
  escape_ends_it
  expect_no_messages
  [ "$(md5sum "$2"/actors/* | sort)" = "$before" ] || fail "--edit changed the project's files"
}

# --- The build -------------------------------------------------------------------------------
cd "$work/elsewhere" || fail "no folder"
new_project "$bin" ../proj
cd "$work/other" || fail "no folder"
run="$work/other"
"$bin" --project ../proj --export out.mp4 2>"$run/err" || fail "export: exit code $?"
n=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames \
  -of default=nw=1:nk=1 out.mp4)
video=$(ffprobe -v error -select_streams v:0 -show_entries stream=duration -of default=nw=1:nk=1 out.mp4)
audio=$(ffprobe -v error -select_streams a:0 -show_entries stream=duration -of default=nw=1:nk=1 out.mp4)
[ -n "$audio" ] || fail "the video has no sound"
awk -v v="$video" -v s="$song_seconds" 'BEGIN { d = v - s; if (d < 0) d = -d; exit !(d <= 1 / 60) }' \
  || fail "the video lasts $video s ($n frames), the song $song_seconds s"
ffmpeg -v error -y -i out.mp4 -vf "select=eq(n\,45)" -fps_mode passthrough -frames:v 1 \
  -pix_fmt rgb24 -f rawvideo frame.rgb || fail "cannot read frame 45"
check_frame frame.rgb 24
edit_opens "$bin" "$work/proj"

# --- Installed, run from / ---------------------------------------------------------------------
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 \
  || { cat "$work/install.log" >&2; fail "cmake --install failed"; }
for f in bin/tumelora share/tumelora/droid30.fnt share/tumelora/button.png \
         share/tumelora/lumokari2_tumelora_voices.ogg share/tumelora/actors/01-sun.png \
         share/tumelora/psd-import share/applications/tumelora.desktop \
         share/icons/hicolor/scalable/apps/tumelora.svg; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
installed=$(launcher "$prefix/bin/tumelora") || exit 1
[ -x "$prefix/share/tumelora/psd-import" ] || fail "the import helper is not executable"
grep -q '^Exec=tumelora' "$prefix/share/applications/tumelora.desktop" || fail "desktop entry without Exec"
cd / || fail "no /"
help=$("$installed" --help) || fail "--help failed"
for option in --project --new --music --add --edit --export --help; do
  grep -qF -- "$option" <<<"$help" || fail "--help does not list $option"
done
new_project "$installed" "$work/proj2"
mkdir "$work/seq"
"$installed" --project "$work/proj2" --export "$work/seq/f-%03d.png" \
  2>"$work/err" || fail "installed export: exit code $?"
[ "$(find "$work/seq" -name 'f-*.png' | wc -l)" -eq "$n" ] || fail "the PNG frames are not as many as the MP4's"
ffmpeg -v error -y -i "$work/seq/f-045.png" -pix_fmt rgb24 -f rawvideo "$work/png.rgb" \
  || fail "cannot read PNG frame 45"
check_frame "$work/png.rgb" 0
edit_opens "$installed" "$work/proj2"

# The bundled scene, played from where it was installed: neither --project nor data/ here.
run="$work/other"
windows_before=
(cd / && exec env TUMELORA_NO_ERROR_BOX=1 SDL_AUDIODRIVER=disk \
   SDL_DISKAUDIOFILE="$run/audio.raw" "$installed" w 2>"$run/err" >"$run/out") &
pid=$!
wait_window || fail "the installed program shows no window from /"
# The window is black until the first frame is drawn.
wait_pixels "the bundled scene drawn:640:360:!000000"
escape_ends_it
expect_no_messages
echo "project made, exported and edited from another folder, installed and run from /"
