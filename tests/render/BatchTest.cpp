// Batching: which quads share one driver draw, observed through the recording renderer.
#include <gtest/gtest.h>

#include "render/Image.h"
#include "RecordingRenderer.h"

using namespace irr;
using namespace irr::video;

namespace {

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = createNullDevice();
        ASSERT_NE(device, nullptr);
        driver = device->getVideoDriver();
        texA = makeTexture(driver, "a");
        texB = makeTexture(driver, "b");
        renderer = new RecordingRenderer(device, DEFAULT_QUAD_CAPACITY);
        driver->beginScene();
        renderer->beginFrame();
    }
    void TearDown() override {
        delete renderer;
        if (device) device->drop();
    }
    // A quad at (x, 0) of size 1.
    void quad(ITexture* t, s32 blend, u32 flags, f32 x = 0.f) {
        const S3DVertex c[4] = {
            S3DVertex(x, 0, 0, 0, 0, 0, SColor(0xFFFFFFFF), 0, 0),
            S3DVertex(x + 1, 0, 0, 0, 0, 0, SColor(0xFFFFFFFF), 1, 0),
            S3DVertex(x, 1, 0, 0, 0, 0, SColor(0xFFFFFFFF), 0, 1),
            S3DVertex(x + 1, 1, 0, 0, 0, 0, SColor(0xFFFFFFFF), 1, 1),
        };
        renderer->addQuad(t, blend, flags, c);
    }
    // Triangles the driver really drew in this frame.
    u32 drawnTriangles() {
        driver->endScene();
        const u32 n = driver->getPrimitiveCountDrawn();
        driver->beginScene();
        return n;
    }

    IrrlichtDevice* device = nullptr;
    IVideoDriver* driver = nullptr;
    ITexture* texA = nullptr;
    ITexture* texB = nullptr;
    RecordingRenderer* renderer = nullptr;
};

TEST_F(BatchTest, OneDrawPerRunOfEqualKey) {
    quad(texA, BLEND_ALPHA, TEX_BILINEAR);
    quad(texA, BLEND_ALPHA, TEX_BILINEAR);
    quad(texB, BLEND_ALPHA, TEX_BILINEAR);  // texture changes
    quad(texB, BLEND_ADD, TEX_BILINEAR);    // blend changes
    quad(texB, BLEND_ADD, TEX_BILINEAR);
    quad(texB, BLEND_ADD, TEX_REPEAT);      // flags change
    quad(texA, BLEND_ALPHA, TEX_BILINEAR);
    renderer->endFrame();
    ASSERT_EQ(renderer->batches.size(), 5u);
    const int quads[] = {2, 1, 2, 1, 1};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(renderer->batches[i].primitiveCount, 2 * quads[i]) << i;
        EXPECT_EQ(renderer->batches[i].vertexCount, 4 * quads[i]) << i;
    }
    EXPECT_EQ(renderer->batches[0].texture, texA);
    EXPECT_EQ(renderer->batches[1].texture, texB);
    EXPECT_EQ(renderer->batches[2].blend, BLEND_ADD);
    EXPECT_EQ(renderer->batches[3].flags, u32(TEX_REPEAT));
    EXPECT_EQ(drawnTriangles(), 14u);
}

TEST_F(BatchTest, QuadIndicesFormTwoTrianglesPerQuad) {
    quad(texA, 0, 0);
    quad(texA, 0, 0, 5.f);
    renderer->endFrame();
    ASSERT_EQ(renderer->batches.size(), 1u);
    EXPECT_EQ(renderer->batches[0].indices,
              (std::vector<u16>{0, 1, 2, 3, 2, 1, 4, 5, 6, 7, 6, 5}));
    EXPECT_EQ(renderer->batches[0].vertices[4].Pos.X, 5.f);
}

TEST_F(BatchTest, The4097thQuadDrawsTheFirst4096) {
    for (int i = 0; i < 4096; ++i) quad(texA, 0, 0);
    EXPECT_TRUE(renderer->batches.empty());
    quad(texA, 0, 0);
    ASSERT_EQ(renderer->batches.size(), 1u);
    const RecordedBatch& full = renderer->batches[0];
    EXPECT_EQ(full.vertexCount, MAX_BATCH_VERTICES);
    EXPECT_EQ(full.primitiveCount, 8192);
    EXPECT_EQ(full.indices.back(), u16(MAX_BATCH_VERTICES - 3));
    EXPECT_EQ(renderer->vertexCount(), 4);  // the new quad starts a fresh batch at index 0
    renderer->endFrame();
    ASSERT_EQ(renderer->batches.size(), 2u);
    EXPECT_EQ(renderer->batches[1].indices.front(), 0);
    EXPECT_EQ(drawnTriangles(), 8194u);
}

