// End to end through the real OpenGL driver: Images drawn at known positions, read back
// from the back buffer before the swap and compared with the expected picture pixel by pixel.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <vector>

#include "render/Image.h"
#include "render/Renderer2D.h"
#include "tests/common/TestDevice.h"

using namespace irr;
using namespace irr::video;

namespace {

constexpr u32 W = 320, H = 240;

struct Rgb {
    int r, g, b;
};

// Largest difference per channel allowed where colours are blended.
constexpr int BLEND_TOLERANCE = 2;

class PixelTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = testing_support::createTestDevice(W, H);
        TUMELORA_REQUIRE_DEVICE(device);
        driver = device->getVideoDriver();
        renderer = new Renderer2D(device, DEFAULT_QUAD_CAPACITY);
    }
    void TearDown() override {
        delete renderer;
        if (device) device->drop();
    }
    // An Image of one colour made through the renderer's texture creation.
    Image* solid(u32 w, u32 h, u32 argb, u32 flags = 0xFFFFFFFFu) {
        IImage* p = driver->createImage(ECF_A8R8G8B8, core::dimension2d<u32>(w, h));
        p->fill(SColor(argb));
        return renderer->createImage("solid", p, true, flags, nullptr);
    }
    // The back buffer as rows from the top.
    std::vector<Rgb> readBack() {
        std::vector<unsigned char> raw(W * H * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, GLsizei(W), GLsizei(H), GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
        std::vector<Rgb> out(W * H);
        for (u32 y = 0; y < H; ++y)
            for (u32 x = 0; x < W; ++x) {
                const unsigned char* p = &raw[((H - 1 - y) * W + x) * 4];
                out[y * W + x] = {p[0], p[1], p[2]};
            }
        return out;
    }

    IrrlichtDevice* device = nullptr;
    IVideoDriver* driver = nullptr;
    Renderer2D* renderer = nullptr;
};

