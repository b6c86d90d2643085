#!/usr/bin/env bash
# export_errors.sh TUMELORA_BINARY EXPORT_TEST_TOOL MAKE_TONE SOURCE_DIR: failed exports. A
# missing folder, an unknown extension, no display, a missing ffmpeg, an ffmpeg that fails, dies halfway
# or is killed: each gives a clear message and a non-zero exit code, and leaves neither a
# file under the final name nor a temporary one (an existing file keeps its contents). After
# kill -9 of the program, ffmpeg goes too and the next export removes the temporary output.
. "$(dirname "$0")/export_common.sh"

make_data "$work" 60 1
cd "$work"

# Files in the working folder other than data/, the fake programs and the test's own.
stray() {
  find . -mindepth 1 -maxdepth 1 ! -name data ! -name 'fake-*' ! -name err ! -name old.mp4 \
    ! -name long
}

# expect_failure MESSAGE ARGS...: the export fails with MESSAGE on stderr, leaving nothing.
expect_failure() {
  local message=$1; shift
  "$@" 2>"$work/err"
  local rc=$?
  [ "$rc" -ne 0 ] || fail "$* succeeded"
  [ "$rc" -lt 128 ] || fail "$* crashed (exit code $rc)"
  grep -qF "$message" "$work/err" || fail "$*: message \"$message\" missing"
  [ -z "$(stray)" ] || fail "$* left $(stray | tr '\n' ' ')"
  [ "$(cat old.mp4)" = old ] || fail "$* changed an existing file"
}

echo old >old.mp4

expect_failure "the folder missing/sub does not exist" "$bin" --export missing/sub/out.mp4
expect_failure "unknown video format" "$bin" --export out.avi
mkdir data/folder.mp4
expect_failure "data/folder.mp4 is a folder" "$bin" --export data/folder.mp4
[ -z "$(ls -A data/folder.mp4)" ] || fail "something was written into the folder"
rmdir data/folder.mp4
expect_failure "needs a frame-number field" "$bin" --export out.png
expect_failure "export failed" "$bin" --export 'f-%s.png'

expect_failure "cannot open an OpenGL window" env -u DISPLAY -u WAYLAND_DISPLAY "$bin" --export out.mp4

# No ffmpeg: not on PATH, or a name that does not exist.
expect_failure "ffmpeg not found on PATH" env PATH=/nonexistent "$bin" --export out.mp4
expect_failure "cannot run ffmpeg (/nonexistent/ffmpeg)" \
  env TUMELORA_FFMPEG=/nonexistent/ffmpeg "$bin" --export out.mp4
touch fake-plain
expect_failure "cannot run ffmpeg" env TUMELORA_FFMPEG="$work/fake-plain" "$bin" --export out.mp4

# An ffmpeg that writes part of its output and then fails at once.
cat >fake-fails <<'EOF'
#!/bin/sh
for last; do :; done
echo partial >"${last#file:}"
echo "fake ffmpeg: cannot encode" >&2
exit 1
EOF
# One that reads a few frames, writes something, and dies halfway through.
cat >fake-dies <<'EOF'
#!/bin/sh
for last; do :; done
head -c 10000000 >"${last#file:}"
exit 3
EOF
# One that is killed by a signal while reading.
cat >fake-killed <<'EOF'
#!/bin/sh
head -c 5000000 >/dev/null
kill -9 $$
EOF
# One that reads everything and then fails (a full disk while finishing, say).
cat >fake-fails-late <<'EOF'
#!/bin/sh
for last; do :; done
cat >"${last#file:}"
exit 1
EOF
# One that reads nothing and never ends by itself.
cat >fake-stalls <<'EOF'
#!/bin/sh
exec sleep 600
EOF
chmod +x fake-fails fake-dies fake-killed fake-fails-late fake-stalls

for f in out.mp4 old.mp4; do
  expect_failure "ffmpeg failed (exit code 1)" env TUMELORA_FFMPEG="$work/fake-fails" "$bin" --export "$f"
  grep -qF "fake ffmpeg: cannot encode" "$work/err" || fail "ffmpeg's own message is not shown"
  expect_failure "ffmpeg failed (exit code 3): ffmpeg stopped reading frames" \
    env TUMELORA_FFMPEG="$work/fake-dies" "$bin" --export "$f"
  expect_failure "ffmpeg was ended by signal 9" \
    env TUMELORA_FFMPEG="$work/fake-killed" "$bin" --export "$f"
  expect_failure "ffmpeg failed (exit code 1)" \
    env TUMELORA_FFMPEG="$work/fake-fails-late" "$bin" --export "$f"
done
expect_failure "ffmpeg failed (exit code 1)" \
  env TUMELORA_FFMPEG="$work/fake-fails" "$bin" --export 'f-%03d.png'

# A real ffmpeg, and the program ended halfway by SIGTERM: nothing is left.
make_data "$work/long" 1800 30
cd "$work/long"
# (Emptied first: the last failure's messages also say "exporting".)
: >"$work/err"
"$bin" --export big.mp4 2>"$work/err" &
pid=$!
exporting() { grep -q "exporting" "$work/err" 2>/dev/null; }
wait_running "$LIMIT" exporting || fail "the export of 1800 frames never said it was exporting"
kill -TERM "$pid"
wait_exit || fail "SIGTERM did not end the export"
[ "$rc" -ne 0 ] || fail "an export ended by SIGTERM reported success"
grep -qF "interrupted" "$work/err" || grep -qF "ffmpeg" "$work/err" || fail "no message after SIGTERM"
[ -z "$(stray)" ] || fail "an interrupted export left $(stray | tr '\n' ' ')"

# Killed outright: ffmpeg goes with the program (here one that reads nothing, which no end of
# its input would stop), and the next export into the folder removes what was left and says so.
: >"$work/err"
env TUMELORA_FFMPEG="$work/fake-stalls" "$bin" --export big.mp4 2>"$work/err" &
pid=$!
wait_running "$LIMIT" exporting || fail "the export into a stalled ffmpeg never said it was exporting"
encoder=$(pgrep -P "$pid" | head -n1)
[ -n "$encoder" ] || fail "no ffmpeg child while exporting"
kill -9 "$pid"
wait "$pid" 2>/dev/null
pid=
encoder_gone() { ! kill -0 "$encoder" 2>/dev/null; }
wait_for "$LIMIT" encoder_gone || { kill "$encoder"; fail "ffmpeg outlived the program ended by kill -9"; }
leftover=$(stray)
[ -n "$leftover" ] || fail "kill -9 left no temporary output (nothing for the next export to remove)"
env TUMELORA_FFMPEG="$work/fake-fails" "$bin" --export big.mp4 2>"$work/err"
grep -qF "removed ./${leftover#./}" "$work/err" || fail "the next export did not say it removed $leftover"
[ -z "$(stray)" ] || fail "the next export left $(stray | tr '\n' ' ')"
cd "$work"

# And the same folder still exports fine.
"$bin" --export out.mp4 2>"$work/err" || fail "a good export after the failures failed"
[ -s out.mp4 ] || fail "out.mp4 missing"

echo "failed exports: clear messages, non-zero exit codes, nothing left behind"
