// make_scene_pictures OUTDIR: draws the pictures of the bundled scene (the stage backdrop as a
// JPEG, every other actor as a PNG with transparency) into OUTDIR. Shapes are cairo paths in
// flat colours with dark outlines, a cut-out look; nothing random but a fixed-seed generator,
// so every run writes the same bytes.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "tools/scene/SceneModel.h"

using namespace scene;

namespace {

constexpr double kPi = 3.14159265358979323846;
// Width of the cut-out outline in pixels.
constexpr double kOutlineWidth = 3.0;
// Quality of the backdrop JPEG (0-100).
constexpr int kJpegQuality = 92;
// Transparent border kept around every actor, so that filtered edges fade out cleanly.
constexpr double kMargin = 3.0;

// Deterministic generator (32-bit linear congruential) for stars and plank grain.
class Lcg {
public:
    explicit Lcg(uint32_t seed) : state_(seed) {}
    // A number in [0, 1).
    double next() {
        state_ = state_ * 1664525u + 1013904223u;
        return double(state_ >> 8) / 16777216.0;
    }

private:
    uint32_t state_;
};

// Sets the source colour (with alpha) for the next fill or stroke.
void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, red(c), green(c), blue(c), alpha);
}

// Fills the current path with fill and strokes it with the outline colour.
void fillOutlined(cairo_t* cr, Rgb fill, double width = kOutlineWidth) {
    setColour(cr, fill);
    cairo_fill_preserve(cr);
    setColour(cr, kOutline);
    cairo_set_line_width(cr, width);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

// Fills the current path with fill, without an outline.
void fillPlain(cairo_t* cr, Rgb fill, double alpha = 1.0) {
    setColour(cr, fill, alpha);
    cairo_fill(cr);
}

// A rectangle with rounded corners of radius r as the current path.
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// A vertical capsule (a limb) from (x, y0) to (x, y1) with round ends, as the current path.
void capsule(cairo_t* cr, double x, double y0, double y1, double width) {
    const double r = width / 2;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, y0, r, kPi, 2 * kPi);
    cairo_arc(cr, x, y1, r, 0, kPi);
    cairo_close_path(cr);
}

// Adds a circle to the current path.
void circle(cairo_t* cr, double x, double y, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    cairo_close_path(cr);
}

// Adds an axis-aligned ellipse to the current path.
void ellipse(cairo_t* cr, double x, double y, double rx, double ry) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, rx, ry);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_close_path(cr);
    cairo_restore(cr);
}

// A transparent canvas of the picture's size, or null.
cairo_surface_t* newCanvas(const Picture& p) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, p.w, p.h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return nullptr;
    return s;
}

