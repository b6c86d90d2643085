#!/usr/bin/env bash
# dance.sh TUMELORA MAKE_TONE SOURCE_DIR RIG_TAKE_CHECK: --dance on a small rigged project (the
# bundled dancer's ten parts with their rig and tracks, a six-second tone with a beat every
# 500 ms), run without a display. Every part's track is written, the one it replaced is kept
# beside it byte for byte as NAME.data.before-dance, and replayed through the player's easing
# every joint holds within a pixel while the arms swing (rig_take_check). A second --dance over
# a span keeps the first one's tracks as the previous ones and leaves the frames before the
# span as they were. Without a rig it changes nothing and says why; wrong options are refused.
set -uo pipefail
bin=$(readlink -f "$1")
tone=$(readlink -f "$2")
src=$(readlink -f "$3")
check=$(readlink -f "$4")
for f in "$bin" "$tone" "$check"; do [ -x "$f" ] || { echo "missing program $f" >&2; exit 1; }; done
work=$(mktemp -d /tmp/tumelora-dance-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; for f in out err; do [ -f "$work/$f" ] && sed "s/^/  $f: /" "$work/$f" >&2; done; exit 1; }

proj=$work/proj
mkdir -p "$proj/actors" "$work/original" "$work/first"
"$tone" "$proj/music.ogg" 6 || fail "make_tone failed"
awk 'BEGIN { for (t = 0; t <= 6000; t += 500) print t }' >"$proj/music.beats"
cp "$src"/data/actors/2[0-9]-dancer-* "$src/data/actors/rig.txt" "$proj/actors/" || fail "cannot copy the dancer"
cp "$proj"/actors/* "$work/original/"
parts=$(cd "$proj/actors" && ls *.data)
[ "$(echo "$parts" | wc -l)" -eq 10 ] || fail "the dancer has not ten tracks"

# The dance, without a display.
env -u DISPLAY "$bin" --project "$proj" --dance >"$work/out" 2>"$work/err" || fail "--dance: exit code $?"
grep -q "24-dancer-torso bounces and sways" "$work/out" || fail "--dance does not say what the torso does"
grep -q "wrote 10 tracks" "$work/out" || fail "--dance does not say it wrote ten tracks"
for d in $parts; do
  ! cmp -s "$proj/actors/$d" "$work/original/$d" || fail "$d was not danced"
  cmp -s "$proj/actors/$d.before-dance" "$work/original/$d" || fail "$d.before-dance is not the track it replaced"
done
"$check" "$proj/actors" "$work/original" 0.2 >"$work/joints" || { cat "$work/joints" >&2; fail "the joints did not hold"; }

# Again over a span: the first dance's tracks are the previous ones now; the first second stays.
cp "$proj"/actors/*.data "$work/first/"
env -u DISPLAY "$bin" --project "$proj" --dance --from 1 --to 4.5 >"$work/out" 2>"$work/err" \
  || fail "--dance --from --to: exit code $?"
grep -q "danced from 0:01.0 to 0:04.5" "$work/out" || fail "--dance does not say the span"
for d in $parts; do
  cmp -s "$proj/actors/$d.before-dance" "$work/first/$d" || fail "$d.before-dance is not the first dance's track"
  cmp -s -n $((12 + 20 * 60)) "$proj/actors/$d" "$work/first/$d" || fail "$d changed before the span"
done

# Without a rig nothing changes, and the message names the rig file; wrong options: exit code 2.
mv "$proj/actors/rig.txt" "$work/rig.txt"
before=$(md5sum "$proj"/actors/* | sort)
env -u DISPLAY "$bin" --project "$proj" --dance >"$work/out" 2>"$work/err"
[ $? -eq 1 ] || fail "--dance without a rig did not fail"
grep -q "rig.txt" "$work/err" || fail "--dance without a rig does not name the rig file"
[ "$(md5sum "$proj"/actors/* | sort)" = "$before" ] || fail "--dance without a rig changed files"
for args in "--dance --edit" "--dance --from x" "--from 2" "--dance --from 3 --to 2" "--dance --export v.mp4"; do
  # shellcheck disable=SC2086
  "$bin" --project "$proj" $args >"$work/out" 2>"$work/err"
  [ $? -eq 2 ] || fail "'$args' was not refused with exit code 2"
done
echo "--dance wrote every track, kept the previous ones and the joints held"
