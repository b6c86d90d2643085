// The transformed draw's direct placement against the engine's matrix, bit for bit, on many
// random and awkward transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "render/Image.h"
#include "render/Letterbox.h"
#include "RecordingRenderer.h"

using namespace irr;
using namespace irr::video;

namespace {

constexpr u32 TRANSFORM_FLAG_SETS[] = {DRAW_TRANSFORM, DRAW_TRANSFORM | DRAW_ROTATE,
                                       DRAW_TRANSFORM | DRAW_SCALE,
                                       DRAW_TRANSFORM | DRAW_ROTATE | DRAW_SCALE};

// True when both corner sets have the same bytes.
bool sameBits(const core::vector3df a[4], const core::vector3df b[4]) {
    return std::memcmp(a, b, 4 * sizeof(core::vector3df)) == 0;
}

// Places the corners both ways and expects identical bits.
void expectSamePlacement(const core::vector3df local[4], u32 flags, f32 x, f32 y, f32 r,
                         core::vector2df scale) {
    core::vector3df direct[4], matrix[4];
    for (int i = 0; i < 4; ++i) direct[i] = matrix[i] = local[i];
    placeTransformed(direct, flags, x, y, r, scale);
    placeTransformedByMatrix(matrix, flags, x, y, r, scale);
    ASSERT_TRUE(sameBits(direct, matrix))
        << "flags " << std::hex << flags << std::dec << " x " << x << " y " << y << " r " << r
        << " scale " << scale.X << "," << scale.Y << " corner0 " << direct[0].X << ","
        << direct[0].Y << "," << direct[0].Z << " vs " << matrix[0].X << "," << matrix[0].Y
        << "," << matrix[0].Z;
}

TEST(TransformTest, DirectPlacementMatchesTheMatrixOnRandomTransforms) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> pos(-2000.f, 4000.f), angle(-20.f, 20.f),
        scale(-4.f, 4.f), half(0.f, 600.f), offset(-600.f, 600.f);
    for (int n = 0; n < 200000; ++n) {
        const f32 hx = half(rng), hy = half(rng), ox = offset(rng), oy = offset(rng);
        const core::vector3df local[4] = {{-hx - ox, -hy - oy, 0.f}, {hx - ox, -hy - oy, 0.f},
                                          {-hx - ox, hy - oy, 0.f}, {hx - ox, hy - oy, 0.f}};
        for (u32 flags : TRANSFORM_FLAG_SETS)
            expectSamePlacement(local, flags, pos(rng), pos(rng), angle(rng),
                                core::vector2df(scale(rng), scale(rng)));
    }
}

TEST(TransformTest, DirectPlacementMatchesTheMatrixOnAwkwardValues) {
    const f32 inf = std::numeric_limits<f32>::infinity();
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    const f32 big = std::numeric_limits<f32>::max();
    const f32 tiny = std::numeric_limits<f32>::denorm_min();
    // Zeros of both signs (a corner landing exactly on 0), whole numbers, huge, tiny and
    // non-finite values.
    const f32 values[] = {0.f, -0.f, 1.f, -1.f, 16.f, -16.f, 0.5f, 3.14159265f, -1.5707964f,
                          big, -big, tiny, -tiny, inf, -inf, nan};
    const f32 halves[] = {0.f, 16.f, 0.5f, big};
    for (f32 h : halves) {
        for (f32 o : {0.f, -0.f, h, -h, 8.f}) {
            const core::vector3df local[4] = {{-h - o, -h - o, 0.f}, {h - o, -h - o, 0.f},
                                              {-h - o, h - o, 0.f}, {h - o, h - o, 0.f}};
            for (u32 flags : TRANSFORM_FLAG_SETS)
                for (f32 x : values)
                    for (f32 r : values)
                        for (f32 s : values) {
                            expectSamePlacement(local, flags, x, 16.f, r, core::vector2df(s, 1.f));
                            expectSamePlacement(local, flags, -16.f, x, r, core::vector2df(1.f, s));
                            expectSamePlacement(local, flags, h, x, r, core::vector2df(s, s));
                        }
        }
    }
}

