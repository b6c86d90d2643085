# e2e_lib.sh: sourced by the end-to-end scripts of the real program. Every script is run as
#   SCRIPT TUMELORA E2E_TOOL MAKE_TONE SOURCE_DIR
# It gets a private X server (so the windows and the pointer of tests running side by side
# never meet), a fresh data folder per run, SDL's disk audio driver, and bounded waits.
# Exit code 77 means skipped (no display).
set -uo pipefail

bin=$(readlink -f "$1")
tool=$(readlink -f "$2")
tone=$(readlink -f "$3")
src=$(readlink -f "$4")
for f in "$bin" "$tool" "$tone"; do [ -x "$f" ] || { echo "missing program $f" >&2; exit 1; }; done
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "skipped: no display" >&2
  exit 77
fi
for t in xdotool Xvfb; do command -v "$t" >/dev/null || { echo "$t missing" >&2; exit 1; }; done

# The program's stage (its window size), the background colour, and the size of one scene unit.
STAGE_W=1280
STAGE_H=720
BACKGROUND=AACCEE
UNIT=80

work=$(mktemp -d /tmp/tumelora-e2e-XXXXXX)
pid=
xvfb=
run=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  # Let a program that is ending finish writing its output.
  if [ -n "$pid" ]; then for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done; fi
  if [ -n "$run" ] && [ -f "$run/err" ]; then
    sed 's/^/  stdout: /' "$run/out" >&2
    sed 's/^/  stderr: /' "$run/err" >&2
  fi
  exit 1
}

. "$(dirname "${BASH_SOURCE[0]}")/private_display.sh"
start_private_display "$work/xvfb.log" || fail "the private X server did not start"

