// The bundled font drawn through the real OpenGL driver and read back from the frame buffer.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "render/Image.h"
#include "render/Renderer2D.h"
#include "tests/common/TestDevice.h"
#include "tests/render/RecordingRenderer.h"
#include "text/BitmapFont.h"

namespace {

constexpr irr::u32 kWidth = 640, kHeight = 200;

// Red channel of the frame buffer, rows from the top.
std::vector<int> readRed() {
    std::vector<unsigned char> rgba(size_t(kWidth) * kHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, GLsizei(kWidth), GLsizei(kHeight), GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::vector<int> red(size_t(kWidth) * kHeight);
    for (irr::u32 y = 0; y < kHeight; ++y)
        for (irr::u32 x = 0; x < kWidth; ++x)
            red[size_t(y) * kWidth + x] = rgba[(size_t(kHeight - 1 - y) * kWidth + x) * 4];
    return red;
}

struct Scene {
    irr::IrrlichtDevice* device = testing_support::createTestDevice(kWidth, kHeight);
    ~Scene() {
        if (device) device->drop();
    }
};

}  // namespace

TEST(GlText, GlyphsLandWhereDrawLineSays) {
    Scene scene;
    TUMELORA_REQUIRE_DEVICE(scene.device);
    irr::video::IVideoDriver* driver = scene.device->getVideoDriver();
    RecordingRenderer renderer(scene.device);
    BitmapFont font(&renderer, TUMELORA_SOURCE_DIR "/data/droid30.fnt");
    ASSERT_TRUE(font.load());
    irr::video::IImage* page = driver->createImageFromFile(TUMELORA_SOURCE_DIR "/data/droid30_0.png");
    ASSERT_NE(page, nullptr);

    const char* text = "Tumelora AVAYA, Wy";
    const float x = 20.3f, y = 40.6f;
    const ColorRGBA white;
    driver->beginScene(true, true, irr::video::SColor(255, 0, 0, 0));
    renderer.beginFrame();
    font.drawLine(x, y, text, 0, 1.f, &white, -1);
    renderer.endFrame();
    const std::vector<int> red = readRed();
    driver->endScene();
    const std::vector<RecordedQuad> quads = renderer.quads();

    // One quad per character, each at the pen position drawLine defines (whole pixels).
    ASSERT_EQ(quads.size(), std::strlen(text));
    float pen = x;
    int previous = -1;
    for (size_t i = 0; i < quads.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const Glyph& g = font.glyph(font.findGlyph(c));
        if (previous >= 0) pen += float(font.kerningOf(previous, c));
        EXPECT_FLOAT_EQ(quads[i].left, std::trunc(pen + float(g.xoffset))) << i;
        EXPECT_FLOAT_EQ(quads[i].top, std::trunc(y + float(g.yoffset))) << i;
        EXPECT_FLOAT_EQ((quads[i].right - quads[i].left), float(g.width)) << i;
        EXPECT_FLOAT_EQ((quads[i].bottom - quads[i].top), float(g.height)) << i;
        pen += float(g.xadvance);
        previous = c;
    }

    // The frame holds exactly the page's glyph pixels at those places, blended over black.
    std::vector<float> expected(size_t(kWidth) * kHeight, 0.f);
    for (size_t i = 0; i < quads.size(); ++i) {
        const Glyph& g = font.glyph(font.findGlyph(static_cast<unsigned char>(text[i])));
        const int qx = int(quads[i].left), qy = int(quads[i].top);
        for (int j = 0; j < g.height; ++j)
            for (int k = 0; k < g.width; ++k) {
                const float a = float(page->getPixel(g.x + k, g.y + j).getAlpha()) / 255.f;
                float& d = expected[size_t(qy + j) * kWidth + size_t(qx + k)];
                d = a * 255.f + (1.f - a) * d;
            }
    }
    int lit = 0, wrong = 0;
    for (size_t p = 0; p < expected.size(); ++p) {
        if (red[p] > 0) ++lit;
        if (std::fabs(float(red[p]) - expected[p]) > 3.f) ++wrong;
    }
    EXPECT_GT(lit, 500);
    EXPECT_EQ(wrong, 0);
    page->drop();
}

TEST(GlText, ScaledAndCentredLineStaysInsideItsQuads) {
    Scene scene;
    TUMELORA_REQUIRE_DEVICE(scene.device);
    irr::video::IVideoDriver* driver = scene.device->getVideoDriver();
    RecordingRenderer renderer(scene.device);
    BitmapFont font(&renderer, TUMELORA_SOURCE_DIR "/data/droid30.fnt");
    ASSERT_TRUE(font.load());

    const char* text = "Rec <<";
    const float width = font.textWidth(text, 2.f, -1);
    driver->beginScene(true, true, irr::video::SColor(255, 0, 0, 0));
    renderer.beginFrame();
    font.drawLine(320.f, 100.f, text, 0x04 | 0x10, 2.f, nullptr, -1);
    renderer.endFrame();
    const std::vector<int> red = readRed();
    driver->endScene();
    const std::vector<RecordedQuad> quads = renderer.quads();

    // The lit pixels lie within the quads, which start half the width left of x and
    // half the scaled line height above y.
    int minX = int(kWidth), maxX = -1, minY = int(kHeight), maxY = -1;
    for (irr::u32 py = 0; py < kHeight; ++py)
        for (irr::u32 px = 0; px < kWidth; ++px)
            if (red[size_t(py) * kWidth + px] > 8) {
                minX = std::min(minX, int(px));
                maxX = std::max(maxX, int(px));
                minY = std::min(minY, int(py));
                maxY = std::max(maxY, int(py));
            }
    ASSERT_GE(maxX, 0) << "nothing drawn";
    float qx0 = 1e9f, qx1 = -1e9f, qy0 = 1e9f, qy1 = -1e9f;
    for (const RecordedQuad& q : quads) {
        if (q.right == q.left) continue;
        qx0 = std::min(qx0, q.left);
        qx1 = std::max(qx1, q.right);
        qy0 = std::min(qy0, q.top);
        qy1 = std::max(qy1, q.bottom);
    }
    const Glyph& r = font.glyph(font.findGlyph('R'));
    EXPECT_FLOAT_EQ(quads[0].left, 320.f - width / 2.f + 2.f * float(r.xoffset));
    EXPECT_FLOAT_EQ(quads[0].top, 100.f - font.scaledLineHeight(2.f) / 2.f + 2.f * float(r.yoffset));
    EXPECT_FLOAT_EQ((quads[0].right - quads[0].left), 2.f * float(r.width));
    EXPECT_GE(minX, int(std::floor(qx0)));
    EXPECT_LE(maxX, int(std::ceil(qx1)));
    EXPECT_GE(minY, int(std::floor(qy0)));
    EXPECT_LE(maxY, int(std::ceil(qy1)));
    // And they fill them out: the ink spans nearly the whole quad area.
    EXPECT_LE(minX - qx0, 4.f);
    EXPECT_LE(qx1 - maxX, 4.f);
}
