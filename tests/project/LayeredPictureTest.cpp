// Layered pictures become actors: the layers of a drawing saved by Krita, as OpenRaster and
// as Photoshop (through the import helper), read bottom first with their group names and
// places, hidden ones left out, names cut at their NUL byte; and the stack rules on a
// hand-written stack.xml.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "project/ActorFiles.h"
#include "project/OpenRaster.h"
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

}  // namespace
