#!/usr/bin/env bash
# check_scene.sh MAKE_SCENE_PICTURES MAKE_SCENE_TRACKS DATA_DIR: regenerates the bundled scene
# (pictures, then tracks from DATA_DIR's music and beat list) into a temporary folder and fails
# unless DATA_DIR/actors holds exactly those files, byte for byte, and nothing else.
set -euo pipefail
pictures=$1 tracks=$2 data=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$pictures" "$out"
"$tracks" "$data/lumokari2_tumelora_voices.beats" "$data/lumokari2_tumelora_voices.ogg" "$out"
status=0
made=$(cd "$out" && ls -A | sort)
committed=$(cd "$data/actors" && ls -A | sort)
if [ "$made" != "$committed" ]; then
  echo "check_scene: data/actors/ holds other files than the generators make:" >&2
  diff <(echo "$made") <(echo "$committed") >&2 || true
  status=1
fi
for f in $made; do
  if ! cmp -s "$out/$f" "$data/actors/$f"; then
    echo "check_scene: $f differs from the generators' output (or is missing)" >&2
    status=1
  fi
done
[ "$status" = 0 ] && echo "check_scene: $(echo "$made" | wc -l) files match"
exit $status
