# e2e_lib.sh: sourced by every end-to-end script of the real program. It gives the script a
# fresh work folder (removed at exit), an X server of its own (start_display), the program's
# launcher for the sanitizer test stage, waits for what the checks need, and the window's
# pixels, pointer and keys. Exit code 77 means skipped (no Xvfb).
#
# Every wait polls for its condition (the window shown, a frame drawn, a file written, the
# process gone) up to LIMIT seconds: a busy machine or a sanitizer build makes a test slower,
# never wrong. No wait is a fixed time.
set -uo pipefail

# Seconds that a single wait may take before its test fails.
LIMIT=120
# The program's stage (its window size), the background colour, and the size of one scene unit.
STAGE_W=1280
STAGE_H=720
BACKGROUND=AACCEE
UNIT=80
# SDL's disk audio driver writes 44,100 stereo frames of 16 bits a second.
AUDIO_BYTES_PER_SECOND=176400

# The test's folder, $work, inside one that also holds this file's own (the X server's log,
# the launcher).
own=$(mktemp -d /tmp/tumelora-e2e-XXXXXX)
work=$own/work
mkdir "$work"
pid=
xvfb=
run=
win=
# The script's own shell: a child that bash forks for a command in the background runs this
# trap too when a signal ends it before it has become the command, and must not clean up.
e2e_shell=$BASHPID
cleanup() {
  [ "$BASHPID" = "$e2e_shell" ] || return
  if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; fi
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$own"
}
trap cleanup EXIT

# fail MESSAGE: the test fails; the program's output (in $run) is shown.
fail() {
  echo "FAIL: $*" >&2
  # Let a program that is ending finish writing its output.
  [ -n "$pid" ] && wait_for 5 program_gone
  local f
  for f in out err; do
    [ -n "$run" ] && [ -f "$run/$f" ] && sed "s/^/  std$f: /" "$run/$f" >&2
  done
  exit 1
}

# wait_for SECONDS COMMAND...: runs COMMAND every tenth of a second until it succeeds (0), or
# until SECONDS have passed (1).
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# wait_running SECONDS COMMAND...: as wait_for, but gives up (2) as soon as the program ends.
wait_running() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    kill -0 "$pid" 2>/dev/null || return 2
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# True once the started program has ended.
program_gone() { ! kill -0 "$pid" 2>/dev/null; }

# wait_exit: waits for the started program to end; sets rc (1 when it did not end).
wait_exit() {
  wait_for "$LIMIT" program_gone || return 1
  wait "$pid"
  rc=$?
  pid=
}

# stays_running SECONDS WHAT: the program must not end during the next SECONDS (what must not
# happen is given this long to happen; a busy machine can only make that check milder).
stays_running() {
  local deadline=$((SECONDS + $1))
  while [ "$SECONDS" -lt "$deadline" ]; do
    kill -0 "$pid" 2>/dev/null || fail "the program ended $2"
    sleep 0.1
  done
}

# start_display WIDTHxHEIGHT: an X server of the test's own with a screen of that size, on a
# display number it picks itself (race-free with tests running side by side); sets DISPLAY.
# -noreset: by default the server resets whenever its last client leaves (the check below
# is one), and a program that connects during the reset finds no display.
start_display() {
  local fifo="$own/displayfd" n='' t
  for t in Xvfb xdpyinfo xdotool xwininfo xwd perl; do
    command -v "$t" >/dev/null || { echo "skipped: $t missing" >&2; exit 77; }
  done
  Xvfb -displayfd 3 -noreset -screen 0 "${1}x24" -nolisten tcp +extension GLX 3>"$fifo" \
    >"$own/xvfb.log" 2>&1 &
  xvfb=$!
  display_number() { n=$(head -n1 "$fifo" 2>/dev/null) && [ -n "$n" ]; }
  display_answers() { xdpyinfo >/dev/null 2>&1; }
  wait_for "$LIMIT" display_number || { cat "$own/xvfb.log" >&2; fail "the test's X server did not start"; }
  export DISPLAY=":$n"
  wait_for "$LIMIT" display_answers || fail "the test's X server does not answer"
}

# launcher PROGRAM: prints how to run PROGRAM. In the sanitizer test stage that is a script
# which adds the stage's preload (TUMELORA_SANITIZER_PRELOAD: the sanitizer runtime and the
# OpenGL driver, which then stays loaded until the leak check at exit) for the program only,
# never for the tools around it; it replaces itself by the program (the same process).
launcher() {
  local program
  program=$(readlink -f "$1")
  [ -x "$program" ] || fail "no program at $1"
  if [ -z "${TUMELORA_SANITIZER_PRELOAD:-}" ]; then
    echo "$program"
    return
  fi
  local script
  script=$(mktemp "$own/launch-XXXXXX")
  printf '#!/bin/sh\nLD_PRELOAD=%q exec %q "$@"\n' "$TUMELORA_SANITIZER_PRELOAD" "$program" >"$script"
  chmod +x "$script"
  echo "$script"
}

