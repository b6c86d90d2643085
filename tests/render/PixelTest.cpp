// End to end through the real OpenGL driver: Images drawn at known positions, read back
// from the back buffer before the swap and compared with the expected picture pixel by pixel.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
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

// The pictures of the packing test: soft-edged (their transparent texels are bled) in sizes
// with and without power-of-two padding, one opaque (drawn texel for pixel it is copied), one of
// three bytes a texel, and one too large for an atlas page.
struct PackingPicture {
    u32 w, h;
    ECOLOR_FORMAT format;
    bool opaque;
};
const PackingPicture PACKING_PICTURES[] = {
    {37, 23, ECF_A8R8G8B8, false}, {32, 32, ECF_A8R8G8B8, false}, {61, 7, ECF_A8R8G8B8, false},
    {40, 30, ECF_A8R8G8B8, true},  {25, 18, ECF_R8G8B8, true},    {3, 64, ECF_A8R8G8B8, false},
    {ATLAS_MAX_PICTURE_SIDE + 100, 20, ECF_A8R8G8B8, false},
};
constexpr size_t TOO_LARGE = 6;
// A packed picture's pixel may differ from its unpacked one by this much per channel, and at
// most one pixel in this many may differ at all (rounding of filter weights, below).
constexpr int PACKING_TOLERANCE = 1;
constexpr int PACKING_DIFFERING_SHARE = 1000;

// Picture k of PACKING_PICTURES: colours that change from texel to texel, and unless opaque an
// elliptic disc of soft alpha on transparent texels of random colour (what bleeding replaces).
IImage* packingPicture(IVideoDriver* driver, size_t k) {
    const PackingPicture& pp = PACKING_PICTURES[k];
    IImage* p = driver->createImage(pp.format, core::dimension2d<u32>(pp.w, pp.h));
    u32 seed = u32(k) * 2654435761u + 1u;
    for (u32 y = 0; y < pp.h; ++y)
        for (u32 x = 0; x < pp.w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const f32 dx = (f32(x) + 0.5f) / f32(pp.w) - 0.5f, dy = (f32(y) + 0.5f) / f32(pp.h) - 0.5f;
            const f32 d = 1.f - 4.f * (dx * dx + dy * dy);
            const u32 alpha = pp.opaque ? 255u : d <= 0.f ? 0u : d >= 0.5f ? 255u : u32(d * 510.f);
            p->setPixel(x, y, SColor(alpha, (x * 37 + k * 50) & 0xFF, (y * 23 + (seed >> 24)) & 0xFF,
                                     (x * y * 5 + (seed >> 16)) & 0xFF));
        }
    return p;
}

