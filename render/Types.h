#pragma once
// Shared value types of the drawing code: rectangles and colours.
#include <cstdint>

// Float rectangle (x, y, width, height); contains() is half-open on both axes.
struct RectF {
    float x = 0, y = 0, width = 0, height = 0;

    RectF() = default;
    RectF(float x_, float y_, float w_, float h_) : x(x_), y(y_), width(w_), height(h_) {}

    // True for x <= px < x + width and y <= py < y + height.
    bool contains(float px, float py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
};

// 4-byte colour, bytes r, g, b, a; built from a 0xAARRGGBB word (-1 is opaque white).
struct ColorRGBA {
    uint8_t r = 255, g = 255, b = 255, a = 255;

    ColorRGBA() = default;
    ColorRGBA(uint8_t r_, uint8_t g_, uint8_t b_, uint8_t a_) : r(r_), g(g_), b(b_), a(a_) {}
    // From a 0xAARRGGBB word.
    explicit ColorRGBA(uint32_t argb)
        : r(uint8_t(argb >> 16)), g(uint8_t(argb >> 8)), b(uint8_t(argb)), a(uint8_t(argb >> 24)) {}

    // Back to a 0xAARRGGBB word.
    uint32_t argb() const { return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
};
