// The wobble envelope helpers and the geometry of the waving strip, built from a real
// picture into the real renderer's pending batch.
#include <cmath>

#include "StateTestSupport.h"
#include "states/Wobble.h"

namespace state_test {
namespace {

TEST(WobbleHelpers, SmoothStepIsAHermiteStepBetweenItsEdges) {
    EXPECT_FLOAT_EQ(smoothStep(-1.f, 0.f, 1.f), 0.f);
    EXPECT_FLOAT_EQ(smoothStep(0.f, 0.f, 1.f), 0.f);
    EXPECT_FLOAT_EQ(smoothStep(0.25f, 0.f, 1.f), 0.15625f);
    EXPECT_FLOAT_EQ(smoothStep(0.5f, 0.f, 1.f), 0.5f);
    EXPECT_FLOAT_EQ(smoothStep(1.f, 0.f, 1.f), 1.f);
    EXPECT_FLOAT_EQ(smoothStep(7.f, 0.f, 1.f), 1.f);
    // Edges that meet make a plain step.
    EXPECT_FLOAT_EQ(smoothStep(2.9f, 3.f, 3.f), 0.f);
    EXPECT_FLOAT_EQ(smoothStep(3.f, 3.f, 3.f), 1.f);
}

TEST(WobbleHelpers, PulseRisesToOneAtRowFiftyAndFallsBack) {
    EXPECT_FLOAT_EQ(pulse(0.f, 10, 50, 50, 90), 0.f);
    EXPECT_FLOAT_EQ(pulse(10.f, 10, 50, 50, 90), 0.f);
    EXPECT_FLOAT_EQ(pulse(30.f, 10, 50, 50, 90), 0.5f);
    EXPECT_FLOAT_EQ(pulse(50.f, 10, 50, 50, 90), 1.f);
    EXPECT_FLOAT_EQ(pulse(70.f, 10, 50, 50, 90), 0.5f);
    EXPECT_FLOAT_EQ(pulse(90.f, 10, 50, 50, 90), 0.f);
    EXPECT_FLOAT_EQ(pulse(100.f, 10, 50, 50, 90), 0.f);
    EXPECT_GT(pulse(11.f, 10, 50, 50, 90), 0.f);
    EXPECT_GT(pulse(89.f, 10, 50, 50, 90), 0.f);
}

class StripTest : public MainStateTest {
protected:
    void SetUp() override {
        MainStateTest::SetUp();
        if (IsSkipped()) return;
        writePicture("strip.png", 200, 100);
        renderer = app->renderer();
        image = renderer->loadImage("data/actors/strip.png", 0xFFFFFFFFu);
        ASSERT_NE(image, nullptr);
        fs::remove(folder / "data" / "actors" / "strip.png");  // not an actor of the scene test
        renderer->beginFrame();
    }
    void TearDown() override {
        if (renderer) renderer->beginFrame();  // drops what a test left pending, undrawn
        delete image;
        MainStateTest::TearDown();
    }
    // Builds the strip as the scene does (centred, turned, scaled) at (400, 300).
    void strip(float time, float rotation = 0.f, float sx = 1.f, float sy = 1.f,
               unsigned flags = 0x714, u32 colour = 0xFFFFFFFF) {
        renderer->beginFrame();
        drawWobbled(time, renderer, image, BLEND_ALPHA, flags, 400.f, 300.f, rotation, sx, sy,
                    video::SColor(colour), 1.f);
    }
    const video::S3DVertex& left(int row) { return renderer->vertices()[u32(2 * row)]; }
    const video::S3DVertex& right(int row) { return renderer->vertices()[u32(2 * row + 1)]; }