TEST_F(PixelTest, PackedPicturesDrawTheSamePixelsAsPicturesWithTexturesOfTheirOwn) {
    constexpr size_t N = sizeof PACKING_PICTURES / sizeof PACKING_PICTURES[0];
    // Three sets of Images of the same pictures: each with its texture of its own (made outside
    // a packing session), packed into one page, and packed into pages of at most 64 x 64.
    std::vector<Image*> sets[3];
    for (int set = 0; set < 3; ++set) {
        renderer->setAtlasPageSide(set == 2 ? 64 : ATLAS_MAX_PAGE_SIDE);
        if (set > 0) renderer->beginPacking();
        for (size_t k = 0; k < N; ++k)
            sets[set].push_back(renderer->createImage("packing", packingPicture(driver, k), true,
                                                      0xFFFFFFFFu, nullptr));
        if (set > 0) {
            EXPECT_EQ(sets[set][0]->texture(), nullptr);  // until the session ends
            // An Image deleted before the session ends leaves it.
            delete renderer->createImage("gone", packingPicture(driver, 0), true, 0xFFFFFFFFu,
                                         nullptr);
            EXPECT_TRUE(renderer->endPacking().empty());
        }
        for (Image* image : sets[set]) {
            ASSERT_NE(image, nullptr);
            ASSERT_NE(image->texture(), nullptr);
        }
    }
    renderer->setAtlasPageSide(ATLAS_MAX_PAGE_SIDE);
    // One page holds all but the picture too large for one, which keeps a padded texture.
    for (size_t k = 1; k < N; ++k)
        if (k != TOO_LARGE) {
            EXPECT_EQ(sets[1][k]->texture(), sets[1][0]->texture()) << k;
        }
    for (int set = 1; set < 3; ++set) {
        EXPECT_NE(sets[set][TOO_LARGE]->texture(), sets[set][0]->texture());
        EXPECT_EQ(sets[set][TOO_LARGE]->texture()->getSize(), sets[0][TOO_LARGE]->texture()->getSize());
    }
    // Pictures 0 to 4 with their gutters cover 4,582 texels: more than one page of 64 x 64.
    std::vector<ITexture*> smallPages;
    for (size_t k = 0; k < 5; ++k)
        if (std::find(smallPages.begin(), smallPages.end(), sets[2][k]->texture()) == smallPages.end())
            smallPages.push_back(sets[2][k]->texture());
    EXPECT_GE(smallPages.size(), 2u);
    for (size_t k = 0; k < N; ++k) {
        EXPECT_EQ(sets[1][k]->pixelWidth(), PACKING_PICTURES[k].w);
        EXPECT_EQ(sets[1][k]->pixelHeight(), PACKING_PICTURES[k].h);
        EXPECT_EQ(sets[1][k]->opaque(), sets[0][k]->opaque());
    }
    EXPECT_TRUE(sets[1][3]->opaque());

    // The same drawing with each set: turned, scaled, between pixels (filtered), stretched,
    // parts of pictures, mirrored, and the opaque pictures texel for pixel (copied).
    auto drawScene = [&](const std::vector<Image*>& images) {
        EXPECT_TRUE(driver->beginScene(true, true, SColor(0xFF6080A0u)));
        renderer->beginFrame();
        const u32 actor = DRAW_TRANSFORM | DRAW_ROTATE | DRAW_SCALE | DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y;
        for (size_t k = 0; k < N; ++k) {
            Image* image = images[k];
            const f32 x = 30.f + f32(k % 4) * 75.f, y = 30.f + f32(k / 4) * 80.f;
            image->setRotation(0.37f + 0.9f * f32(k));
            image->setScale(k == TOO_LARGE ? 0.07f : 1.3f, 1.1f);
            image->draw(BLEND_ALPHA, actor, x + 0.3f, y + 0.6f, nullptr);
            image->setScale(k == TOO_LARGE ? 0.05f : 0.6f, 0.45f);
            image->draw(BLEND_ALPHA, actor | DRAW_FLIP_X, x + 20.25f, y + 35.5f, nullptr);
            image->draw(x - 25.f, y + 40.f);  // upright, on whole pixels
            image->setSize(13.7f, 9.2f);
            image->draw(BLEND_ALPHA, image->flags() & 0xFFFFu, x + 8.4f, y + 3.7f, nullptr);
            image->resetSize();
            const RectF part(1.f, 1.f, f32(image->pixelWidth()) / 2.f, f32(image->pixelHeight()) / 2.f);
            image->draw(BLEND_ALPHA, DRAW_FLIP_Y, x - 10.5f, y - 20.5f, &part);
        }
        images[3]->draw(250, 180);  // opaque, texel for pixel: copied without filtering
        images[4]->draw(200, 200);
        renderer->endFrame();
        const std::vector<Rgb> pixels = readBack();
        driver->endScene();
        return pixels;
    };
    const std::vector<Rgb> own = drawScene(sets[0]);
    for (int set = 1; set < 3; ++set) {
        const std::vector<Rgb> packed = drawScene(sets[set]);
        int differing = 0, largest = 0, background = 0;
        for (size_t i = 0; i < own.size(); ++i) {
            const int d = std::max({std::abs(own[i].r - packed[i].r), std::abs(own[i].g - packed[i].g),
                                    std::abs(own[i].b - packed[i].b)});
            differing += d > 0;
            largest = std::max(largest, d);
            background += own[i].r == 0x60 && own[i].g == 0x80 && own[i].b == 0xA0;
        }
        // The same texels are read with the same weights, except where a weight rounds the other
        // way: a picture's texture coordinates are other numbers in a page, which the
        // rasteriser interpolates in floats, and llvmpipe's bilinear weights have 8 bits.
        EXPECT_LE(largest, PACKING_TOLERANCE) << "set " << set;
        EXPECT_LE(differing, int(own.size()) / PACKING_DIFFERING_SHARE)
            << "set " << set << ": " << differing << " pixels differ, by up to " << largest;
        EXPECT_LT(background, int(own.size()) * 9 / 10);  // the pictures cover some of the target
    }
    for (auto& set : sets)
        for (Image* image : set) delete image;
}

}  // namespace
