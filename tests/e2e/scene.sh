#!/usr/bin/env bash
# scene.sh TUMELORA E2E_TOOL MAKE_TONE SOURCE_DIR: the real program draws every actor where its
# pose puts it, pixel for pixel, over the light-blue background, JPEG actors under PNG ones,
# and no panel; without actors only the background: read back from the window of the running
# program.
. "$(dirname "$0")/e2e_lib.sh"
e2e_args "$1" "$2" "$3" "$4"
start_display 1920x1200

new_run scene 30
# Scene unit 80 px; the stage fills the 1280 x 720 window. Poses: x y (units), rotation, scale.
# z.jpg, green 200 x 120 at (3, 4): pixels x 140..339, y 260..379 (drawn first: a JPEG).
actor z.jpg 200 120 00C000 600 3 4
# a.png, red 80 x 80 at (4, 4): x 280..359, y 280..359, over z.
actor a.png 80 80 FF0000 600 4 4
# b.png, blue 40 x 40 scaled (2, 1) at (10, 2): x 760..839, y 140..179.
actor b.png 40 40 0000FF 600 10 2 0 0 0 2 1
# c.png, yellow 80 x 40 turned a quarter clockwise at (12, 6): x 940..979, y 440..519.
actor c.png 80 40 FFFF00 600 12 6 0 0 1.5707964 1 1
start_drawn

# Every actor stands still, so one picture of the window holds every check.
checks=(
  # Red: every edge pixel is red and the one beyond it is the next thing below (green or sky).
  "a inside:320:320:FF0000"
  "a left edge:280:320:FF0000"
  "a right edge:359:320:FF0000"
  "right of a:360:320:$BACKGROUND"
  "a top edge:320:280:FF0000"
  "a bottom edge:320:359:FF0000"
  # z shows around a: the PNG actor was drawn after the JPEG one (load order).
  "z left of a:279:320:00C000:8"
  "z above a:320:279:00C000:8"
  "z below a:320:360:00C000:8"
  "z left edge:140:300:00C000:8"
  "left of z:139:300:$BACKGROUND"
  "z bottom edge:200:379:00C000:8"
  "below z:200:380:$BACKGROUND"
)
# Blue: scaled twice as wide as its picture, as high as it.
for p in 760:160 839:160 800:140 800:179; do checks+=("b edge $p:$p:0000FF"); done
for p in 759:160 840:160 800:139 800:180; do checks+=("beside b $p:$p:$BACKGROUND"); done
# Yellow: turned, so 40 wide and 80 high (one pixel in from the edges: the quarter turn is
# a float angle).
for p in 941:480 978:480 960:441 960:518; do checks+=("c inside $p:$p:FFFF00"); done
for p in 938:480 981:480 960:438 960:521 925:480 995:480; do checks+=("beside c $p:$p:$BACKGROUND"); done
# No panel is drawn: where the buttons are the sky shows, and the corners are sky.
checks+=("Play area:${PLAY/ /:}:$BACKGROUND" "Save area:${SAVE/ /:}:$BACKGROUND"
         "top-left corner:0:0:$BACKGROUND" "bottom-right corner:1279:719:$BACKGROUND")
expect_pixels "${checks[@]}"

escape_ends_it
expect_no_messages

# Without actors the whole window is the background colour (a grid of 15 x 9 points).
new_run empty 30
start_drawn
points=()
for x in $(seq 0 90 1279) 1279; do for y in $(seq 0 90 719) 719; do points+=("$x" "$y"); done; done
others=$(pixel "${points[@]}" | grep -vcx "$BACKGROUND")
[ "$others" -eq 0 ] || fail "without actors $others of the points are not the background"
escape_ends_it

echo "scene drawn as the poses say"