# e2e_args TUMELORA [TOOL [MAKE_TONE [SOURCE_DIR]]]: the programs a script is given ("" for one
# it is not given): sets bin (the program's launcher), tool, tone and src.
e2e_args() {
  bin=$(launcher "$1") || exit 1
  tool=
  tone=
  src=
  if [ -n "${2:-}" ]; then tool=$(readlink -f "$2"); [ -x "$tool" ] || fail "no tool at $2"; fi
  if [ -n "${3:-}" ]; then tone=$(readlink -f "$3"); [ -x "$tone" ] || fail "no make_tone at $3"; fi
  if [ -n "${4:-}" ]; then
    src=$(readlink -f "$4")
    [ -d "$src/data" ] || fail "no source tree at $4"
    panel_buttons
  fi
}

# png_size PNG: the width and height of a PNG picture (from its header).
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}

# panel_buttons: the player's panel buttons, from the button picture of SOURCE_DIR/data: a
# point inside each ("Play" (0, 0), "<<" (width + 2, 0), "Rec" (0, row), "Stop" (0, row / 2)
# while playing or recording, "Save" (0, 720 - row), "Reset>>" (0, 5 rows) while an actor is
# selected; a row is the picture's height plus a 2-pixel gap).
panel_buttons() {
  local button_w button_h row_step
  read -r button_w button_h < <(png_size "$src/data/button.png")
  row_step=$((button_h + 2))
  PLAY="5 5"
  REWIND="$((button_w + 2 + 5)) 5"
  REC="5 $((row_step + 5))"
  STOP="5 $((row_step / 2 + 5))"
  SAVE="5 $((STAGE_H - row_step + 5))"
  RESET="5 $((row_step * 5 + 5))"
}

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

# The program's arguments (a window; a script may add --edit).
program_args=(w)

# start [VAR=VALUE...]: runs the program with program_args in $run (disk audio into $run/audio.raw,
# stderr into $run/err, error boxes printed only, the user's settings of the run's own); sets pid,
# and windows_before (the program windows already there).
start() {
  windows_before=$(xdotool search --name '^TUMELORA$' 2>/dev/null | tr '\n' ' ')
  (cd "$run" && exec env TUMELORA_NO_ERROR_BOX=1 XDG_CONFIG_HOME="$run/config" SDL_AUDIODRIVER=disk \
     SDL_DISKAUDIOFILE="$run/audio.raw" "$@" "$bin" "${program_args[@]}" 2>"$run/err" >"$run/out") &
  pid=$!
}

# A window named TUMELORA that was not there before the program started; sets win.
new_window() {
  local id
  for id in $(xdotool search --name '^TUMELORA$' 2>/dev/null); do
    case " ${windows_before:-} " in *" $id "*) ;; *) win=$id; return 0 ;; esac
  done
  return 1
}

# wait_window: waits for the started program's window; sets win.
wait_window() { wait_running "$LIMIT" new_window; }

# window_size: the window's width and height.
window_size() { xwininfo -id "$win" | awk '/^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print w, h }'; }

# pixel X Y...: the window's colours (RRGGBB) at the given points, one a line ("outside" for a
# point off the window), all from one picture of the window. Read with xwd and perl: programs
# that start in a moment on a busy machine, also in the sanitizer test stage (a wait polls
# often, and the program does not wait for the test).
pixel() {
  xwd -silent -id "$win" 2>/dev/null | perl -e '
    binmode STDIN;
    my $d = do { local $/; <STDIN> } // exit 1;
    my @h = unpack("N25", $d);
    my ($size, $w, $h, $order, $bpp, $line, $colours) = @h[0, 4, 5, 7, 11, 12, 19];
    exit 1 unless $size && ($bpp == 32 || $bpp == 24);
    my @mask = @h[14 .. 16];
    my @shift = map { my ($m, $s) = ($_, 0); $s++ while $m && !($m & (1 << $s)); $s } @mask;
    my $base = $size + 12 * $colours;
    while (my ($x, $y) = splice(@ARGV, 0, 2)) {
      if ($x < 0 || $y < 0 || $x >= $w || $y >= $h) { print "outside\n"; next }
      my $at = $base + $y * $line + $x * $bpp / 8;
      my $v;
      if ($bpp == 32) { $v = unpack($order ? "N" : "V", substr($d, $at, 4)) }
      else {
        my @b = unpack("C3", substr($d, $at, 3));
        $v = $order ? ($b[0] << 16 | $b[1] << 8 | $b[2]) : ($b[2] << 16 | $b[1] << 8 | $b[0]);
      }
      printf "%02X%02X%02X\n", map {
        my $max = $mask[$_] >> $shift[$_];
        int((($v & $mask[$_]) >> $shift[$_]) * 255 / ($max || 1) + 0.5) } 0 .. 2;
    }' "$@"
}

