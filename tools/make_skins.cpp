// make_skins OUTPUT_DIR: draws the ten widget pictures of the editor panel (buttons in four
// states, slider base and thumbs, check box and check mark) and writes them as PNG files.
// Shapes are signed-distance functions sampled at pixel centres, so edges are anti-aliased
// and the output is the same on every run.
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace irr;

namespace {

// Button picture size: the height sets the panel's row step, the width fits the labels.
constexpr int BUTTON_W = 144;
constexpr int BUTTON_H = 40;
// The button face: inset from the picture, rounded, with room below for its shadow.
constexpr float FACE_INSET = 1.f;
constexpr float FACE_HEIGHT = 36.f;
constexpr float FACE_RADIUS = 8.f;
// How far the pressed face sinks (the text moves by the same amount).
constexpr float PRESS_DROP = 2.f;
// Slider thumb (its width is the value mapping's thumb width, its height the slider row's).
constexpr int THUMB_W = 16;
constexpr int THUMB_H = 16;
// Slider base, drawn behind each 1280-pixel slider at 1280 x 16.
constexpr int BASE_W = 1280;
constexpr int BASE_H = 16;
// Check box and its mark.
constexpr int CHECK_W = 16;
constexpr int CHECK_H = 16;

struct Colour {
    float r, g, b, a;
};

// From 0xRRGGBB and an opacity.
Colour rgb(unsigned v, float a = 1.f) {
    return {float((v >> 16) & 0xFF) / 255.f, float((v >> 8) & 0xFF) / 255.f,
            float(v & 0xFF) / 255.f, a};
}

Colour mix(const Colour& p, const Colour& q, float t) {
    return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
            p.a + (q.a - p.a) * t};
}

float clamp01(float v) { return std::min(1.f, std::max(0.f, v)); }

// A picture of straight-alpha colour, composited with "over".
struct Canvas {
    int w, h;
    std::vector<Colour> px;
    Canvas(int w_, int h_) : w(w_), h(h_), px(size_t(w_) * size_t(h_), Colour{0, 0, 0, 0}) {}

    // Puts colour c with coverage cov over pixel (x, y).
    void blend(int x, int y, const Colour& c, float cov) {
        const float sa = c.a * cov;
        if (sa <= 0.f) return;
        Colour& d = px[size_t(y) * size_t(w) + size_t(x)];
        const float oa = sa + d.a * (1.f - sa);
        const float k = d.a * (1.f - sa);
        d.r = (c.r * sa + d.r * k) / oa;
        d.g = (c.g * sa + d.g * k) / oa;
        d.b = (c.b * sa + d.b * k) / oa;
        d.a = oa;
    }

    // Fills the area where sdf < 0 with colour(x, y); soft widens the anti-aliased edge.
    void fill(const std::function<float(float, float)>& sdf,
              const std::function<Colour(float, float)>& colour, float soft = 1.f) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float cx = float(x) + 0.5f, cy = float(y) + 0.5f;
                const float cov = clamp01(0.5f - sdf(cx, cy) / soft);
                if (cov > 0.f) blend(x, y, colour(cx, cy), cov);
            }
    }
};

// Signed distance to a rounded rectangle (x0, y0)-(x1, y1) with corner radius r.
std::function<float(float, float)> roundRect(float x0, float y0, float x1, float y1, float r) {
    return [=](float px, float py) {
        const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
        const float qx = std::fabs(px - cx) - ((x1 - x0) / 2 - r);
        const float qy = std::fabs(py - cy) - ((y1 - y0) / 2 - r);
        const float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
        return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.f) - r;
    };
}

// Signed distance to a stroke of the given width along the polyline.
std::function<float(float, float)> stroke(std::vector<std::pair<float, float>> pts, float width) {
    return [=](float px, float py) {
        float best = 1e9f;
        for (size_t i = 0; i + 1 < pts.size(); ++i) {
            const float ax = pts[i].first, ay = pts[i].second;
            const float bx = pts[i + 1].first, by = pts[i + 1].second;
            const float dx = bx - ax, dy = by - ay;
            const float t = clamp01(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy));
            const float ex = px - ax - t * dx, ey = py - ay - t * dy;
            best = std::min(best, std::sqrt(ex * ex + ey * ey));
        }
        return best - width / 2;
    };
}

// A vertical gradient from top colour at y0 to bottom colour at y1.
std::function<Colour(float, float)> vertical(Colour top, Colour bottom, float y0, float y1) {
    return [=](float, float y) { return mix(top, bottom, clamp01((y - y0) / (y1 - y0))); };
}

std::function<Colour(float, float)> solid(Colour c) {
    return [=](float, float) { return c; };
}

struct ButtonLook {
    unsigned fillTop, fillBottom, border, highlight;
    bool ring;     // an orange focus ring around the face
    bool pressed;  // the face sinks onto its shadow
};

// Focus and press accent.
constexpr unsigned ACCENT = 0xFFA030;