// Writes a surface as a PNG with its alpha; false on failure.
bool writePng(cairo_surface_t* s, const std::string& path) {
    cairo_surface_flush(s);
    return cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

// Writes an opaque surface as a baseline JPEG.
bool writeJpeg(cairo_surface_t* s, const std::string& path) {
    cairo_surface_flush(s);
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, kJpegQuality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        const uint32_t* px = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
        for (int x = 0; x < w; ++x) {
            row[size_t(x) * 3] = (unsigned char)(px[x] >> 16);
            row[size_t(x) * 3 + 1] = (unsigned char)(px[x] >> 8);
            row[size_t(x) * 3 + 2] = (unsigned char)(px[x]);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(f) == 0;
}

// ---- The backdrop: evening sky, hills, curtains and a wooden stage floor. ----

void drawBackdrop(cairo_t* cr) {
    const double w = kStageW, h = kStageH;
    const double horizon = 470;
    // Sky: deep violet at the top, warm peach at the horizon.
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, horizon);
    cairo_pattern_add_color_stop_rgb(sky, 0.0, 0.20, 0.18, 0.45);
    cairo_pattern_add_color_stop_rgb(sky, 0.55, 0.55, 0.38, 0.62);
    cairo_pattern_add_color_stop_rgb(sky, 1.0, 0.99, 0.72, 0.52);
    cairo_rectangle(cr, 0, 0, w, horizon + 10);
    cairo_set_source(cr, sky);
    cairo_fill(cr);
    cairo_pattern_destroy(sky);

    // Stars in the upper sky.
    Lcg rng(7);
    for (int i = 0; i < 90; ++i) {
        const double x = rng.next() * w, y = rng.next() * 260, r = 0.8 + rng.next() * 1.6;
        circle(cr, x, y, r);
        fillPlain(cr, 0xFFF6D8, 0.5 + 0.5 * (1.0 - y / 260));
    }

    // Far mountains and two rows of hills.
    const struct {
        double base, amp1, f1, amp2, f2, phase;
        Rgb colour;
    } hills[] = {
        {390, 45, 0.006, 18, 0.021, 0.3, 0x7A5C8F},
        {430, 30, 0.009, 10, 0.031, 1.7, 0x4E8C6A},
        {465, 22, 0.012, 8, 0.043, 4.1, 0x3E7A55},
    };
    for (const auto& hl : hills) {
        cairo_move_to(cr, 0, h);
        for (int x = 0; x <= int(w); x += 8) {
            const double y = hl.base - hl.amp1 * std::sin(x * hl.f1 + hl.phase) -
                             hl.amp2 * std::sin(x * hl.f2 + 2 * hl.phase);
            cairo_line_to(cr, x, y);
        }
        cairo_line_to(cr, w, h);
        cairo_close_path(cr);
        setColour(cr, hl.colour);
        cairo_fill(cr);
    }

    // The stage floor: planks that run toward a vanishing point above the middle.
    const double floorTop = 540, vanishX = w / 2, vanishY = 200;
    cairo_rectangle(cr, 0, floorTop, w, h - floorTop);
    cairo_pattern_t* wood = cairo_pattern_create_linear(0, floorTop, 0, h);
    cairo_pattern_add_color_stop_rgb(wood, 0.0, 0.62, 0.40, 0.24);
    cairo_pattern_add_color_stop_rgb(wood, 1.0, 0.80, 0.55, 0.33);
    cairo_set_source(cr, wood);
    cairo_fill(cr);
    cairo_pattern_destroy(wood);
    setColour(cr, 0x5E3A22, 0.55);
    cairo_set_line_width(cr, 2);
    for (int i = -14; i <= 14; ++i) {
        const double xb = vanishX + i * 110.0;
        const double t = (floorTop - vanishY) / (h - vanishY);
        cairo_move_to(cr, vanishX + (xb - vanishX) * t, floorTop);
        cairo_line_to(cr, xb, h);
    }
    cairo_stroke(cr);
    // Cross joints between the plank lengths, staggered.
    Lcg grain(11);
    for (int row = 0; row < 5; ++row) {
        const double y = floorTop + 22 + row * 36 + row * row * 3;
        for (int k = 0; k < 8; ++k) {
            const double x = grain.next() * w;
            cairo_move_to(cr, x, y);
            cairo_line_to(cr, x + 4, y + 8);
        }
    }
    cairo_stroke(cr);
    // The front edge of the stage and its top lip.
    cairo_rectangle(cr, 0, floorTop - 4, w, 8);
    fillPlain(cr, 0x8A5530);
    cairo_rectangle(cr, 0, h - 18, w, 18);
    fillPlain(cr, 0x4A2C1A);

    // Curtains at both sides: red velvet in folds.
    for (int side = 0; side < 2; ++side) {
        const double x0 = side == 0 ? 0 : w - 92;
        cairo_pattern_t* folds = cairo_pattern_create_linear(x0, 0, x0 + 92, 0);
        for (int k = 0; k <= 6; ++k) {
            const double shade = k % 2 == 0 ? 0.62 : 0.85;
            cairo_pattern_add_color_stop_rgb(folds, k / 6.0, shade, 0.10 * shade, 0.16 * shade);
        }
        cairo_move_to(cr, x0, 0);
        cairo_line_to(cr, x0 + 92, 0);
        if (side == 0) {
            cairo_curve_to(cr, 70, 300, 40, 520, 60, h);
            cairo_line_to(cr, 0, h);
        } else {
            cairo_line_to(cr, w, h);
            cairo_line_to(cr, w - 60, h);
            cairo_curve_to(cr, w - 40, 520, w - 70, 300, x0, 0);
        }
        cairo_close_path(cr);
        cairo_set_source(cr, folds);
        cairo_fill(cr);
        cairo_pattern_destroy(folds);
    }
    // The valance across the top with its golden fringe.
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, w, 0);
    cairo_line_to(cr, w, 34);
    for (int k = 16; k >= 0; --k) {
        const double x = k * w / 16;
        cairo_curve_to(cr, x + w / 32 + 10, 54, x + w / 32 - 10, 54, x, 34);
    }
    cairo_close_path(cr);
    setColour(cr, 0xA3162C);
    cairo_fill(cr);
    setColour(cr, 0xF2C14E);
    cairo_set_line_width(cr, 4);
    cairo_move_to(cr, 0, 30);
    cairo_line_to(cr, w, 30);
    cairo_stroke(cr);
}

