#!/usr/bin/env bash
# check_font_data.sh MAKE_FONT FACE.ttf DATA_DIR: regenerates the bundled font into a
# temporary folder and fails unless it matches the committed files byte for byte.
set -euo pipefail
tool=$1 face=$2 data=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" "$face" "$work"
status=0
for f in droid30.fnt droid30_0.png; do
  if ! cmp "$work/$f" "$data/$f"; then
    echo "check_font_data: $f differs from the generator's output" >&2
    status=1
  fi
done
exit $status
