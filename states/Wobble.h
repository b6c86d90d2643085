#pragma once
// The waving strip that wobbling actors are drawn as: the picture cut into horizontal
// bands whose rows are pushed sideways by a sine wave under a smooth envelope.
#include <irrlicht.h>

class Image;
class Renderer2D;

// Bands of the strip; rows = bands + 1, two vertices per row, two triangles per band.
constexpr int WOBBLE_BANDS = 100;
constexpr int WOBBLE_ROWS = WOBBLE_BANDS + 1;
constexpr int WOBBLE_VERTICES = 2 * WOBBLE_ROWS;
constexpr int WOBBLE_TRIANGLES = 2 * WOBBLE_BANDS;
constexpr int WOBBLE_INDICES = 3 * WOBBLE_TRIANGLES;
// Milliseconds of state time per radian of wave phase.
constexpr float WOBBLE_TIME_DIVISOR = 400.f;
// Largest displacement as a share of the picture width (before scaling).
constexpr float WOBBLE_AMPLITUDE_SHARE = 0.075f;
// Wave phase added per row, in radians.
constexpr float WOBBLE_PHASE_PER_ROW = 1.f / 9.f;
// The envelope rises from row 10 to row 50 and falls from row 50 to row 90.
constexpr float WOBBLE_RISE_START = 10.f;
constexpr float WOBBLE_PEAK = 50.f;
constexpr float WOBBLE_FALL_END = 90.f;

// The amplitude factor the scene draws wobbling actors with.
constexpr float SCENE_WOBBLE_AMPLITUDE = 1.f;

// Hermite step: 0 below edge0, 1 from edge1 on, smooth in between (a plain step if the edges meet).
float smoothStep(float x, float edge0, float edge1);
// smoothStep(x, a0, a1) - smoothStep(x, b0, b1): rises over [a0, a1], falls over [b0, b1].
float pulse(float x, float a0, float a1, float b0, float b1);
// How far (pixels, before scaling) row (0 to WOBBLE_BANDS, fractions between) of a picture of
// the given width is pushed sideways at the wave phase time.
float wobbleShift(float row, float time, float width, float amplitude);
// Appends the picture as a waving strip (202 vertices, 200 triangles) to the renderer's batch,
// placed like an Image draw with the given flags; time is the wave phase in radians.
void drawWobbled(float time, Renderer2D* renderer, Image* image, int blend, unsigned drawFlags,
                 float x, float y, float rotation, float scaleX, float scaleY,
                 irr::video::SColor colour, float amplitude);
