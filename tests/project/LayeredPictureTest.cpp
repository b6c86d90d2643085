// Layered pictures become actors: the layers of a drawing saved by Krita, as OpenRaster and
// as Photoshop (through the import helper), read bottom first with their group names and
// places, hidden ones left out, names cut at their NUL byte; the stack rules on a
// hand-written stack.xml; and pictures exported one per layer, trimmed and placed where they
// sat on their canvas, with the other pictures packed clear of each other.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "project/ActorFiles.h"
#include "project/OpenRaster.h"
#include "project/PictureImport.h"
#include "project/Placement.h"
#include "project/ProjectPaths.h"

namespace fs = std::filesystem;

namespace {

// The Krita drawing's folder, or empty when the shared fixtures are not beside the source tree.
fs::path fixtures() {
    const fs::path folder = fs::path(TUMELORA_SOURCE_DIR) / ".." / "shared" / "fixtures" / "krita-puppet";
    return fs::exists(folder / "puppet.ora") ? folder : fs::path();
}

// A private folder with copies of the fixtures, removed at the end.
class KritaPuppet : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path source = fixtures();
        if (source.empty()) GTEST_SKIP() << "no ../shared/fixtures/krita-puppet beside the source tree";
        folder = fs::temp_directory_path() / ("tumelora-layers-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        for (const char* name : {"puppet.ora", "puppet.psd"})
            fs::copy_file(source / name, folder / name, fs::copy_options::overwrite_existing);
    }
    void TearDown() override {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }

    // The layers as actors would be named, with their places.
    static void expectPuppet(const LayeredPicture& picture) {
        EXPECT_EQ(picture.width, 1000);
        EXPECT_EQ(picture.height, 800);
        ASSERT_EQ(picture.layers.size(), 3u);  // "sketch" is hidden
        const char* names[] = {"body", "arm-upper", "arm-lower"};
        const long places[][2] = {{400, 300}, {560, 300}, {570, 440}};
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(actorNameFor(picture.layers[i].name), names[i]) << i;
            EXPECT_EQ(picture.layers[i].x, places[i][0]) << names[i];
            EXPECT_EQ(picture.layers[i].y, places[i][1]) << names[i];
            EXPECT_FALSE(picture.layers[i].bytes.empty()) << names[i];
        }
    }

    fs::path folder;
};

TEST_F(KritaPuppet, OpenRasterGivesTheVisibleLayersBottomFirst) {
    LayeredPicture picture;
    std::string error;
    ASSERT_TRUE(readOpenRaster((folder / "puppet.ora").string(), picture, error)) << error;
    expectPuppet(picture);
}

TEST_F(KritaPuppet, PhotoshopGoesThroughTheImportHelperToTheSameLayers) {
    const std::string helper = psdImportHelper();
    ASSERT_FALSE(helper.empty()) << "the import helper is missing from the source tree";
    const std::string converted = (folder / "puppet-psd.ora").string();
    // The sanitizer build preloads its runtime into the test programs; Python, run as the
    // helper, must not inherit it (it would report the interpreter's own blocks and fail).
    unsetenv("LD_PRELOAD");
    const ProcessResult run = runProcess(helper, {(folder / "puppet.psd").string(), converted});
    ASSERT_TRUE(run.succeeded()) << run.failure();
    LayeredPicture picture;
    std::string error;
    ASSERT_TRUE(readOpenRaster(converted, picture, error)) << error;
    expectPuppet(picture);
    // Krita ends each name with a NUL byte: it never reaches a name.
    for (const PictureLayer& layer : picture.layers) EXPECT_EQ(layer.name.find('\0'), std::string::npos);

    // A file that is not a Photoshop file: the helper fails and says so.
    const ProcessResult wrong = runProcess(helper, {(folder / "puppet.ora").string(), converted});
    EXPECT_FALSE(wrong.succeeded());
    EXPECT_NE(wrong.failure().find("not a readable Photoshop file"), std::string::npos) << wrong.failure();
}

