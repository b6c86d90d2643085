// Texture creation from real PNG files written and decoded by the engine (OpenGL under Xvfb).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "render/Image.h"
#include "render/Renderer2D.h"
#include "tests/common/TestDevice.h"

using namespace irr;
using namespace irr::video;

namespace {

constexpr u32 RED = 0xFFFF0000u, BLUE = 0xFF0000FFu;

class TextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = testing_support::createTestDevice(320, 240);
        TUMELORA_REQUIRE_DEVICE(device);
        driver = device->getVideoDriver();
        renderer = new Renderer2D(device, DEFAULT_QUAD_CAPACITY);
        char pattern[] = "/tmp/tumelora-texture-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        delete renderer;
        if (device) device->drop();
        if (!dir.empty()) std::system(("rm -rf '" + dir + "'").c_str());
    }
    // A picture of the given size filled with one colour.
    IImage* picture(u32 w, u32 h, u32 argb) {
        IImage* p = driver->createImage(ECF_A8R8G8B8, core::dimension2d<u32>(w, h));
        p->fill(SColor(argb));
        return p;
    }
    // Writes the picture as a PNG file in the test's folder and drops it.
    std::string writePng(const char* name, IImage* p) {
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(driver->writeImageToFile(p, path.c_str()));
        p->drop();
        return path;
    }
    std::string writeBytes(const char* name, const std::string& bytes) {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // Texel (x, y) of a texture as 0xAARRGGBB, read back from the driver.
    static u32 texel(ITexture* t, u32 x, u32 y) {
        EXPECT_EQ(t->getColorFormat(), ECF_A8R8G8B8);
        const u8* data = static_cast<const u8*>(t->lock(ETLM_READ_ONLY));
        EXPECT_NE(data, nullptr);
        if (!data) return 0xDEADBEEF;
        const u32 value = reinterpret_cast<const u32*>(data + y * t->getPitch())[x];
        t->unlock();
        return value;
    }
    bool flag(E_TEXTURE_CREATION_FLAG f) { return driver->getTextureCreationFlag(f); }

    IrrlichtDevice* device = nullptr;
    IVideoDriver* driver = nullptr;
    Renderer2D* renderer = nullptr;
    std::string dir;
};

TEST_F(TextureTest, PictureIsPaddedToPowersOfTwoWithItsEdgeCopiedOutwards) {
    const std::string path = writePng("wide.png", picture(100, 50, RED));
    Image* image = renderer->loadImage(path.c_str(), 0xFFFFFFFFu);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixelWidth(), 100u);
    EXPECT_EQ(image->pixelHeight(), 50u);
    EXPECT_EQ(image->flags(), DEFAULT_IMAGE_FLAGS);
    ITexture* t = image->texture();
    EXPECT_EQ(t->getSize(), core::dimension2d<u32>(128, 64));
    EXPECT_EQ(image->texCoords()[0], core::vector2df(0.f, 0.f));
    EXPECT_FLOAT_EQ(image->texCoords()[1].X, 0.78125f);
    EXPECT_FLOAT_EQ(image->texCoords()[1].Y, 0.78125f);
    EXPECT_EQ(texel(t, 99, 49), RED);
    EXPECT_EQ(texel(t, 100, 10), RED);  // last column copied
    EXPECT_EQ(texel(t, 10, 50), RED);   // last row copied
    EXPECT_EQ(texel(t, 100, 50), RED);  // and the corner
    EXPECT_EQ(texel(t, 101, 10), 0u);   // the rest of the padding is transparent black
    EXPECT_EQ(texel(t, 10, 51), 0u);
    EXPECT_EQ(texel(t, 127, 63), 0u);
    delete image;
}

TEST_F(TextureTest, PowerOfTwoPictureIsUsedInPlace) {
    IImage* p = picture(256, 256, 0);
    p->setPixel(10, 10, SColor(BLUE));
    const std::string path = writePng("square.png", p);
    IImage* decoded = renderer->readPicture(path.c_str());
    ASSERT_NE(decoded, nullptr);
    Image* image = renderer->createImage("square", decoded, false, 0xFFFFFFFFu, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->texture()->getSize(), core::dimension2d<u32>(256, 256));
    EXPECT_EQ(image->texCoords()[1], core::vector2df(1.f, 1.f));
    // Bled in place: the caller's own picture changed.
    EXPECT_EQ(decoded->getPixel(11, 10).color, BLUE & 0x00FFFFFFu);
    EXPECT_EQ(decoded->getPixel(13, 10).color, 0u);
    decoded->drop();
    delete image;
}

TEST_F(TextureTest, TransparentTexelsTakeTheMeanOfTheirOpaqueNeighbours) {
    IImage* p = picture(8, 8, 0);
    p->setPixel(2, 2, SColor(RED));
    p->setPixel(4, 2, SColor(BLUE));
    Image* image = renderer->loadImage(writePng("dots.png", p).c_str(), 0xFFFFFFFFu);
    ASSERT_NE(image, nullptr);
    ITexture* t = image->texture();
    EXPECT_EQ(texel(t, 3, 2), 0x007F007Fu);  // red and blue, alpha stays 0
    EXPECT_EQ(texel(t, 3, 3), 0x007F007Fu);
    EXPECT_EQ(texel(t, 1, 2), 0x00FF0000u);
    EXPECT_EQ(texel(t, 5, 1), 0x000000FFu);
    EXPECT_EQ(texel(t, 2, 2), RED);
    EXPECT_EQ(texel(t, 7, 7), 0u);  // no opaque neighbour: unchanged
    delete image;
}