# The panel's button rows: the button picture's height (PNG header) plus a 2-pixel gap.
button_h=$(od -An -tu1 -j20 -N4 "$src/data/button.png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
button_w=$(od -An -tu1 -j16 -N4 "$src/data/button.png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
row_step=$((button_h + 2))
# A point inside each button (their top-left corners: "Play" (0, 0), "<<" (width + 2, 0),
# "Rec" (0, row), "Stop" (0, row / 2) while playing or recording, "Save" (0, 720 - row),
# "Reset>>" (0, 5 rows) while an actor is selected).
PLAY="5 5"
REWIND="$((button_w + 2 + 5)) 5"
REC="5 $((row_step + 5))"
STOP="5 $((row_step / 2 + 5))"
SAVE="5 $((STAGE_H - row_step + 5))"
RESET="5 $((row_step * 5 + 5))"

# new_run NAME [MUSIC_SECONDS]: a fresh working folder $run with the font, its page picture and
# the ten skin pictures in data/, an empty data/actors/, and (given seconds) a test music.
new_run() {
  run="$work/$1"
  mkdir -p "$run/data/actors"
  local f
  for f in button button-hot button-active button-hot-active slider-base slider-thumb \
           slider-thumb-active checkbox checkbox-active checkbox-check droid30_0; do
    cp "$src/data/$f.png" "$run/data/"
  done
  cp "$src/data/droid30.fnt" "$run/data/"
  if [ -n "${2:-}" ]; then
    "$tone" "$run/data/lumokari2_tumelora_voices.ogg" "$2" || fail "make_tone failed"
  fi
}

# actor NAME.EXT W H RRGGBB [track arguments of e2e_tool]: a flat picture and its data file.
actor() {
  local file=$1 w=$2 h=$3 colour=$4
  shift 4
  "$tool" picture "$run/data/actors/$file" "$w" "$h" "$colour" || fail "cannot write $file"
  if [ $# -gt 0 ]; then "$tool" track "$run/data/actors/${file%.*}.data" "$@" || fail "cannot write track"; fi
}

# The sanitizer test stage's preload (the sanitizer runtime and the OpenGL driver, so that the
# driver stays loaded until the leak check): for the program only, never for the tools.
program_env=()
[ -n "${TUMELORA_SANITIZER_PRELOAD:-}" ] && program_env=("LD_PRELOAD=$TUMELORA_SANITIZER_PRELOAD")

# The program's arguments (a window; a script may add --edit).
program_args=(w)

# start [VAR=VALUE...]: runs the program with program_args in $run (disk audio into $run/audio.raw,
# stderr into $run/err, error boxes printed only, the user's settings of the run's own); sets pid.
start() {
  (cd "$run" && exec env "${program_env[@]}" TUMELORA_NO_ERROR_BOX=1 XDG_CONFIG_HOME="$run/config" SDL_AUDIODRIVER=disk \
     SDL_DISKAUDIOFILE="$run/audio.raw" "$@" "$bin" "${program_args[@]}" 2>"$run/err" >"$run/out") &
  pid=$!
}

# Polls (0.1 s steps, at most $1 tenths) for the program's window; sets win.
wait_window() {
  for _ in $(seq "$1"); do
    win=$(xdotool search --name '^TUMELORA$' 2>/dev/null | head -n1)
    [ -n "$win" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# pixel X Y...: the window's colours (RRGGBB) at the given points, one a line.
pixel() { "$tool" pixels "$win" "$@"; }

# Waits (at most $1 tenths) until the window shows the background at the pixel $2 $3: the first
# frames are drawn only after the start-up pause, when playback has begun.
wait_drawn() {
  local tenths=$1 x=$2 y=$3
  for _ in $(seq "$tenths"); do
    [ "$(pixel "$x" "$y" 2>/dev/null)" = "$BACKGROUND" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# wait_colour TENTHS X Y RRGGBB: waits (at most TENTHS tenths of a second) until the window
# shows the colour at the pixel.
wait_colour() {
  local tenths=$1 x=$2 y=$3 colour=$4
  for _ in $(seq "$tenths"); do
    [ "$(pixel "$x" "$y" 2>/dev/null)" = "$colour" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Starts the program ($@ as for start) and waits for its window and its first drawn frame.
start_drawn() {
  start "$@"
  wait_window 300 || fail "no window named TUMELORA"
  wait_drawn 400 "$((STAGE_W - 2))" "$((STAGE_H - 2))" || fail "the scene was never drawn"
}

# Waits (at most $1 tenths of a second) for the program to end; sets rc.
wait_exit() {
  for _ in $(seq "$1"); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; rc=$?; pid=; return 0; }
    sleep 0.1
  done
  return 1
}

# click X Y: press and release the left button at a window pixel.
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; }

# drag X Y DX DY STEPS [PAUSE]: press at (X, Y), move by (DX, DY) in STEPS equal steps (PAUSE
# seconds apart), release.
drag() {
  local x=$1 y=$2 dx=$3 dy=$4 steps=$5 pause=${6:-0.02} i
  xdotool mousemove --window "$win" "$x" "$y" mousedown 1
  for i in $(seq "$steps"); do
    xdotool mousemove --window "$win" $((x + dx * i / steps)) $((y + dy * i / steps))
    sleep "$pause"
  done
  xdotool mouseup 1
}

# Presses Escape in the program's window and expects it to end with exit code 0.
escape_ends_it() {
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
  xdotool key --clearmodifiers Escape
  wait_exit 200 || fail "Escape did not end the program"
  [ "$rc" -eq 0 ] || fail "exit code $rc after Escape, expected 0"
}

# signal_ends_it SIGNAL: the signal ends the program within a second, with exit code 0.
signal_ends_it() {
  kill "-$1" "$pid" || fail "cannot send SIG$1"
  wait_exit 10 || fail "SIG$1 did not end the program within a second"
  [ "$rc" -eq 0 ] || fail "exit code $rc after SIG$1, expected 0"
}

# expect_colour LABEL X Y RRGGBB: the window pixel has exactly this colour.
expect_colour() {
  local got
  got=$(pixel "$2" "$3")
  [ "$got" = "$4" ] || fail "$1: pixel ($2, $3) is $got, expected $4"
}

# expect_near LABEL X Y RRGGBB TOLERANCE: each channel within TOLERANCE (JPEG pictures).
expect_near() {
  local got i d
  got=$(pixel "$2" "$3")
  [ ${#got} -eq 6 ] || fail "$1: no pixel at ($2, $3)"
  for i in 0 2 4; do
    d=$((16#${got:i:2} - 16#${4:i:2}))
    [ "${d#-}" -le "$5" ] || fail "$1: pixel ($2, $3) is $got, expected about $4"
  done
}

# dump NAME: the data file of actor NAME as e2e_tool reads it.
dump() { "$tool" dump "$run/data/actors/$1.data"; }

# expect_no_error TEXT: stderr of the run has no line starting with TEXT.
expect_no_error() {
  ! grep -q "^$1" "$run/err" || fail "unexpected message: $(grep "^$1" "$run/err")"
}

# expect_no_messages: the run showed no error box (none of its texts is on stderr).
expect_no_messages() {
  ! grep -qE '^(Error|Audio error): ' "$run/err" || fail "unexpected messages: $(grep -E '^(Error|Audio error): ' "$run/err")"
}
