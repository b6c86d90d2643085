#!/usr/bin/env bash
# project_errors.sh TUMELORA SOURCE_DIR: bad input to the command line, --new and --add. A
# song ffmpeg cannot read, a missing song, a missing picture, a picture that is no picture, a
# damaged layered file and a folder that is not empty each end with a non-zero exit code and
# a message naming the file, and leave nothing behind: no project, no work folder, the
# existing folder or project exactly as it was. The working folder is refused as DIR; the
# work folder of a run killed outright is removed by the next run; --add keeps to the actor
# limit of --new. Then --add puts a good picture over the existing actors without touching
# their files (a JPEG as PNG, as JPEG pictures are drawn first). No display is needed.
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1"
# The program's messages go to $work/out and $work/err.
run=$work
for t in ffmpeg python3 md5sum; do command -v "$t" >/dev/null || fail "$t missing"; done
cd "$work" || exit 1

ffmpeg -v error -f lavfi -i "sine=duration=1" -c:a libmp3lame song.mp3 || fail "cannot make the MP3"
ffmpeg -v error -f lavfi -i color=c=red:s=64x48 -frames:v 1 good.png || fail "cannot make a PNG"
head -c 4000 /dev/urandom >garbage.mp3
head -c 4000 /dev/urandom >garbage.png
python3 - <<'EOF' || fail "cannot write the layered file"
import zipfile
with zipfile.ZipFile("layers.ora", "w") as z:
    z.writestr(zipfile.ZipInfo("mimetype"), "image/openraster")
    z.writestr("stack.xml", '<image w="100" h="100"><stack><layer src="data/a.png" x="0" y="0" name="a"/></stack></image>',
               compress_type=zipfile.ZIP_DEFLATED)
    z.write("good.png", "data/a.png", compress_type=zipfile.ZIP_DEFLATED)
    # Something after the layer, so that a cut through the archive's middle hits the layer.
    z.writestr("padding.bin", bytes(range(256)) * 64, compress_type=zipfile.ZIP_STORED)
EOF
size=$(stat -c %s layers.ora)
head -c $((size / 2)) layers.ora >damaged.ora

# leftovers FOLDER: the hidden work folders --new and --add may leave in FOLDER.
leftovers() { find "$1" -maxdepth 1 -name '.*tumelora*' | head -n1; }

# refused EXPECTED_TEXT ARGS...: the program fails, names what is wrong, makes nothing.
refused() {
  local text=$1
  shift
  "$bin" "$@" >"$work/out" 2>"$work/err"
  local rc=$?
  [ "$rc" -ne 0 ] || fail "succeeded: $*"
  grep -qF -- "$text" "$work/err" || fail "no message with \"$text\" for: $*"
}

# The command line: -h prints the help; a word the program does not know, or an option given
# twice, ends it with exit code 2 before anything starts.
"$bin" -h >"$work/out" 2>"$work/err" || fail "-h: exit code $?"
grep -qF -- "--new DIR" "$work/out" || fail "-h does not print the help"
for args in "foo" "-edit" "--project proj stray --edit" "--project a --project b"; do
  # shellcheck disable=SC2086  # the words are meant to split
  timeout "$LIMIT" "$bin" $args >"$work/out" 2>"$work/err"
  rc=$?
  [ "$rc" -eq 2 ] && [ -s "$work/err" ] || fail "tumelora $args: exit code $rc, expected 2 with a message"
done

refused "garbage.mp3" --new proj --music garbage.mp3 good.png
grep -qF "ffmpeg" "$work/err" || fail "the bad song's message does not say what ffmpeg said"
refused "missing.mp3" --new proj --music missing.mp3 good.png
refused "missing.png" --new proj --music song.mp3 good.png missing.png
grep -qF "No such file" "$work/err" || fail "the missing picture's message gives no reason"
refused "garbage.png" --new proj --music song.mp3 good.png garbage.png
refused "damaged.ora" --new proj --music song.mp3 good.png damaged.ora
refused "--music" --new proj good.png
[ ! -e proj ] || fail "a failed --new left the project folder"
[ -z "$(leftovers .)" ] || fail "a failed --new left $(leftovers .)"

mkdir full && echo keep >full/notes.txt
refused "not empty" --new full --music song.mp3 good.png
[ "$(ls full)" = notes.txt ] && [ "$(cat full/notes.txt)" = keep ] || fail "the non-empty folder was changed"
[ -z "$(leftovers .)" ] || fail "the refused --new left $(leftovers .)"