TEST_F(TextureTest, SixteenBitPicturesAreBledAndOpaqueOnesLeftAlone) {
    IImage* p = driver->createImage(ECF_A1R5G5B5, core::dimension2d<u32>(4, 4));
    p->fill(SColor(0));
    p->setPixel(0, 0, SColor(0xFFFF0000u));
    p->setPixel(2, 0, SColor(0xFF0000FFu));
    bleedEdgeColors(p, 4, 4);
    const u16 mixed = static_cast<const u16*>(p->lock())[1];
    p->unlock();
    EXPECT_EQ(mixed, u16((15 << 10) | 15));  // 31 / 2 red and blue, alpha bit clear
    p->drop();

    IImage* opaque = driver->createImage(ECF_R8G8B8, core::dimension2d<u32>(4, 4));
    opaque->fill(SColor(0xFF102030u));
    bleedEdgeColors(opaque, 3, 3);
    EXPECT_EQ(opaque->getPixel(3, 3).color, 0xFF102030u);
    opaque->drop();
}

TEST_F(TextureTest, SourceRectangleSelectsTheUsedArea) {
    IImage* p = picture(64, 64, RED);
    for (u32 y = 5; y < 15; ++y)
        for (u32 x = 10; x < 30; ++x) p->setPixel(x, y, SColor(BLUE));
    PictureRect rect;
    rect.x = 10;
    rect.y = 5;
    rect.width = 20;
    rect.height = 10;
    Image* image = renderer->createImage("part", p, true, TEX_BILINEAR, &rect);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixelWidth(), 20u);
    EXPECT_EQ(image->pixelHeight(), 10u);
    EXPECT_EQ(image->flags(), u32(TEX_BILINEAR));
    EXPECT_EQ(image->texture()->getSize(), core::dimension2d<u32>(32, 16));
    EXPECT_FLOAT_EQ(image->texCoords()[1].X, 0.625f);
    EXPECT_FLOAT_EQ(image->texCoords()[1].Y, 0.625f);
    EXPECT_EQ(texel(image->texture(), 0, 0), BLUE);
    EXPECT_EQ(texel(image->texture(), 19, 9), BLUE);
    delete image;
}

TEST_F(TextureTest, CreationFlagsAreTheSameAfterALoad) {
    const std::string path = writePng("flags.png", picture(16, 16, RED));
    for (bool on : {true, false}) {
        driver->setTextureCreationFlag(ETCF_CREATE_MIP_MAPS, on);
        driver->setTextureCreationFlag(ETCF_OPTIMIZED_FOR_QUALITY, !on);
        driver->setTextureCreationFlag(ETCF_NO_ALPHA_CHANNEL, on);
        EXPECT_EQ(renderer->loadImage((dir + "/missing.png").c_str(), 0xFFFFFFFFu), nullptr);
        Image* image = renderer->loadImage(path.c_str(), TEX_TRILINEAR);
        EXPECT_NE(image, nullptr);
        delete image;
        EXPECT_EQ(flag(ETCF_CREATE_MIP_MAPS), on);
        EXPECT_EQ(flag(ETCF_OPTIMIZED_FOR_QUALITY), !on);
        EXPECT_EQ(flag(ETCF_NO_ALPHA_CHANNEL), on);
    }
}

TEST_F(TextureTest, DefaultFlagsApplyToLaterImagesOnly) {
    const std::string path = writePng("default.png", picture(16, 16, RED));
    Image* before = renderer->loadImage(path.c_str(), 0xFFFFFFFFu);
    renderer->setDefaultFlags(TEX_REPEAT | DRAW_COLOR);
    Image* after = renderer->loadImage(path.c_str(), 0xFFFFFFFFu);
    Image* explicitFlags = renderer->loadImage(path.c_str(), TEX_BORDER);
    ASSERT_TRUE(before && after && explicitFlags);
    EXPECT_EQ(before->flags(), DEFAULT_IMAGE_FLAGS);
    EXPECT_EQ(after->flags(), u32(TEX_REPEAT | DRAW_COLOR));
    EXPECT_EQ(explicitFlags->flags(), u32(TEX_BORDER));
    // No cache: the same file loaded twice gives two textures.
    EXPECT_NE(before->texture(), after->texture());
    delete before;
    delete after;
    delete explicitFlags;
}

TEST_F(TextureTest, OpenFileFormLoadsTheSamePicture) {
    const std::string path = writePng("file.png", picture(30, 20, BLUE));
    io::IReadFile* file = device->getFileSystem()->createAndOpenFile(path.c_str());
    ASSERT_NE(file, nullptr);
    Image* image = renderer->loadImage("file", file, 0xFFFFFFFFu);
    file->drop();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->texture()->getSize(), core::dimension2d<u32>(32, 32));
    EXPECT_EQ(texel(image->texture(), 29, 19), BLUE);
    delete image;
    EXPECT_EQ(renderer->loadImage("none", static_cast<io::IReadFile*>(nullptr), 0xFFFFFFFFu),
              nullptr);
}

TEST_F(TextureTest, BrokenFilesGiveNoImage) {
    const std::string good = writePng("good.png", picture(40, 40, RED));
    std::string bytes;
    {
        std::ifstream in(good, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(bytes.size(), 60u);
    const std::string broken[] = {
        writeBytes("empty.png", ""),
        writeBytes("garbage.png", std::string(500, '\x7f')),
        writeBytes("truncated.png", bytes.substr(0, bytes.size() / 2)),
        writeBytes("header-only.png", bytes.substr(0, 33)),
    };
    for (const std::string& path : broken) {
        EXPECT_EQ(renderer->loadImage(path.c_str(), 0xFFFFFFFFu), nullptr) << path;
    }
    EXPECT_EQ(renderer->loadImage(dir.c_str(), 0xFFFFFFFFu), nullptr);  // a folder
}

}  // namespace
