// Image geometry, texture coordinates and corner colours, read from the recorded batch.
#include <gtest/gtest.h>

#include <cmath>

#include "render/Image.h"
#include "RecordingRenderer.h"

using namespace irr;
using namespace irr::video;

namespace {

// The corners of one drawn quad: top-left, top-right, bottom-left, bottom-right.
struct Quad {
    core::vector3df pos[4];
    core::vector2df uv[4];
    u32 color[4];
};

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = createNullDevice();
        ASSERT_NE(device, nullptr);
        renderer = new RecordingRenderer(device, DEFAULT_QUAD_CAPACITY);
        texture = makeTexture(device->getVideoDriver(), "picture");
        // A 100 x 50 picture padded into a 128 x 64 texture.
        const core::vector2df tc[2] = {{0.f, 0.f}, {0.78125f, 0.78125f}};
        image = new Image(renderer, 100, 50, DEFAULT_IMAGE_FLAGS, texture, tc);
        renderer->beginFrame();
    }
    void TearDown() override {
        delete image;
        delete renderer;
        if (device) device->drop();
    }
    // The quad of the last draw.
    Quad last() {
        renderer->endFrame();
        Quad q{};
        EXPECT_FALSE(renderer->batches.empty());
        if (renderer->batches.empty()) return q;
        const auto& v = renderer->batches.back().vertices;
        EXPECT_GE(v.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            q.pos[i] = v[v.size() - 4 + i].Pos;
            q.uv[i] = v[v.size() - 4 + i].TCoords;
            q.color[i] = v[v.size() - 4 + i].Color.color;
        }
        return q;
    }

    IrrlichtDevice* device = nullptr;
    RecordingRenderer* renderer = nullptr;
    ITexture* texture = nullptr;
    Image* image = nullptr;
};

void expectCorners(const Quad& q, f32 x0, f32 y0, f32 x1, f32 y1) {
    const f32 xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(q.pos[i].X, xs[i], 1e-4) << "corner " << i;
        EXPECT_NEAR(q.pos[i].Y, ys[i], 1e-4) << "corner " << i;
        EXPECT_EQ(q.pos[i].Z, 0.f);
    }
}

void expectTexRect(const Quad& q, f32 u0, f32 v0, f32 u1, f32 v1) {
    const f32 us[4] = {u0, u1, u0, u1}, vs[4] = {v0, v0, v1, v1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(q.uv[i].X, us[i], 1e-6) << "corner " << i;
        EXPECT_NEAR(q.uv[i].Y, vs[i], 1e-6) << "corner " << i;
    }
}

TEST_F(ImageTest, DefaultDrawIsAnUntransformedQuadAtTheTopLeftCorner) {
    image->draw(10, 20);
    const Quad q = last();
    expectCorners(q, 10, 20, 110, 70);
    expectTexRect(q, 0, 0, 0.78125f, 0.78125f);
    for (u32 c : q.color) EXPECT_EQ(c, 0xFFFFFFFFu);
    EXPECT_EQ(renderer->batches.back().texture, texture);
    EXPECT_EQ(renderer->batches.back().flags, u32(TEX_BILINEAR | TEX_BORDER));
}

TEST_F(ImageTest, TransformAroundTheMiddleWithScale) {
    image->draw(BLEND_ALPHA, 0x714, 200, 100, nullptr);
    expectCorners(last(), 150, 75, 250, 125);
    image->setScale(2.f);
    image->draw(BLEND_ALPHA, 0x714, 200, 100, nullptr);
    expectCorners(last(), 100, 50, 300, 150);
    image->setScale(2.f, 0.5f);
    image->draw(BLEND_ALPHA, 0x714, 200, 100, nullptr);
    expectCorners(last(), 100, 87.5f, 300, 112.5f);
}

TEST_F(ImageTest, RotationTurnsClockwiseOnScreenAboutTheAnchor) {
    image->setRotation(core::PI / 2);
    image->draw(BLEND_ALPHA, DRAW_TRANSFORM | DRAW_ROTATE | DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y, 200,
                100, nullptr);
    const Quad q = last();
    // The top-left corner (-50, -25) from the middle turns to (25, -50).
    EXPECT_NEAR(q.pos[0].X, 225, 1e-3);
    EXPECT_NEAR(q.pos[0].Y, 50, 1e-3);
    EXPECT_NEAR(q.pos[3].X, 175, 1e-3);
    EXPECT_NEAR(q.pos[3].Y, 150, 1e-3);
    // The default anchor is the top-left corner.
    image->draw(BLEND_ALPHA, DRAW_TRANSFORM | DRAW_ROTATE, 0, 0, nullptr);
    const Quad r = last();
    EXPECT_NEAR(r.pos[0].X, 0, 1e-3);
    EXPECT_NEAR(r.pos[0].Y, 0, 1e-3);
    EXPECT_NEAR(r.pos[1].X, 0, 1e-3);
    EXPECT_NEAR(r.pos[1].Y, 100, 1e-3);
}

TEST_F(ImageTest, HotSpotScalesWithTheDrawnSize) {
    image->setHotSpot(30, 10);
    image->draw(BLEND_ALPHA, DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y, 300, 200, nullptr);
    expectCorners(last(), 270, 190, 370, 240);
    image->setSize(200, 100);
    image->draw(BLEND_ALPHA, DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y, 300, 200, nullptr);
    expectCorners(last(), 240, 180, 440, 280);
    image->resetSize();
    image->clearHotSpot();  // back to the middle
    image->draw(BLEND_ALPHA, DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y, 300, 200, nullptr);
    expectCorners(last(), 250, 175, 350, 225);
}