# near GOT WANT TOLERANCE: two colours RRGGBB differ by at most TOLERANCE in each channel.
near() {
  local i d
  [ ${#1} -eq 6 ] && [ ${#2} -eq 6 ] || return 1
  for i in 0 2 4; do
    d=$((16#${1:i:2} - 16#${2:i:2}))
    [ "${d#-}" -le "$3" ] || return 1
  done
}

# A pixel check is "LABEL:X:Y:RRGGBB[:TOLERANCE]": the pixel has that colour (each channel
# within TOLERANCE, default 0); "!RRGGBB": any colour but that.
# parse_check CHECK: sets label, x, y, want and tol (read from the right: a label may hold ':').
parse_check() {
  local c=$1
  case ${c##*:} in
    [0-9] | [0-9][0-9] | [0-9][0-9][0-9]) tol=${c##*:}; c=${c%:*} ;;
    *) tol=0 ;;
  esac
  want=${c##*:}; c=${c%:*}
  y=${c##*:}; c=${c%:*}
  x=${c##*:}; label=${c%:*}
}

# pixels_hold CHECK...: every check holds in one picture of the window; else sets mismatch.
pixels_hold() {
  local c label x y want tol neg got i=0 points=()
  for c in "$@"; do parse_check "$c"; points+=("$x" "$y"); done
  mapfile -t got < <(pixel "${points[@]}" 2>/dev/null)
  mismatch=
  for c in "$@"; do
    parse_check "$c"
    neg=
    [ "${want#!}" != "$want" ] && { neg=1; want=${want#!}; }
    if near "${got[i]:-none}" "$want" "$tol"; then
      [ -z "$neg" ] || mismatch+="${mismatch:+; }$label: pixel ($x, $y) is ${got[i]}, expected another colour"
    else
      [ -n "$neg" ] || mismatch+="${mismatch:+; }$label: pixel ($x, $y) is ${got[i]:-none}, expected $want"
    fi
    i=$((i + 1))
  done
  [ -z "$mismatch" ]
}

# expect_pixels CHECK...: every check holds in one picture of the window, taken now.
expect_pixels() { pixels_hold "$@" || fail "$mismatch"; }

# wait_pixels CHECK...: waits for a picture of the window in which every check holds.
wait_pixels() {
  wait_running "$LIMIT" pixels_hold "$@"
  case $? in
    1) fail "$mismatch (for $LIMIT s)" ;;
    2) fail "the program ended; $mismatch" ;;
  esac
}

# expect_colour LABEL X Y RRGGBB: the window pixel has exactly this colour.
expect_colour() { expect_pixels "$1:$2:$3:$4"; }

# expect_near LABEL X Y RRGGBB TOLERANCE: each channel within TOLERANCE (JPEG pictures).
expect_near() { expect_pixels "$1:$2:$3:$4:$5"; }

# wait_drawn X Y [X Y...]: waits until the window shows the background at (X, Y), the sign of
# a drawn frame (nothing is drawn before playback starts: the window is black until then); the
# colours of the further points in that same picture are left in first_frame, one per point.
wait_drawn() {
  drawn() {
    local got
    mapfile -t got < <(pixel "$@" 2>/dev/null)
    [ "${got[0]:-}" = "$BACKGROUND" ] || return 1
    first_frame=("${got[@]:1}")
  }
  first_frame=()
  wait_running "$LIMIT" drawn "$@"
}

# start_drawn [X Y...]: starts the program and waits for its window and its first drawn frame
# (first_frame: the colours of the given points in it).
start_drawn() {
  start
  wait_window || fail "no window named TUMELORA"
  wait_drawn "$((STAGE_W - 2))" "$((STAGE_H - 2))" "$@" || fail "the scene was never drawn"
}

# audio_bytes: the size of the disk audio file (what the program has played so far).
audio_bytes() { stat -c %s "$run/audio.raw" 2>/dev/null || echo 0; }

# wait_audio SECONDS: waits until the program has played SECONDS more of its sound device: its
# clock, which the frames follow, has moved on by that much (however busy the machine is).
wait_audio() {
  local target
  target=$(( $(audio_bytes) + $(awk -v s="$1" -v b="$AUDIO_BYTES_PER_SECOND" 'BEGIN { printf "%d", s * b }') ))
  audio_reached() { [ "$(audio_bytes)" -ge "$target" ]; }
  wait_running "$LIMIT" audio_reached || fail "the program's sound did not move on by $1 s"
}

# click X Y: press and release the left button at a window pixel.
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; }

# drag X Y DX DY STEPS [COMMAND...]: press at (X, Y), move by (DX, DY) in STEPS equal steps,
# release; COMMAND (if given) runs before each step, with step set to its number.
drag() {
  local x=$1 y=$2 dx=$3 dy=$4 steps=$5
  shift 5
  xdotool mousemove --window "$win" "$x" "$y" mousedown 1
  for step in $(seq "$steps"); do
    [ $# -eq 0 ] || "$@"
    xdotool mousemove --window "$win" $((x + dx * step / steps)) $((y + dy * step / steps))
  done
  xdotool mouseup 1
}

# keys KEY...: gives the window the focus and presses the keys (as xdotool names them).
keys() {
  timeout "$LIMIT" xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
  xdotool key --clearmodifiers "$@"
}

# Presses Escape in the program's window and expects it to end with exit code 0.
escape_ends_it() {
  keys Escape
  wait_exit || fail "Escape did not end the program"
  [ "$rc" -eq 0 ] || fail "exit code $rc after Escape, expected 0"
}

# signal_ends_it SIGNAL: the signal ends the program, with exit code 0.
signal_ends_it() {
  kill "-$1" "$pid" || fail "cannot send SIG$1"
  wait_exit || fail "SIG$1 did not end the program"
  [ "$rc" -eq 0 ] || fail "exit code $rc after SIG$1, expected 0"
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

# --- The editing mode ---------------------------------------------------------------------------
# The face colour of the button picture and of its hot one (data/button.png, button-hot.png):
# the Help button shows the second while the pointer is over it.
BUTTON_FACE=3A4F6D
BUTTON_HOT_FACE=52749F

# editor_layout: the editor's layout for the program's window (from the skin pictures and the
# font of SOURCE_DIR/data): L[NAME] is "x y w h" of each rectangle e2e_tool names, SCALE the
# stage's scale.
editor_layout() {
  local w h btn_w btn_h thumb_h check_w check_h line_h name x y rw rh
  read -r w h < <(window_size)
  read -r btn_w btn_h < <(png_size "$src/data/button.png")
  read -r _ thumb_h < <(png_size "$src/data/slider-thumb.png")
  read -r check_w check_h < <(png_size "$src/data/checkbox.png")
  line_h=$(awk '/^common/ { for (i = 1; i <= NF; i++) if ($i ~ /^lineHeight=/) { sub("lineHeight=", "", $i); print $i } }' "$src/data/droid30.fnt")
  declare -gA L=()
  SCALE=
  while read -r name x y rw rh; do
    if [ "$name" = scale ]; then SCALE=$x; else L[$name]="$x $y $rw $rh"; fi
  done < <("$tool" editor-layout "$w" "$h" "$btn_w" "$btn_h" "$thumb_h" "$check_w" "$check_h" "$line_h")
  [ -n "$SCALE" ] || fail "no editor layout for a ${w}x${h} window"
}

# The centre of a layout rectangle: cx NAME, cy NAME.
cx() { local r=(${L[$1]}); echo $(( r[0] + r[2] / 2 )); }
cy() { local r=(${L[$1]}); echo $(( r[1] + r[3] / 2 )); }
# Window pixel of a scene point: sx X, sy Y (scene units).
sx() { local r=(${L[stage]}); awk -v x="$1" -v o="${r[0]}" -v s="$SCALE" -v u="$UNIT" 'BEGIN { printf "%d", o + x * u * s }'; }
sy() { local r=(${L[stage]}); awk -v y="$1" -v o="${r[1]}" -v s="$SCALE" -v u="$UNIT" 'BEGIN { printf "%d", o + y * u * s }'; }

# editor_sync: waits until the editor has taken every input sent so far and drawn a frame
# after it (also its first frame): the pointer goes onto the Help button and off it again,
# and each time the button is waited for in the look that shows it (the X server hands the
# program its input in the order it was sent). Not while a mouse button is held.
editor_sync() {
  local r=(${L[help]}) x y
  x=$((r[0] + r[2] / 14))
  y=$((r[1] + r[3] / 2))
  xdotool mousemove --window "$win" "$x" "$y"
  wait_pixels "the Help button under the pointer:$x:$y:$BUTTON_HOT_FACE:8"
  xdotool mousemove --window "$win" "$(cx status)" "$(cy status)"
  wait_pixels "the Help button without the pointer:$x:$y:$BUTTON_FACE:8"
}