TEST_F(PixelTest, ImagesLandOnTheirPixels) {
    ASSERT_EQ(driver->getDriverType(), EDT_OPENGL);
    ASSERT_EQ(driver->getCurrentRenderTargetSize(), core::dimension2d<u32>(W, H));
    Image* red = solid(100, 50, 0xFFFF0000u);
    Image* halfBlue = solid(40, 40, 0x800000FFu);     // texture alpha 128
    Image* white = solid(30, 30, 0xFFFFFFFFu);        // tinted by a half-transparent colour
    Image* green = solid(40, 20, 0xFF00FF00u);        // turned a quarter clockwise
    ASSERT_TRUE(red && halfBlue && white && green);

    ASSERT_TRUE(driver->beginScene(true, true, SColor(0xFFFFFFFFu)));
    renderer->beginFrame();
    red->draw(0, 0);
    red->draw(-50, 200);  // half off the left edge and cut by the bottom one
    halfBlue->draw(150, 20);
    const ColorRGBA tint(0x80FF0000u);
    white->draw(BLEND_ALPHA, DRAW_COLOR | DRAW_ALPHA, 250, 100, &tint, nullptr);
    green->setRotation(core::PI / 2);
    green->draw(BLEND_ALPHA, DRAW_TRANSFORM | DRAW_ROTATE | DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y, 100,
                150, nullptr);
    renderer->endFrame();
    const std::vector<Rgb> pixels = readBack();
    driver->endScene();

    auto inside = [](u32 x, u32 y, u32 x0, u32 y0, u32 x1, u32 y1) {
        return x >= x0 && x < x1 && y >= y0 && y < y1;
    };
    int wrong = 0;
    for (u32 y = 0; y < H; ++y) {
        for (u32 x = 0; x < W; ++x) {
            Rgb want{255, 255, 255};
            int tolerance = 0;
            if (inside(x, y, 0, 0, 100, 50) || inside(x, y, 0, 200, 50, 240)) want = {255, 0, 0};
            if (inside(x, y, 150, 20, 190, 60)) want = {127, 127, 255}, tolerance = BLEND_TOLERANCE;
            if (inside(x, y, 250, 100, 280, 130)) want = {255, 127, 127}, tolerance = BLEND_TOLERANCE;
            if (inside(x, y, 90, 130, 110, 170)) want = {0, 255, 0};
            const Rgb got = pixels[y * W + x];
            const bool ok = std::abs(got.r - want.r) <= tolerance &&
                            std::abs(got.g - want.g) <= tolerance &&
                            std::abs(got.b - want.b) <= tolerance;
            if (!ok && ++wrong <= 10)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is (" << got.r << ", " << got.g
                              << ", " << got.b << "), expected (" << want.r << ", " << want.g
                              << ", " << want.b << ")";
        }
    }
    EXPECT_EQ(wrong, 0);
    delete red;
    delete halfBlue;
    delete white;
    delete green;
}

TEST_F(PixelTest, AdditiveBlendAddsToWhatIsThere) {
    Image* grey = solid(20, 20, 0xFF404040u);
    ASSERT_NE(grey, nullptr);
    ASSERT_TRUE(driver->beginScene(true, true, SColor(0xFF202020u)));
    renderer->beginFrame();
    grey->draw(BLEND_ADD, 0, 10, 10, nullptr);
    renderer->endFrame();
    const std::vector<Rgb> pixels = readBack();
    driver->endScene();
    const Rgb in = pixels[15 * W + 15], out = pixels[15 * W + 35];
    EXPECT_NEAR(in.r, 0x60, BLEND_TOLERANCE);
    EXPECT_NEAR(in.g, 0x60, BLEND_TOLERANCE);
    EXPECT_EQ(out.r, 0x20);
    delete grey;
}

TEST_F(PixelTest, OpaquePicturesDrawnPixelForPixelKeepEveryPixelAndOthersStillBlendAndFilter) {
    // A picture whose every pixel differs from its neighbours, and the same with one hole.
    constexpr u32 PW = 64, PH = 48;
    auto pattern = [&](u32 x, u32 y) { return SColor(255, x * 4, y * 5, (x * 7 + y * 3) & 0xFF); };
    IImage* p = driver->createImage(ECF_A8R8G8B8, core::dimension2d<u32>(PW, PH));
    IImage* q = driver->createImage(ECF_A8R8G8B8, core::dimension2d<u32>(PW, PH));
    for (u32 y = 0; y < PH; ++y)
        for (u32 x = 0; x < PW; ++x) {
            p->setPixel(x, y, pattern(x, y));
            q->setPixel(x, y, pattern(x, y));
        }
    q->setPixel(5, 6, SColor(0, 255, 255, 255));
    Image* opaque = renderer->createImage("opaque", p, true, 0xFFFFFFFFu, nullptr);
    Image* holed = renderer->createImage("holed", q, true, 0xFFFFFFFFu, nullptr);
    ASSERT_TRUE(opaque && holed);
    EXPECT_TRUE(opaque->opaque());
    EXPECT_FALSE(holed->opaque());

    ASSERT_TRUE(driver->beginScene(true, true, SColor(0xFF202020u)));
    renderer->beginFrame();
    opaque->draw(10, 20);
    // Placed like an actor: turned by 0 and scaled by 1 about its centre.
    opaque->setRotation(0.f);
    opaque->setScale(1.f);
    opaque->draw(BLEND_ALPHA, DRAW_TRANSFORM | DRAW_ROTATE | DRAW_SCALE | DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y,
                 100.f + PW / 2, 20.f + PH / 2, nullptr);
    holed->draw(200, 20);
    opaque->draw(10.5f, 120);  // between pixels: filtered
    renderer->endFrame();
    const std::vector<Rgb> pixels = readBack();
    driver->endScene();

    int wrong = 0;
    for (u32 y = 0; y < PH; ++y)
        for (u32 x = 0; x < PW; ++x) {
            const SColor c = pattern(x, y);
            const Rgb want{int(c.getRed()), int(c.getGreen()), int(c.getBlue())};
            for (u32 left : {10u, 100u, 200u}) {
                Rgb expected = want;
                if (left == 200 && x == 5 && y == 6) expected = {0x20, 0x20, 0x20};
                const Rgb got = pixels[(20 + y) * W + left + x];
                if ((got.r != expected.r || got.g != expected.g || got.b != expected.b) && ++wrong <= 10)
                    ADD_FAILURE() << "picture at x " << left << ": texel (" << x << ", " << y << ") drawn as ("
                                  << got.r << ", " << got.g << ", " << got.b << "), expected (" << expected.r
                                  << ", " << expected.g << ", " << expected.b << ")";
            }
        }
    EXPECT_EQ(wrong, 0);
    // Half a pixel off, each pixel mixes two texels: red steps of 4 become steps of 2.
    int mixed = 0;
    for (u32 x = 12; x < 70; ++x) mixed += pixels[140 * W + x].r % 4 != 0;
    EXPECT_GT(mixed, 40);
    delete opaque;
    delete holed;
}

}  // namespace