TEST_F(ImageTest, RightAndHotSpotTogether) {
    image->setHotSpot(30, 10);
    // Transforming, the hot-spot replaces the right edge as the anchor.
    image->draw(BLEND_ALPHA, DRAW_TRANSFORM | DRAW_RIGHT | DRAW_HOTSPOT_X, 200, 100, nullptr);
    expectCorners(last(), 170, 100, 270, 150);
    // Without transform both apply: left by the width and by the hot-spot offset.
    image->draw(BLEND_ALPHA, DRAW_RIGHT | DRAW_HOTSPOT_X, 200, 100, nullptr);
    expectCorners(last(), 70, 100, 170, 150);
    image->draw(BLEND_ALPHA, DRAW_RIGHT | DRAW_BOTTOM, 200, 100, nullptr);
    expectCorners(last(), 100, 50, 200, 100);
    image->draw(BLEND_ALPHA, DRAW_TRANSFORM | DRAW_RIGHT | DRAW_BOTTOM, 200, 100, nullptr);
    expectCorners(last(), 100, 50, 200, 100);
}

TEST_F(ImageTest, SubRectangleAndMirroring) {
    const RectF rect(25, 0, 50, 50);
    image->draw(BLEND_ALPHA, 0, 10, 10, &rect);
    Quad q = last();
    expectCorners(q, 10, 10, 60, 60);
    expectTexRect(q, 0.1953125f, 0, 0.5859375f, 0.78125f);
    image->draw(BLEND_ALPHA, DRAW_FLIP_X, 10, 10, &rect);
    expectTexRect(last(), 0.5859375f, 0, 0.1953125f, 0.78125f);
    image->draw(BLEND_ALPHA, DRAW_FLIP_Y, 10, 10, nullptr);
    expectTexRect(last(), 0, 0.78125f, 0.78125f, 0);
    // A set size wins over the sub-rectangle's size; transforming uses the sub-rectangle.
    image->setSize(20, 30);
    image->draw(BLEND_ALPHA, 0, 10, 10, &rect);
    expectCorners(last(), 10, 10, 30, 40);
    image->draw(BLEND_ALPHA, DRAW_TRANSFORM, 10, 10, &rect);
    expectCorners(last(), 10, 10, 60, 60);
}

TEST_F(ImageTest, SourceRectangleAppliesUntilClearedAndTheDrawsRectWins) {
    const RectF src(0, 25, 100, 25);
    image->setSourceRect(&src);
    EXPECT_EQ(image->width(), 100.f);
    EXPECT_EQ(image->height(), 25.f);
    image->draw(0, 0);
    Quad q = last();
    expectCorners(q, 0, 0, 100, 25);
    expectTexRect(q, 0, 0.390625f, 0.78125f, 0.78125f);
    const RectF once(50, 0, 50, 50);
    image->draw(BLEND_ALPHA, 0, 0, 0, &once);
    expectTexRect(last(), 0.390625f, 0, 0.78125f, 0.78125f);
    image->setSourceRect(nullptr);
    EXPECT_EQ(image->height(), 50.f);
    image->draw(0, 0);
    expectCorners(last(), 0, 0, 100, 50);
}

TEST_F(ImageTest, CornerColoursFollowColourAndAlphaFlags) {
    const ColorRGBA halfRed(0x80FF0000u);
    const struct {
        u32 flags;
        u32 expected;
    } cases[] = {
        {0, 0xFFFFFFFFu},
        {DRAW_ALPHA, 0x80FFFFFFu},
        {DRAW_COLOR, 0xFFFF0000u},
        {DRAW_COLOR | DRAW_ALPHA, 0x80FF0000u},
    };
    for (const auto& c : cases) {
        image->draw(BLEND_ALPHA, c.flags, 0, 0, &halfRed, nullptr);
        const Quad q = last();
        for (u32 col : q.color) EXPECT_EQ(col, c.expected) << std::hex << c.flags;
    }
    // The own colour is used by the draws without a colour argument.
    const ColorRGBA green(0x4000FF00u);
    image->setColor(&green);
    image->draw(0, 0);
    EXPECT_EQ(last().color[0], 0x4000FF00u);
}

TEST_F(ImageTest, SizeOnlyWithoutTransformRotationAndScaleOnlyWithIt) {
    image->setSize(10, 10);
    image->setRotation(1.f);
    image->setScale(3.f);
    image->draw(BLEND_ALPHA, DRAW_ROTATE | DRAW_SCALE, 5, 5, nullptr);
    expectCorners(last(), 5, 5, 15, 15);
    image->draw(BLEND_ALPHA, DRAW_TRANSFORM, 5, 5, nullptr);
    expectCorners(last(), 5, 5, 105, 55);
}

TEST_F(ImageTest, BlendModeReachesTheBatch) {
    image->draw(BLEND_PREMULTIPLIED, 0, 0, 0, nullptr);
    last();
    EXPECT_EQ(renderer->batches.back().blend, BLEND_PREMULTIPLIED);
}

}  // namespace