TEST(OpenRasterStack, GroupsOffsetsHiddenStacksAndBrokenText) {
    const std::string xml =
        "<image w='640' h='480'><stack name=''>"
        "<layer name='top' src='t.png' x='1' y='2'/>"
        "<stack name='arm' x='10' y='20'>"
        "  <layer name='hand' src='h.png' x='5' y='5'/>"
        "  <text>not a layer</text>"
        "</stack>"
        "<stack name='old' visibility='hidden'><layer name='ghost' src='g.png'/></stack>"
        "<layer name='ground' src='b.png'/>"
        "</stack></image>";
    LayerStack stack;
    std::string error;
    ASSERT_TRUE(parseOpenRasterStack(xml.data(), xml.size(), stack, error)) << error;
    EXPECT_EQ(stack.width, 640);
    ASSERT_EQ(stack.layers.size(), 4u);
    EXPECT_EQ(stack.layers[0].source, "b.png");  // bottom first
    EXPECT_FALSE(stack.layers[1].visible);       // inside the hidden stack
    EXPECT_EQ(stack.layers[2].names, (std::vector<std::string>{"", "arm", "hand"}));
    EXPECT_EQ(stack.layers[2].x, 15);            // the stack's offset added
    EXPECT_EQ(stack.layers[2].y, 25);
    EXPECT_EQ(stack.layers[3].source, "t.png");

    for (const std::string bad : {"<image w='640' h='480'><stack>", "<image h='480'/>",
                                  "<image w='9' h='9'><layer src='a.png' x='left'/></image>",
                                  "<svg/>", ""}) {
        error.clear();
        EXPECT_FALSE(parseOpenRasterStack(bad.data(), bad.size(), stack, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

// A private folder with pictures written through the engine, removed at the end.
class PictureFolder : public ::testing::Test {
protected:
    void SetUp() override {
        irr::SIrrlichtCreationParameters p;
        p.DriverType = irr::video::EDT_NULL;
        p.LoggingLevel = irr::ELL_NONE;
        device = irr::createDeviceEx(p);
        ASSERT_NE(device, nullptr);
        folder = fs::temp_directory_path() / ("tumelora-canvas-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "work");
    }
    void TearDown() override {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
        if (device) device->drop();
    }

    // A filled rectangle of a picture, in its pixels, with its colour (0xAARRGGBB).
    struct Patch {
        irr::s32 x, y, w, h;
        irr::u32 argb;
    };
    // Writes a w x h picture (PNG or JPEG by the name's extension), transparent but for the
    // patches; its path.
    std::string write(const std::string& name, irr::u32 w, irr::u32 h, const std::vector<Patch>& patches) {
        irr::video::IVideoDriver* driver = device->getVideoDriver();
        irr::video::IImage* picture =
            driver->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2d<irr::u32>(w, h));
        picture->fill(irr::video::SColor(0));
        for (const Patch& patch : patches)
            for (irr::s32 y = patch.y; y < patch.y + patch.h; ++y)
                for (irr::s32 x = patch.x; x < patch.x + patch.w; ++x)
                    picture->setPixel(irr::u32(x), irr::u32(y), irr::video::SColor(patch.argb));
        const std::string path = (folder / name).string();
        EXPECT_TRUE(driver->writeImageToFile(picture, path.c_str(), 100)) << path;
        picture->drop();
        return path;
    }

    irr::IrrlichtDevice* device = nullptr;
    fs::path folder;
};

// The stage pixels an actor's picture covers at its (unturned) pose.
RectF covered(const PlannedActor& a) {
    const double x = a.pose.position.X * kSceneUnitPixels, y = a.pose.position.Y * kSceneUnitPixels;
    const double w = a.width * a.pose.scale.X, h = a.height * a.pose.scale.Y;
    return RectF(float(x - w / 2), float(y - h / 2), float(w), float(h));
}

// True when two stage areas share a pixel.
bool overlap(const RectF& a, const RectF& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TEST_F(PictureFolder, LayersExportedOnePerFileStandWhereTheySatAndOtherPicturesApart) {
    // A 1000 x 800 canvas exported one layer per file: fitted to the 1280 x 720 stage it is
    // scaled by 0.9 and stands 190 px from the left. An empty layer is left out.
    const irr::u32 red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;
    const std::vector<std::string> pictures = {
        write("body.png", 1000, 800, {{400, 200, 200, 300, red}}),
        write("logo.png", 240, 160, {{0, 0, 240, 160, 0xFFFFFF00}}),
        write("arm.png", 1000, 800, {{600, 250, 150, 40, green}, {740, 280, 10, 30, 0x80008000}}),
        write("sketch.png", 1000, 800, {}),
        write("photo.jpg", 400, 300, {{0, 0, 400, 300, 0xFF336699}}),
        write("leg.png", 1000, 800, {{420, 500, 60, 250, blue}}),
        // Same size but nothing to trim: pictures, not layers.
        write("tile-a.png", 200, 200, {{0, 0, 200, 200, 0xFF808080}}),
        write("tile-b.png", 200, 200, {{0, 0, 200, 200, 0xFF404040}}),
        write("badge.png", 120, 120, {{20, 20, 80, 80, 0xFFFF00FF}}),
    };
    // An actor of the project already there, at the stage's top-left corner.
    write("000-old.png", 200, 100, {{0, 0, 200, 100, red}});
    ExistingActors existing;
    existing.folder = folder.string() + "/";
    existing.pictures = {"000-old.png"};
    ActorPose old = ActorPose::defaultPose();
    old.position.set(140.f / kSceneUnitPixels, 80.f / kSceneUnitPixels);  // covers (40, 30)-(240, 130)
    existing.firstPoses = {old};

    std::vector<PlannedActor> actors;
    ProjectFailure failure;
    ASSERT_TRUE(planActors(pictures, (folder / "work").string(), existing, actors, failure))
        << failure.file << ": " << failure.reason;
    std::vector<std::string> names;
    for (const PlannedActor& a : actors) names.push_back(a.name);
    EXPECT_EQ(names, (std::vector<std::string>{"body", "logo", "arm", "photo", "leg", "tile-a", "tile-b", "badge"}));
    ASSERT_EQ(actors.size(), 8u);

    // Each layer stored trimmed to its visible pixels, centred where it sat: (190 + 0.9 x,
    // 0.9 y) on the stage for canvas pixel (x, y).
    struct Layer {
        size_t index;
        double w, h, stageX, stageY;
        irr::u32 topLeft;
    };
    for (const Layer& layer : {Layer{0, 200, 300, 190 + 0.9 * 500, 0.9 * 350, red},
                               Layer{2, 150, 60, 190 + 0.9 * 675, 0.9 * 280, green},
                               Layer{4, 60, 250, 190 + 0.9 * 450, 0.9 * 625, blue}}) {
        PlannedActor& a = actors[layer.index];
        SCOPED_TRACE(a.name);
        EXPECT_TRUE(a.layered);
        EXPECT_EQ(a.extension, ".png");
        EXPECT_EQ(a.width, layer.w);
        EXPECT_EQ(a.height, layer.h);
        EXPECT_NEAR(a.pose.position.X * kSceneUnitPixels, layer.stageX, 1e-3);
        EXPECT_NEAR(a.pose.position.Y * kSceneUnitPixels, layer.stageY, 1e-3);
        EXPECT_FLOAT_EQ(a.pose.scale.X, 0.9f);
        EXPECT_FLOAT_EQ(a.pose.scale.Y, 0.9f);
        irr::io::IReadFile* file = device->getFileSystem()->createMemoryReadFile(
            a.bytes.data(), irr::s32(a.bytes.size()), "layer.png", false);
        irr::video::IImage* stored = device->getVideoDriver()->createImageFromFile(file);
        file->drop();
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->getDimension(), irr::core::dimension2d<irr::u32>(irr::u32(layer.w), irr::u32(layer.h)));
        EXPECT_EQ(stored->getPixel(0, 0).color, layer.topLeft);
        stored->drop();
    }

    // The other pictures at full size inside the stage, clear of each other, of the layers
    // and of the actor already there.
    std::vector<RectF> taken = {RectF(40, 30, 200, 100)};
    for (const size_t i : {0, 2, 4}) taken.push_back(covered(actors[i]));
    for (const size_t i : {1, 3, 5, 6, 7}) {
        const PlannedActor& a = actors[i];
        SCOPED_TRACE(a.name);
        EXPECT_FALSE(a.layered);
        EXPECT_EQ(a.pose.scale.X, 1.f);
        const RectF area = covered(a);
        EXPECT_GE(area.x, 0.f);
        EXPECT_GE(area.y, 0.f);
        EXPECT_LE(area.x + area.width, 1280.f);
        EXPECT_LE(area.y + area.height, 720.f);
        for (const RectF& other : taken)
            EXPECT_FALSE(overlap(area, other)) << area.x << ", " << area.y << " over " << other.x << ", " << other.y;
        taken.push_back(area);
    }
    EXPECT_EQ(actors[6].width, 200);  // not trimmed
}

}  // namespace