Canvas drawButton(const ButtonLook& look) {
    Canvas c(BUTTON_W, BUTTON_H);
    const float x0 = FACE_INSET, x1 = float(BUTTON_W) - FACE_INSET;
    const float y0 = FACE_INSET + (look.pressed ? PRESS_DROP : 0.f);
    const float y1 = y0 + FACE_HEIGHT;
    // Shadow under the face (only a sliver is left when pressed).
    c.fill(roundRect(x0, FACE_INSET + PRESS_DROP, x1, FACE_INSET + PRESS_DROP + FACE_HEIGHT + 1.f,
                     FACE_RADIUS),
           solid(rgb(0x000000, 0.45f)), 2.f);
    const float ringWidth = look.ring ? 2.f : 1.f;
    c.fill(roundRect(x0, y0, x1, y1, FACE_RADIUS), solid(rgb(look.ring ? ACCENT : look.border)));
    const float bx0 = x0 + ringWidth, by0 = y0 + ringWidth;
    const float bx1 = x1 - ringWidth, by1 = y1 - ringWidth;
    c.fill(roundRect(bx0, by0, bx1, by1, FACE_RADIUS - ringWidth),
           vertical(rgb(look.fillTop), rgb(look.fillBottom), by0, by1));
    // A soft highlight on the upper half of the face.
    c.fill(roundRect(bx0 + 2.f, by0 + 1.f, bx1 - 2.f, (by0 + by1) / 2.f, FACE_RADIUS - 3.f),
           vertical(rgb(look.highlight, 0.35f), rgb(look.highlight, 0.f), by0, (by0 + by1) / 2.f));
    return c;
}

Canvas drawThumb(unsigned top, unsigned bottom, unsigned border) {
    Canvas c(THUMB_W, THUMB_H);
    const float w = float(THUMB_W), h = float(THUMB_H);
    c.fill(roundRect(0.5f, 0.5f, w - 0.5f, h - 0.5f, 4.f), solid(rgb(border)));
    c.fill(roundRect(1.5f, 1.5f, w - 1.5f, h - 1.5f, 3.f), vertical(rgb(top), rgb(bottom), 1.5f, h));
    // Two grip grooves.
    for (float gx : {6.f, 10.f})
        c.fill(stroke({{gx, 4.5f}, {gx, h - 4.5f}}, 1.2f), solid(rgb(border, 0.7f)));
    return c;
}

Canvas drawBase() {
    Canvas c(BASE_W, BASE_H);
    const float w = float(BASE_W);
    c.fill(roundRect(0.5f, 4.5f, w - 0.5f, 11.5f, 3.5f), solid(rgb(0xB8C4D2, 0.9f)));
    c.fill(roundRect(1.5f, 5.5f, w - 1.5f, 10.5f, 2.5f),
           vertical(rgb(0x1A2433, 0.9f), rgb(0x34465E, 0.9f), 5.5f, 10.5f));
    return c;
}

Canvas drawCheckBox(unsigned border) {
    Canvas c(CHECK_W, CHECK_H);
    const float w = float(CHECK_W), h = float(CHECK_H);
    c.fill(roundRect(0.5f, 0.5f, w - 0.5f, h - 0.5f, 3.5f), solid(rgb(border)));
    c.fill(roundRect(2.f, 2.f, w - 2.f, h - 2.f, 2.f),
           vertical(rgb(0x1C2A3C), rgb(0x3A5070), 2.f, h - 2.f));
    return c;
}

Canvas drawCheckMark() {
    Canvas c(CHECK_W, CHECK_H);
    const std::vector<std::pair<float, float>> tick = {{4.f, 8.5f}, {7.f, 11.5f}, {12.f, 4.5f}};
    c.fill(stroke(tick, 4.f), solid(rgb(0x0C2410, 0.85f)));
    c.fill(stroke(tick, 2.2f), solid(rgb(0x7CF07C)));
    return c;
}

// Writes the canvas as a PNG through the engine; false on failure.
bool writePng(video::IVideoDriver* driver, const Canvas& c, const std::string& path) {
    video::IImage* image =
        driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(u32(c.w), u32(c.h)));
    if (!image) return false;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const Colour& p = c.px[size_t(y) * size_t(c.w) + size_t(x)];
            const auto byte = [](float v) { return u32(std::lround(clamp01(v) * 255.f)); };
            const u32 a = byte(p.a);
            // Fully transparent pixels carry no colour.
            if (a == 0)
                image->setPixel(u32(x), u32(y), video::SColor(0, 0, 0, 0));
            else
                image->setPixel(u32(x), u32(y), video::SColor(a, byte(p.r), byte(p.g), byte(p.b)));
        }
    const bool ok = driver->writeImageToFile(image, io::path(path.c_str()));
    image->drop();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_NULL;
    params.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(params);
    if (!device) {
        std::fprintf(stderr, "make_skins: no engine device\n");
        return 1;
    }
    video::IVideoDriver* driver = device->getVideoDriver();

    const ButtonLook normal{0x4A6486, 0x2C3E58, 0x16202E, 0xFFFFFF, false, false};
    const ButtonLook hot{0x6A90C0, 0x3E5C84, 0xA8C8F0, 0xFFFFFF, false, false};
    const ButtonLook active{0x4A6486, 0x2C3E58, 0x16202E, 0xFFFFFF, true, false};
    const ButtonLook hotActive{0x1E2C40, 0x3A5272, 0x16202E, 0x6080A0, true, true};

    const struct {
        const char* name;
        Canvas canvas;
    } outputs[] = {
        {"button.png", drawButton(normal)},
        {"button-hot.png", drawButton(hot)},
        {"button-active.png", drawButton(active)},
        {"button-hot-active.png", drawButton(hotActive)},
        {"slider-base.png", drawBase()},
        {"slider-thumb.png", drawThumb(0xF4F6FA, 0xB4BECC, 0x2A3442)},
        {"slider-thumb-active.png", drawThumb(0xFFD890, 0xF08C20, 0x4A2A08)},
        {"checkbox.png", drawCheckBox(0xC8D4E0)},
        {"checkbox-active.png", drawCheckBox(ACCENT)},
        {"checkbox-check.png", drawCheckMark()},
    };
    int status = 0;
    for (const auto& out : outputs) {
        if (!writePng(driver, out.canvas, dir + out.name)) {
            std::fprintf(stderr, "make_skins: cannot write %s%s\n", dir.c_str(), out.name);
            status = 1;
        }
    }
    device->drop();
    return status;
}
