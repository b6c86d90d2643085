#!/usr/bin/env bash
# check_music.sh MAKE_MUSIC DATADIR: regenerates the music into a temporary folder and compares
# it byte for byte with the committed files.
set -euo pipefail
tool=$1
data=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$tool" "$tmp"
status=0
for f in lumokari2_tumelora_voices.ogg lumokari2_tumelora_voices.beats; do
  if ! cmp "$tmp/$f" "$data/$f"; then
    echo "check_music: $f differs from the generator's output" >&2
    status=1
  fi
done
exit $status