TEST_F(BatchTest, BeginFrameDropsThePendingBatchUndrawn) {
    quad(texA, 0, 0);
    quad(texA, 0, 0);
    renderer->beginFrame();
    EXPECT_EQ(renderer->vertexCount(), 0);
    EXPECT_EQ(renderer->pendingTexture(), nullptr);
    renderer->endFrame();
    EXPECT_TRUE(renderer->batches.empty());
    EXPECT_EQ(drawnTriangles(), 0u);
}

TEST_F(BatchTest, EndFrameOnAnEmptyBatchDrawsNothing) {
    renderer->endFrame();
    renderer->endFrame();
    EXPECT_EQ(renderer->flushCalls, 2);
    EXPECT_TRUE(renderer->batches.empty());
    EXPECT_EQ(drawnTriangles(), 0u);
}

TEST_F(BatchTest, DirectAppendStartsFromAnEmptyBatch) {
    quad(texA, 0, 0);
    renderer->setBatchState(texB, BLEND_MULTIPLY, 0, true);
    ASSERT_EQ(renderer->batches.size(), 1u);  // the pending quad was drawn first
    EXPECT_EQ(renderer->vertexCount(), 0);
    const S3DVertex v(1, 2, 0, 0, 0, 0, SColor(0xFF00FF00), 0, 0);
    for (int i = 0; i < 3; ++i) renderer->vertices().push_back(v);
    for (u16 i = 0; i < 3; ++i) renderer->indices().push_back(i);
    renderer->addCounts(3, 1);
    renderer->flush();
    ASSERT_EQ(renderer->batches.size(), 2u);
    EXPECT_EQ(renderer->batches[1].texture, texB);
    EXPECT_EQ(renderer->batches[1].blend, BLEND_MULTIPLY);
    EXPECT_EQ(renderer->batches[1].primitiveCount, 1);
    EXPECT_EQ(drawnTriangles(), 3u);
}

TEST_F(BatchTest, ImageWordsDifferingInMipmapsOrDrawFlagsShareAKey) {
    const core::vector2df tc[2] = {{0, 0}, {1, 1}};
    Image plain(renderer, 8, 8, 0x90003, texA, tc);
    Image mipmapped(renderer, 8, 8, 0x90003 | TEX_MIPMAPS, texA, tc);
    Image otherDraw(renderer, 8, 8, 0x90000 | DRAW_FLIP_X | DRAW_TRANSFORM, texA, tc);
    Image noBorder(renderer, 8, 8, 0x10003, texA, tc);
    plain.draw(0, 0);
    mipmapped.draw(10, 0);
    otherDraw.draw(20, 0);
    // The same Image with any draw flags stays in the batch too.
    plain.draw(BLEND_ALPHA, DRAW_ROTATE | DRAW_TRANSFORM, 30, 0, nullptr);
    noBorder.draw(40, 0);
    renderer->endFrame();
    ASSERT_EQ(renderer->batches.size(), 2u);
    EXPECT_EQ(renderer->batches[0].primitiveCount, 8);
    EXPECT_EQ(renderer->batches[0].flags, u32(TEX_BILINEAR | TEX_BORDER));
    EXPECT_EQ(renderer->batches[1].flags, u32(TEX_BILINEAR));
}

TEST_F(BatchTest, TwoImagesDrawnAlternatelyDrawOncePerChange) {
    const core::vector2df tc[2] = {{0, 0}, {1, 1}};
    Image a(renderer, 8, 8, 0x90003, texA, tc);
    Image b(renderer, 8, 8, 0x90003, texB, tc);
    for (int i = 0; i < 3; ++i) {
        a.draw(0, 0);
        b.draw(0, 0);
    }
    renderer->endFrame();
    EXPECT_EQ(renderer->batches.size(), 6u);
}

}  // namespace