# The working folder, empty, is never replaced under whoever stands in it.
mkdir here
(cd here && refused "working folder" --new . --music ../song.mp3 ../good.png) || exit 1
(cd here && refused "working folder" --new "$PWD" --music ../song.mp3 ../good.png) || exit 1
[ -d here ] && [ -z "$(ls -A here)" ] || fail "the working folder was changed"

# A run killed outright (its ffmpeg held at work) leaves its work folder, named with its
# process; the next --new beside it removes it and says so.
cat >slow-ffmpeg <<'EOF2'
#!/bin/sh
echo $$ >"$SLOW_MARK"
exec sleep 600
EOF2
chmod +x slow-ffmpeg
mkdir killed
SLOW_MARK="$work/slow.pid" TUMELORA_FFMPEG="$work/slow-ffmpeg" \
  "$bin" --new killed/proj --music song.mp3 good.png >/dev/null 2>&1 &
maker=$!
wait_for "$LIMIT" test -s slow.pid || fail "--new never started ffmpeg"
kill -9 "$maker"
wait "$maker" 2>/dev/null
kill "$(cat slow.pid)" 2>/dev/null
left=$(leftovers killed)
[ -n "$left" ] || fail "kill -9 during --new left no work folder to clean up"
case "$left" in *"-$maker-"*) ;; *) fail "the work folder $left does not name its process $maker" ;; esac
"$bin" --new killed/proj --music song.mp3 good.png >"$work/out" 2>"$work/err" || fail "--new after a killed run failed"
grep -qF "removed $left, left over from an interrupted run" "$work/err" || fail "--new did not say it removed $left"
[ -z "$(leftovers killed)" ] || fail "the killed run's work folder is still there"
[ -f killed/proj/actors/000-good.png ] || fail "--new after a killed run made no project"

# A good project, then a damaged addition: the project stays exactly as it was.
"$bin" --new proj --music song.mp3 good.png layers.ora >"$work/out" 2>"$work/err" || fail "--new failed"
before=$(cd proj && find . -type f -exec md5sum {} + | sort)
refused "damaged.ora" --project proj --add good.png damaged.ora
refused "garbage.png" --project proj --add garbage.png
[ "$(cd proj && find . -type f -exec md5sum {} + | sort)" = "$before" ] || fail "a failed --add changed the project"
[ -z "$(leftovers proj)" ] || fail "a failed --add left $(leftovers proj)"
refused "not a project" --project . --add good.png

# The actor limit: numbers run from 000 to 998, as for --new.
mkdir -p full-project/actors && cp proj/music.ogg full-project/
cp proj/actors/000-good.png full-project/actors/998-good.png
cp proj/actors/000-good.data full-project/actors/998-good.data
refused "at most 999 actors" --project full-project --add good.png
[ "$(ls full-project/actors)" = "$(printf '998-good.data\n998-good.png')" ] || fail "a refused --add changed the actors"

# A good addition: numbered after the others, as long as their tracks, theirs untouched.
"$bin" --project proj --add good.png >"$work/out" 2>"$work/err" || fail "--add failed"
[ -f proj/actors/002-good.png ] && [ -f proj/actors/002-good.data ] || fail "--add did not add 002-good"
[ "$(stat -c %s proj/actors/002-good.data)" = "$(stat -c %s proj/actors/000-good.data)" ] \
  || fail "the added track is not as long as the others"
after=$(cd proj && find . -type f ! -name '002-good.*' -exec md5sum {} + | sort)
[ "$after" = "$before" ] || fail "--add changed the files already there"
# JPEG pictures are drawn before every PNG one: a JPEG added over PNG actors is stored as PNG.
ffmpeg -v error -f lavfi -i color=c=blue:s=32x32 -frames:v 1 photo.jpg || fail "cannot make a JPEG"
"$bin" --project proj --add photo.jpg >"$work/out" 2>"$work/err" || fail "--add of a JPEG failed"
[ -f proj/actors/003-photo.png ] && [ ! -e proj/actors/003-photo.jpg ] \
  || fail "a JPEG added over PNG actors was not stored as PNG: $(ls proj/actors)"
echo "bad input refused with a message and nothing left behind; --add adds on top"