    Renderer2D* renderer = nullptr;
    Image* image = nullptr;
};

TEST_F(StripTest, HasTwoHundredAndTwoVerticesAndSixHundredIndices) {
    strip(0.f);
    EXPECT_EQ(renderer->vertices().size(), 202u);
    EXPECT_EQ(renderer->indices().size(), 600u);
    EXPECT_EQ(renderer->vertexCount(), 202);
    EXPECT_EQ(renderer->primitiveCount(), 200);
    for (int band = 0; band < 100; ++band) {
        const u16* t = &renderer->indices()[u32(6 * band)];
        const int v = 2 * band;
        EXPECT_EQ(t[0], v);
        EXPECT_EQ(t[1], v + 1);
        EXPECT_EQ(t[2], v + 2);
        EXPECT_EQ(t[3], v + 3);
        EXPECT_EQ(t[4], v + 2);
        EXPECT_EQ(t[5], v + 1);
    }
    // Row by row, left before right, one pixel of a 100-pixel picture per row.
    for (int row = 0; row <= 100; ++row) {
        EXPECT_FLOAT_EQ(left(row).Pos.Y, 250.f + float(row)) << row;
        EXPECT_FLOAT_EQ(right(row).Pos.Y, 250.f + float(row)) << row;
        EXPECT_FLOAT_EQ(right(row).Pos.X - left(row).Pos.X, 200.f) << row;
        EXPECT_FLOAT_EQ(left(row).Pos.Z, 0.f);
    }
}

TEST_F(StripTest, EdgeRowsAreNeverDisplacedAndRowFiftySwingsFifteenPixels) {
    for (float time : {0.f, 0.7f, 1.9f, 3.3f, 100.f}) {
        strip(time);
        for (int row = 0; row <= 10; ++row) EXPECT_FLOAT_EQ(left(row).Pos.X, 300.f) << row;
        for (int row = 90; row <= 100; ++row) EXPECT_FLOAT_EQ(left(row).Pos.X, 300.f) << row;
        const float k = std::sin(50.f / 9.f + time) * 15.f;
        EXPECT_NEAR(left(50).Pos.X, 300.f + k, 1e-3) << time;
        EXPECT_NEAR(right(50).Pos.X, 500.f + k, 1e-3) << time;
    }
    strip(0.f);
    EXPECT_NEAR(left(50).Pos.X - 300.f, std::sin(50.f / 9.f) * 15.f, 1e-3);
    // Between the edges the displacement follows the envelope.
    EXPECT_NEAR(left(30).Pos.X - 300.f, std::sin(30.f / 9.f) * 0.5f * 15.f, 1e-3);
}

TEST_F(StripTest, TextureRowsSpanThePictureAndFlipsSwapThem) {
    strip(0.f);
    const core::vector2df* tc = image->texCoords();
    EXPECT_FLOAT_EQ(left(0).TCoords.X, tc[0].X);
    EXPECT_FLOAT_EQ(right(0).TCoords.X, tc[1].X);
    EXPECT_FLOAT_EQ(left(0).TCoords.Y, tc[0].Y);
    EXPECT_FLOAT_EQ(left(100).TCoords.Y, tc[1].Y);
    EXPECT_NEAR(left(50).TCoords.Y, (tc[0].Y + tc[1].Y) / 2.f, 1e-6);
    strip(0.f, 0.f, 1.f, 1.f, 0x714 | DRAW_FLIP_X | DRAW_FLIP_Y);
    EXPECT_FLOAT_EQ(left(0).TCoords.X, tc[1].X);
    EXPECT_FLOAT_EQ(right(0).TCoords.X, tc[0].X);
    EXPECT_FLOAT_EQ(left(0).TCoords.Y, tc[1].Y);
    EXPECT_FLOAT_EQ(left(100).TCoords.Y, tc[0].Y);
}

TEST_F(StripTest, NegativeScaleMirrorsTheStripWobbleIncluded) {
    strip(0.f, 0.f, -1.f, 1.f);
    EXPECT_FLOAT_EQ(left(0).Pos.X, 500.f);
    EXPECT_FLOAT_EQ(right(0).Pos.X, 300.f);
    const float k = std::sin(50.f / 9.f) * 15.f;
    EXPECT_NEAR(left(50).Pos.X, 500.f - k, 1e-3);
    // Scale 2 doubles the picture and its swing.
    strip(0.f, 0.f, 2.f, 2.f);
    EXPECT_FLOAT_EQ(left(0).Pos.X, 200.f);
    EXPECT_FLOAT_EQ(left(0).Pos.Y, 200.f);
    EXPECT_NEAR(left(50).Pos.X, 200.f + 2.f * k, 1e-3);
}

TEST_F(StripTest, RotationTurnsTheStripClockwiseAboutItsCentre) {
    strip(0.f, core::HALF_PI);
    // The top-left corner (-100, -50) turns to (50, -100) about the centre.
    EXPECT_NEAR(left(0).Pos.X, 450.f, 1e-3);
    EXPECT_NEAR(left(0).Pos.Y, 200.f, 1e-3);
    // The sideways swing now runs vertically.
    const float k = std::sin(50.f / 9.f) * 15.f;
    EXPECT_NEAR(left(50).Pos.X, 400.f, 1e-3);
    EXPECT_NEAR(left(50).Pos.Y, 200.f + k, 1e-3);
}

TEST_F(StripTest, WithoutAnchorFlagsThePivotIsTheTopLeftCorner) {
    strip(0.f, 0.f, 1.f, 1.f, DRAW_TRANSFORM);
    EXPECT_FLOAT_EQ(left(0).Pos.X, 400.f);
    EXPECT_FLOAT_EQ(left(0).Pos.Y, 300.f);
    strip(0.f, 0.f, 1.f, 1.f, DRAW_TRANSFORM | DRAW_RIGHT | DRAW_BOTTOM);
    EXPECT_FLOAT_EQ(right(100).Pos.X, 400.f);
    EXPECT_FLOAT_EQ(right(100).Pos.Y, 300.f);
}

TEST_F(StripTest, VertexColourFollowsTheColourFlags) {
    strip(0.f, 0.f, 1.f, 1.f, 0x714, 0x80FF0000);
    EXPECT_EQ(left(0).Color.color, 0xFFFFFFFFu);
    strip(0.f, 0.f, 1.f, 1.f, 0x714 | DRAW_COLOR | DRAW_ALPHA, 0x80FF0000);
    EXPECT_EQ(left(7).Color.color, 0x80FF0000u);
    strip(0.f, 0.f, 1.f, 1.f, 0x714 | DRAW_ALPHA, 0x80FF0000);
    EXPECT_EQ(right(100).Color.color, 0x80FFFFFFu);
    strip(0.f, 0.f, 1.f, 1.f, 0x714 | DRAW_COLOR, 0x80FF0000);
    EXPECT_EQ(left(0).Color.color, 0xFFFF0000u);
}

TEST_F(StripTest, StartsAFreshBatchAfterWhatWasPending) {
    device->getVideoDriver()->beginScene(true, true, video::SColor(0xFF000000));
    renderer->beginFrame();
    image->draw(BLEND_ALPHA, 0, 10.f, 10.f, nullptr);
    ASSERT_EQ(renderer->vertexCount(), 4);
    drawWobbled(0.f, renderer, image, BLEND_ALPHA, 0x714, 400.f, 300.f, 0.f, 1.f, 1.f,
                video::SColor(0xFFFFFFFF), 1.f);
    // The quad was drawn first; the strip's indices start at 0.
    EXPECT_EQ(renderer->vertexCount(), 202);
    EXPECT_EQ(renderer->indices()[0], 0);
    renderer->flush();
    EXPECT_EQ(renderer->primitiveCount(), 0);
    device->getVideoDriver()->endScene();
}

TEST_F(StripTest, TheSceneDrawsPlainAndWobblingActorsAndLeavesNothingPending) {
    writeMusic(0.5);
    writePicture("plain.png", 40, 40);
    writeTrack("plain", rampTrack(3));
    writePicture("wavy.png", 40, 40);
    writeTrack("wavy", rampTrack(3), false, true);
    ASSERT_TRUE(initState());
    ASSERT_EQ(play.actors().size(), 2u);
    EXPECT_TRUE(play.actors()[1]->wobble);
    state.render(device);
    EXPECT_EQ(renderer->primitiveCount(), 0);
    EXPECT_EQ(renderer->vertexCount(), 0);
}

}  // namespace
}  // namespace state_test