// Image::draw in transform mode puts out exactly the matrix's corners.
TEST(TransformTest, ImageDrawMatchesTheMatrix) {
    IrrlichtDevice* device = createNullDevice();
    ASSERT_NE(device, nullptr);
    {
        RecordingRenderer renderer(device, DEFAULT_QUAD_CAPACITY);
        ITexture* texture = makeTexture(device->getVideoDriver(), "picture");
        const core::vector2df tc[2] = {{0.f, 0.f}, {0.78125f, 0.78125f}};
        Image image(&renderer, 100, 50, DEFAULT_IMAGE_FLAGS, texture, tc);
        image.setHotSpot(30.f, 10.f);
        std::mt19937 rng(99);
        std::uniform_real_distribution<float> pos(0.f, 1280.f), angle(-7.f, 7.f), scale(-3.f, 3.f);
        const u32 drawFlags = DRAW_TRANSFORM | DRAW_ROTATE | DRAW_SCALE | DRAW_HOTSPOT_X |
                              DRAW_HOTSPOT_Y;
        for (int n = 0; n < 2000; ++n) {
            const f32 x = pos(rng), y = pos(rng), r = angle(rng);
            const core::vector2df s(scale(rng), scale(rng));
            renderer.beginFrame();
            image.setRotation(r);
            image.setScale(s.X, s.Y);
            image.draw(BLEND_ALPHA, drawFlags, x, y, nullptr);
            renderer.endFrame();
            ASSERT_FALSE(renderer.batches.empty());
            const auto& v = renderer.batches.back().vertices;
            ASSERT_EQ(v.size(), 4u);
            // Hot-spot (30, 10) of a 100 x 50 picture: the anchor is 20 left of and 15 above
            // the centre.
            core::vector3df expected[4] = {{-50.f + 20.f, -25.f + 15.f, 0.f},
                                           {50.f + 20.f, -25.f + 15.f, 0.f},
                                           {-50.f + 20.f, 25.f + 15.f, 0.f},
                                           {50.f + 20.f, 25.f + 15.f, 0.f}};
            placeTransformedByMatrix(expected, drawFlags, x, y, r, s);
            core::vector3df got[4];
            for (int i = 0; i < 4; ++i) got[i] = v[i].Pos;
            ASSERT_TRUE(sameBits(got, expected)) << "draw " << n;
        }
    }
    device->drop();
}

}  // namespace

// Full screen on a display of another size: the 1280 x 720 stage scaled to fit and centred,
// and screen positions mapped back onto the stage.
TEST(Letterbox, TheStageFitsCentredAndClicksMapBack) {
    const Letterbox tall = fitStage(1920, 1200, 1280, 720);  // 16:10: bars above and below
    EXPECT_EQ(tall.x, 0);
    EXPECT_EQ(tall.y, 60);
    EXPECT_EQ(tall.width, 1920);
    EXPECT_EQ(tall.height, 1080);
    const Letterbox narrow = fitStage(1024, 768, 1280, 720);  // 4:3
    EXPECT_EQ(narrow.width, 1024);
    EXPECT_EQ(narrow.height, 576);
    EXPECT_EQ(narrow.y, 96);
    const Letterbox wide = fitStage(2560, 1080, 1280, 720);  // 21:9: bars at the sides
    EXPECT_EQ(wide.x, 320);
    EXPECT_EQ(wide.width, 1920);
    const Letterbox same = fitStage(1280, 720, 1280, 720);
    EXPECT_EQ(same.x, 0);
    EXPECT_EQ(same.width, 1280);
    // Clicks land where they would in the window: corners, the middle, and the bars outside.
    EXPECT_EQ(screenToStage(0, tall.x, tall.width, 1280), 0);
    EXPECT_EQ(screenToStage(1919, tall.x, tall.width, 1280), 1279);
    EXPECT_EQ(screenToStage(60, tall.y, tall.height, 720), 0);
    EXPECT_EQ(screenToStage(1139, tall.y, tall.height, 720), 719);
    EXPECT_EQ(screenToStage(600, tall.y, tall.height, 720), 360);
    EXPECT_LT(screenToStage(10, tall.y, tall.height, 720), 0);
    EXPECT_GE(screenToStage(1150, tall.y, tall.height, 720), 720);
    for (int x = 0; x < 1280; ++x) EXPECT_EQ(screenToStage(x, same.x, same.width, 1280), x);
}