// ---- Sky props. ----

// The sun: rays around a smiling face.
void drawSun(cairo_t* cr, const Picture& p) {
    const double cx = p.w / 2.0, cy = p.h / 2.0;
    const int rays = 12;
    for (int i = 0; i < rays; ++i) {
        const double a = i * 2 * kPi / rays;
        const double a0 = a - 0.13, a1 = a + 0.13;
        cairo_move_to(cr, cx + 66 * std::cos(a0), cy + 66 * std::sin(a0));
        cairo_line_to(cr, cx + (p.w / 2.0 - kMargin - 2) * std::cos(a), cy + (p.h / 2.0 - kMargin - 2) * std::sin(a));
        cairo_line_to(cr, cx + 66 * std::cos(a1), cy + 66 * std::sin(a1));
        cairo_close_path(cr);
        fillOutlined(cr, kSunRay);
    }
    circle(cr, cx, cy, 68);
    fillOutlined(cr, kSun);
    // A friendly face.
    circle(cr, cx - 22, cy - 10, 7);
    circle(cr, cx + 22, cy - 10, 7);
    fillPlain(cr, kOutline);
    circle(cr, cx - 38, cy + 12, 10);
    circle(cr, cx + 38, cy + 12, 10);
    fillPlain(cr, 0xFF8A5B, 0.6);
    cairo_arc(cr, cx, cy + 6, 26, 0.2 * kPi, 0.8 * kPi);
    setColour(cr, kOutline);
    cairo_set_line_width(cr, 5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
}

// A cloud of round puffs, scaled to the picture width.
void drawCloud(cairo_t* cr, const Picture& p) {
    const double s = p.w / 260.0;
    const double puffs[][3] = {{60, 84, 36}, {105, 60, 46}, {160, 56, 50}, {205, 84, 36}, {130, 90, 36}};
    cairo_new_path(cr);
    for (const auto& q : puffs) circle(cr, q[0] * s, q[1] * s, q[2] * s);
    cairo_rectangle(cr, 60 * s, 84 * s, 145 * s, 36 * s);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    // Outline of the union: stroke thick first, then fill over it.
    cairo_save(cr);
    setColour(cr, 0x8C8FB8);
    cairo_set_line_width(cr, 6);
    cairo_stroke_preserve(cr);
    setColour(cr, 0xFFFFFF);
    cairo_fill(cr);
    cairo_restore(cr);
    // A soft blue shade along the bottom.
    cairo_rectangle(cr, 58 * s, 104 * s, 149 * s, 14 * s);
    fillPlain(cr, 0xD6DDF5);
}

// The garland, upright: a string down the middle with triangular pennants pointing right.
void drawBunting(cairo_t* cr, const Picture& p) {
    const double x0 = 16;
    const Rgb colours[] = {0xE23D6E, 0xFFD23F, 0x1FC7B4, 0x8E5CD9, kSunRay};
    const int n = 12;
    const double step = (p.h - 2 * kMargin - 20) / n;
    for (int i = 0; i < n; ++i) {
        const double y = kMargin + 10 + i * step + 6;
        cairo_move_to(cr, x0, y);
        cairo_line_to(cr, p.w - kMargin - 6, y + (step - 12) / 2);
        cairo_line_to(cr, x0, y + step - 12);
        cairo_close_path(cr);
        fillOutlined(cr, colours[i % 5]);
    }
    cairo_move_to(cr, x0, kMargin + 2);
    cairo_line_to(cr, x0, p.h - kMargin - 2);
    setColour(cr, kOutline);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
}

// A hanging banner: a rod at the top and the bottom, cloth with a star between.
void drawBanner(cairo_t* cr, const Picture& p, Rgb cloth, Rgb emblem) {
    const double w = p.w, h = p.h;
    roundedRect(cr, 14, 22, w - 28, h - 60, 4);
    fillOutlined(cr, cloth);
    // Swallow-tail below the cloth.
    cairo_move_to(cr, 14, h - 40);
    cairo_line_to(cr, w - 14, h - 40);
    cairo_line_to(cr, w - 14, h - 18);
    cairo_line_to(cr, w / 2, h - 34);
    cairo_line_to(cr, 14, h - 18);
    cairo_close_path(cr);
    fillOutlined(cr, cloth);
    // Stripes and a star.
    for (int k = 0; k < 2; ++k) {
        cairo_rectangle(cr, 14, 50 + k * (h - 140), w - 28, 10);
        fillPlain(cr, emblem);
    }
    const double cx = w / 2, cy = h / 2 - 10, r0 = 30, r1 = 13;
    for (int i = 0; i < 10; ++i) {
        const double a = -kPi / 2 + i * kPi / 5, r = i % 2 == 0 ? r0 : r1;
        if (i == 0)
            cairo_move_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
        else
            cairo_line_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
    }
    cairo_close_path(cr);
    fillOutlined(cr, emblem);
    // The rods.
    roundedRect(cr, kMargin + 2, 12, w - 2 * kMargin - 4, 12, 6);
    fillOutlined(cr, 0x9B6A3C);
    roundedRect(cr, kMargin + 2, h - kMargin - 16, w - 2 * kMargin - 4, 12, 6);
    fillOutlined(cr, 0x9B6A3C);
}

// A spotlight beam: a soft cone from the apex at the top middle down to an oval of light.
void drawSpot(cairo_t* cr, const Picture& p, Rgb light) {
    const double w = p.w, h = p.h, apexY = 10;
    cairo_pattern_t* g = cairo_pattern_create_linear(0, apexY, 0, h);
    cairo_pattern_add_color_stop_rgba(g, 0.0, red(light), green(light), blue(light), 0.55);
    cairo_pattern_add_color_stop_rgba(g, 1.0, red(light), green(light), blue(light), 0.18);
    cairo_move_to(cr, w / 2 - 14, apexY);
    cairo_line_to(cr, w / 2 + 14, apexY);
    cairo_line_to(cr, w - kMargin - 4, h - 40);
    cairo_line_to(cr, kMargin + 4, h - 40);
    cairo_close_path(cr);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    ellipse(cr, w / 2, h - 40, w / 2 - kMargin - 4, 32);
    fillPlain(cr, light, 0.22);
    // The lamp at the apex.
    roundedRect(cr, w / 2 - 22, kMargin, 44, 22, 6);
    fillOutlined(cr, 0x4A4560);
}

// A loudspeaker box with a tweeter and a woofer.
void drawSpeaker(cairo_t* cr, const Picture& p) {
    const double w = p.w, h = p.h;
    roundedRect(cr, kMargin + 2, kMargin + 2, w - 2 * kMargin - 4, h - 2 * kMargin - 4, 14);
    fillOutlined(cr, kSpeaker, 4);
    roundedRect(cr, 16, 16, w - 32, h - 32, 10);
    setColour(cr, kSpeakerTrim);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
    const double cx = w / 2;
    // Tweeter and woofer with their rings.
    circle(cr, cx, 52, 20);
    fillOutlined(cr, 0x6E6788);
    circle(cr, cx, 52, 8);
    fillPlain(cr, 0x1C1830);
    circle(cr, cx, 138, 46);
    fillOutlined(cr, 0x6E6788);
    circle(cr, cx, 138, 32);
    fillPlain(cr, 0x2A2540);
    circle(cr, cx, 138, 12);
    fillPlain(cr, kSpeakerTrim);
}

// A musical note: one eighth note (flag) or two beamed ones.
void drawNote(cairo_t* cr, const Picture& p, bool beamed, Rgb colour) {
    const double h = p.h;
    if (!beamed) {
        ellipse(cr, 26, h - 26, 20, 15);
        cairo_rectangle(cr, 38, 12, 8, h - 40);
        cairo_move_to(cr, 44, 12);
        cairo_curve_to(cr, 70, 30, 66, 52, 58, 64);
        cairo_curve_to(cr, 60, 48, 54, 40, 44, 36);
        cairo_close_path(cr);
    } else {
        ellipse(cr, 24, h - 24, 18, 14);
        ellipse(cr, 74, h - 34, 18, 14);
        cairo_rectangle(cr, 34, 20, 8, h - 44);
        cairo_rectangle(cr, 84, 10, 8, h - 44);
        cairo_move_to(cr, 34, 18);
        cairo_line_to(cr, 92, 8);
        cairo_line_to(cr, 92, 24);
        cairo_line_to(cr, 34, 34);
        cairo_close_path(cr);
    }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    setColour(cr, kOutline);
    cairo_set_line_width(cr, 6);
    cairo_stroke_preserve(cr);
    setColour(cr, colour);
    cairo_fill(cr);
}

// Confetti: small turned paper strips and dots spread around the middle, denser inside.
void drawConfetti(cairo_t* cr, const Picture& p) {
    const Rgb colours[] = {0xE23D6E, 0xFFD23F, 0x1FC7B4, 0x8E5CD9, kSunRay, 0xFFFFFF};
    Lcg rng(23);
    const double cx = p.w / 2.0, cy = p.h / 2.0;
    for (int i = 0; i < 90; ++i) {
        const double a = rng.next() * 2 * kPi, r = 0.25 + 0.75 * std::sqrt(rng.next());
        const double x = cx + std::cos(a) * r * (cx - 24), y = cy + std::sin(a) * r * (cy - 24);
        const Rgb c = colours[size_t(rng.next() * 6) % 6];
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_rotate(cr, rng.next() * kPi);
        if (i % 3 == 0) {
            circle(cr, 0, 0, 5);
        } else {
            cairo_rectangle(cr, -9, -4, 18, 8);
        }
        fillOutlined(cr, c, 1.5);
        cairo_restore(cr);
    }
}

// The soft oval shadow under the dancer.
void drawShadow(cairo_t* cr, const Picture& p) {
    ellipse(cr, p.w / 2.0, p.h / 2.0, p.w / 2.0 - kMargin, p.h / 2.0 - kMargin);
    fillPlain(cr, 0x2A1A10, 0.35);
}

// A potted plant with tall fronds.
void drawPlant(cairo_t* cr, const Picture& p, bool flip) {
    const double w = p.w, h = p.h, cx = w / 2, potTop = h - 52;
    const double leaves[][3] = {{-0.55, 210, 0}, {-0.25, 250, 1}, {0.05, 268, 0}, {0.32, 240, 1}, {0.6, 200, 0}};
    for (const auto& l : leaves) {
        const double a = flip ? -l[0] : l[0], len = l[1];
        const double tipX = cx + std::sin(a) * len * 0.45, tipY = potTop - len + 10;
        const double midX = cx + std::sin(a) * len * 0.2;
        cairo_move_to(cr, cx - 6, potTop + 4);
        cairo_curve_to(cr, midX - 26, potTop - len * 0.5, tipX - 6, tipY + 30, tipX, tipY);
        cairo_curve_to(cr, tipX + 8, tipY + 30, midX + 26, potTop - len * 0.5, cx + 6, potTop + 4);
        cairo_close_path(cr);
        fillOutlined(cr, l[2] == 0 ? 0x3FAF5A : 0x2E8C49);
        // The middle vein.
        cairo_move_to(cr, cx, potTop);
        cairo_curve_to(cr, midX, potTop - len * 0.5, tipX, tipY + 30, tipX, tipY + 6);
        setColour(cr, 0x1F6B36);
        cairo_set_line_width(cr, 2);
        cairo_stroke(cr);
    }
    // The pot: a terracotta trapezoid with a rim.
    cairo_move_to(cr, cx - 40, potTop + 8);
    cairo_line_to(cr, cx + 40, potTop + 8);
    cairo_line_to(cr, cx + 30, h - kMargin - 2);
    cairo_line_to(cr, cx - 30, h - kMargin - 2);
    cairo_close_path(cr);
    fillOutlined(cr, 0xC8603A);
    roundedRect(cr, cx - 48, potTop - 4, 96, 16, 5);
    fillOutlined(cr, 0xDE7A4E);
}

// ---- The dancer's parts. ----

// The dancer's body: striped shirt over shorts, belt and collar.
void drawTorso(cairo_t* cr, const Picture& p) {
    (void)p;
    using namespace torso;
    // Shorts first (under the shirt's hem), then the shirt.
    cairo_move_to(cr, 26, 118);
    cairo_line_to(cr, 98, 118);
    cairo_line_to(cr, 104, 164);
    cairo_line_to(cr, 20, 164);
    cairo_close_path(cr);
    fillOutlined(cr, kTrousers);
    cairo_move_to(cr, 12, 32);
    cairo_curve_to(cr, 12, 18, 30, 12, 46, 10);
    cairo_line_to(cr, 78, 10);
    cairo_curve_to(cr, 94, 12, 112, 18, 112, 32);
    cairo_line_to(cr, 100, 126);
    cairo_line_to(cr, 24, 126);
    cairo_close_path(cr);
    fillOutlined(cr, kShirt);
    // Stripes across the chest, clipped to the shirt.
    cairo_save(cr);
    cairo_move_to(cr, 12, 32);
    cairo_curve_to(cr, 12, 18, 30, 12, 46, 10);
    cairo_line_to(cr, 78, 10);
    cairo_curve_to(cr, 94, 12, 112, 18, 112, 32);
    cairo_line_to(cr, 100, 126);
    cairo_line_to(cr, 24, 126);
    cairo_close_path(cr);
    cairo_clip(cr);
    for (int k = 0; k < 2; ++k) {
        cairo_rectangle(cr, 0, 58 + k * 26, p.w, 10);
        fillPlain(cr, kShirtStripe);
    }
    cairo_restore(cr);
    // Collar and belt.
    cairo_arc(cr, kNeck.x, 8, 18, 0.1 * kPi, 0.9 * kPi);
    setColour(cr, kOutline);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
    cairo_rectangle(cr, 24, 120, 76, 10);
    fillOutlined(cr, 0x2B2140, 2);
    roundedRect(cr, 54, 118, 16, 14, 3);
    fillOutlined(cr, 0xF2C14E, 2);
}

// The dancer's head: hair, ears, face and the neck down to the joint.
void drawHead(cairo_t* cr, const Picture& p) {
    (void)p;
    const double cx = 66, cy = 66;
    // Neck stub under the chin, reaching to the neck joint.
    cairo_rectangle(cr, cx - 13, 100, 26, 34);
    fillOutlined(cr, kSkinShade);
    // Hair behind, ears, the face, then the fringe.
    ellipse(cr, cx, cy - 8, 56, 52);
    fillOutlined(cr, kHair);
    circle(cr, cx - 50, cy + 6, 11);
    circle(cr, cx + 50, cy + 6, 11);
    fillOutlined(cr, kSkin);
    ellipse(cr, cx, cy + 6, 48, 50);
    fillOutlined(cr, kSkin);
    cairo_move_to(cr, cx - 50, cy - 4);
    cairo_curve_to(cr, cx - 46, cy - 58, cx + 46, cy - 58, cx + 50, cy - 4);
    cairo_curve_to(cr, cx + 30, cy - 22, cx + 10, cy - 18, cx - 4, cy - 30);
    cairo_curve_to(cr, cx - 16, cy - 16, cx - 34, cy - 18, cx - 50, cy - 4);
    cairo_close_path(cr);
    fillOutlined(cr, kHair);
    // Eyes with highlights, cheeks and a wide smile.
    for (int s = -1; s <= 1; s += 2) {
        ellipse(cr, cx + s * 18, cy + 4, 7, 9);
        fillPlain(cr, kOutline);
        circle(cr, cx + s * 18 + 2, cy + 1, 2.5);
        fillPlain(cr, 0xFFFFFF);
        circle(cr, cx + s * 30, cy + 22, 8);
        fillPlain(cr, 0xF27B8C, 0.55);
    }
    cairo_move_to(cr, cx - 18, cy + 26);
    cairo_curve_to(cr, cx - 10, cy + 44, cx + 10, cy + 44, cx + 18, cy + 26);
    cairo_close_path(cr);
    fillOutlined(cr, 0xB8314A, 2.5);
}

// An upper arm with its sleeve, hanging from the shoulder joint (shade: the darker right one).
void drawUpperArm(cairo_t* cr, bool shade) {
    using namespace upperArm;
    capsule(cr, kShoulder.x, kShoulder.y, kElbow.y, kWidth);
    fillOutlined(cr, shade ? kSkinShade : kSkin);
    // The short sleeve over the top.
    cairo_new_sub_path(cr);
    cairo_arc(cr, kShoulder.x, kShoulder.y, kWidth / 2 + 2, kPi, 2 * kPi);
    cairo_line_to(cr, kShoulder.x + kWidth / 2 + 2, kShoulder.y + 26);
    cairo_line_to(cr, kShoulder.x - kWidth / 2 - 2, kShoulder.y + 26);
    cairo_close_path(cr);
    fillOutlined(cr, kShirt);
}

// A forearm with its hand and sweatband, hanging from the elbow joint.
void drawForearm(cairo_t* cr, bool shade) {
    using namespace forearm;
    capsule(cr, kElbow.x, kElbow.y, kWrist.y, kWidth);
    fillOutlined(cr, shade ? kSkinShade : kSkin);
    circle(cr, kWrist.x, kWrist.y + 8, kHandRadius);
    fillOutlined(cr, shade ? kSkinShade : kSkin);
    // A sweatband at the wrist.
    cairo_rectangle(cr, kWrist.x - kWidth / 2 - 1, kWrist.y - 14, kWidth + 2, 9);
    fillOutlined(cr, kShirtStripe, 2);
}

// A thigh in trousers, hanging from the hip joint.
void drawThigh(cairo_t* cr) {
    using namespace thigh;
    capsule(cr, kHip.x, kHip.y, kKnee.y, kWidth);
    fillOutlined(cr, kTrousers);
}

// The shin with its shoe; the toe points outward (left for the left leg).
void drawShin(cairo_t* cr, bool left) {
    using namespace shin;
    capsule(cr, kKnee.x, kKnee.y, kAnkle.y, kWidth);
    fillOutlined(cr, kTrousers);
    const double s = left ? -1 : 1;
    const double sole = kAnkle.y + kSoleBelowAnkle;
    cairo_move_to(cr, kAnkle.x - s * 16, kAnkle.y - 6);
    cairo_line_to(cr, kAnkle.x + s * 8, kAnkle.y - 6);
    cairo_curve_to(cr, kAnkle.x + s * 30, kAnkle.y + 2, kAnkle.x + s * 35, sole - 10, kAnkle.x + s * 34, sole);
    cairo_line_to(cr, kAnkle.x - s * 18, sole);
    cairo_close_path(cr);
    fillOutlined(cr, kShoe);
    cairo_rectangle(cr, std::min(kAnkle.x - s * 18, kAnkle.x + s * 34), sole - 7, 52, 7);
    fillOutlined(cr, 0xFFFFFF, 2);
}

// Draws one picture with the given painter and writes it; false on failure.
template <typename Paint>
bool makePng(const std::string& dir, const Picture& p, Paint paint) {
    cairo_surface_t* s = newCanvas(p);
    if (!s) return false;
    cairo_t* cr = cairo_create(s);
    paint(cr);
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS && writePng(s, dir + "/" + p.file);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    if (!ok) std::fprintf(stderr, "make_scene_pictures: cannot write %s/%s\n", dir.c_str(), p.file);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_scene_pictures OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kBackdrop.w, kBackdrop.h);
        cairo_t* cr = cairo_create(s);
        drawBackdrop(cr);
        const bool written = cairo_status(cr) == CAIRO_STATUS_SUCCESS && writeJpeg(s, dir + "/" + kBackdrop.file);
        cairo_destroy(cr);
        cairo_surface_destroy(s);
        if (!written) std::fprintf(stderr, "make_scene_pictures: cannot write %s/%s\n", dir.c_str(), kBackdrop.file);
        ok = ok && written;
    }

    ok = makePng(dir, kSunPicture, [](cairo_t* cr) { drawSun(cr, kSunPicture); }) && ok;
    ok = makePng(dir, kCloudBig, [](cairo_t* cr) { drawCloud(cr, kCloudBig); }) && ok;
    ok = makePng(dir, kCloudSmall, [](cairo_t* cr) { drawCloud(cr, kCloudSmall); }) && ok;
    ok = makePng(dir, kBunting, [](cairo_t* cr) { drawBunting(cr, kBunting); }) && ok;
    ok = makePng(dir, kBannerLeft, [](cairo_t* cr) { drawBanner(cr, kBannerLeft, 0x8E5CD9, 0xFFD23F); }) && ok;
    ok = makePng(dir, kBannerRight, [](cairo_t* cr) { drawBanner(cr, kBannerRight, 0x1FA99B, 0xFFF1C9); }) && ok;
    ok = makePng(dir, kSpotLeft, [](cairo_t* cr) { drawSpot(cr, kSpotLeft, 0xFFF3B0); }) && ok;
    ok = makePng(dir, kSpotRight, [](cairo_t* cr) { drawSpot(cr, kSpotRight, 0xC9F0FF); }) && ok;
    ok = makePng(dir, kSpeakerLeft, [](cairo_t* cr) { drawSpeaker(cr, kSpeakerLeft); }) && ok;
    ok = makePng(dir, kSpeakerRight, [](cairo_t* cr) { drawSpeaker(cr, kSpeakerRight); }) && ok;
    ok = makePng(dir, kNoteA, [](cairo_t* cr) { drawNote(cr, kNoteA, false, 0xFF6FB5); }) && ok;
    ok = makePng(dir, kNoteB, [](cairo_t* cr) { drawNote(cr, kNoteB, true, 0x4FD8FF); }) && ok;
    ok = makePng(dir, kConfetti, [](cairo_t* cr) { drawConfetti(cr, kConfetti); }) && ok;
    ok = makePng(dir, kShadow, [](cairo_t* cr) { drawShadow(cr, kShadow); }) && ok;
    ok = makePng(dir, kShinLeft, [](cairo_t* cr) { drawShin(cr, true); }) && ok;
    ok = makePng(dir, kShinRight, [](cairo_t* cr) { drawShin(cr, false); }) && ok;
    ok = makePng(dir, kThighLeft, [](cairo_t* cr) { drawThigh(cr); }) && ok;
    ok = makePng(dir, kThighRight, [](cairo_t* cr) { drawThigh(cr); }) && ok;
    ok = makePng(dir, kTorso, [](cairo_t* cr) { drawTorso(cr, kTorso); }) && ok;
    ok = makePng(dir, kHead, [](cairo_t* cr) { drawHead(cr, kHead); }) && ok;
    ok = makePng(dir, kUpperArmLeft, [](cairo_t* cr) { drawUpperArm(cr, false); }) && ok;
    ok = makePng(dir, kUpperArmRight, [](cairo_t* cr) { drawUpperArm(cr, true); }) && ok;
    ok = makePng(dir, kForearmLeft, [](cairo_t* cr) { drawForearm(cr, false); }) && ok;
    ok = makePng(dir, kForearmRight, [](cairo_t* cr) { drawForearm(cr, true); }) && ok;
    ok = makePng(dir, kPlantLeft, [](cairo_t* cr) { drawPlant(cr, kPlantLeft, false); }) && ok;
    ok = makePng(dir, kPlantRight, [](cairo_t* cr) { drawPlant(cr, kPlantRight, true); }) && ok;
    return ok ? 0 : 1;
}
