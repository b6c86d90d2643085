#pragma once
// Shared by the main state's tests: a real OpenGL device and Application (renderer), a fresh
// working folder holding a copy of the bundled font and skin pictures, test actors written
// as real picture files with real data files, a short test music, and audio through SDL's
// disk driver (so the sound layer really plays, into a file).
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "actors/ActorDataFile.h"
#include "app/Application.h"
#include "platform/FSound.h"
#include "render/Image.h"
#include "render/Renderer2D.h"
#include "states/MainState.h"
#include "states/StateAccess.h"
#include "tests/common/TestDevice.h"
#include "tests/common/ToneOgg.h"
#include "ui/ButtonSkin.h"

namespace state_test {

namespace fs = std::filesystem;
using namespace irr;

// A track of n poses whose x grows by step per frame from x0 (y, rotation, scale fixed).
inline std::vector<ActorPose> rampTrack(int n, float x0 = 2.f, float step = 0.f, float y = 3.f) {
    std::vector<ActorPose> poses;
    for (int i = 0; i < n; ++i) poses.push_back(ActorPose{{x0 + step * float(i), y}, 0.f, {1.f, 1.f}});
    return poses;
}

// The bytes of a file (empty when it cannot be read).
inline std::vector<uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One device and application per test program; each test gets its own working folder.
class MainStateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        device = testing_support::createTestDevice(1280, 720);
        if (!device) return;
        app = new Application(device);
        if (!app->init(device)) {
            delete app;
            app = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete app;
        app = nullptr;
        if (device) device->drop();
        device = nullptr;
    }

    void SetUp() override {
        if (!device || !app) GTEST_SKIP() << "no display: OpenGL device unavailable";
        oldCwd = fs::current_path();
        char tmpl[] = "/tmp/tumelora-state-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        folder = tmpl;
        fs::create_directories(folder / "data" / "actors");
        copyBundledData();
        fs::current_path(folder);
        const std::string audio = (folder / "audio.raw").string();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
        // The missing-music and missing-font cases print their error; a box would wait for a user.
        setenv("TUMELORA_NO_ERROR_BOX", "1", 1);
        // The user's settings of the test's own, not those of whoever runs it.
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        musicEnded = false;
        app->setRunning(true);
    }

    void TearDown() override {
        if (!device || !app) return;
        if (initialised) state.shutdown();
        musicEnded = false;
        app->setRunning(true);
        if (gui::ICursorControl* cursor = device->getCursorControl()) cursor->setVisible(true);
        fs::current_path(oldCwd);
        std::error_code ec;
        fs::remove_all(folder, ec);
    }

    // The font (with its page pictures) and the ten skin pictures from the source tree.
    void copyBundledData() {
        const fs::path src = fs::path(TUMELORA_SOURCE_DIR) / "data";
        const fs::path dst = folder / "data";
        for (const char* file : SKIN_PICTURE_FILES) {
            const fs::path name = fs::path(file).filename();
            fs::copy_file(src / name, dst / name, fs::copy_options::overwrite_existing);
        }
        const fs::path fnt = fs::path(FONT_FILE).filename();
        fs::copy_file(src / fnt, dst / fnt, fs::copy_options::overwrite_existing);
        for (const std::string& page : fontPages(src / fnt))
            fs::copy_file(src / page, dst / page, fs::copy_options::overwrite_existing);
    }

    // The page picture names a BMFont text file lists (its file="..." entries).
    static std::vector<std::string> fontPages(const fs::path& fnt) {
        std::vector<std::string> pages;
        std::ifstream in(fnt);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("page ", 0) != 0) continue;
            const size_t a = line.find("file=\"");
            const size_t b = a == std::string::npos ? a : line.find('"', a + 6);
            if (b != std::string::npos) pages.push_back(line.substr(a + 6, b - a - 6));
        }
        return pages;
    }

    // Writes a solid picture file (PNG or JPEG by its extension) of w x h pixels.
    void writePicture(const std::string& name, u32 w, u32 h, u32 argb = 0xFFCC3322) {
        video::IVideoDriver* driver = device->getVideoDriver();
        video::IImage* picture =
            driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(w, h));
        ASSERT_NE(picture, nullptr);
        picture->fill(video::SColor(argb));
        const std::string path = (folder / "data" / "actors" / name).string();
        const bool written = driver->writeImageToFile(picture, path.c_str());
        picture->drop();
        ASSERT_TRUE(written) << path;
    }

    // Writes the data file of actor name with the given track and flags.
    void writeTrack(const std::string& name, const std::vector<ActorPose>& poses,
                    bool bindScale = false, bool wobble = false) {
        const std::vector<uint8_t> bytes = encodeActorData(poses, bindScale, wobble);
        std::ofstream out(folder / "data" / "actors" / (name + ".data"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        ASSERT_TRUE(out.good());
    }

    // An actor picture (80 x 80 pixels, one scene unit) with a track.
    void addActor(const std::string& name, const std::vector<ActorPose>& poses,
                  u32 w = 80, u32 h = 80) {
        writePicture(name + ".png", w, h);
        writeTrack(name, poses);
    }

    // Writes the music file: a sine tone of the given length.
    void writeMusic(double seconds) {
        ASSERT_TRUE(testing_support::writeToneOgg(MUSIC_FILE, seconds));
    }

    // Runs init (the working folder must be ready).
    bool initState() {
        initialised = true;
        return state.init();
    }

    // Mouse input at (x, y) screen pixels.
    void mouse(irr::EMOUSE_INPUT_EVENT event, int x, int y) {
        SEvent::SMouseInput m{};
        m.X = x;
        m.Y = y;
        m.Event = event;
        if (event == EMIE_MOUSE_MOVED)
            state.mouseMove(&m);
        else if (event == EMIE_LMOUSE_PRESSED_DOWN || event == EMIE_RMOUSE_PRESSED_DOWN)
            state.mouseDown(&m);
        else
            state.mouseUp(&m);
    }
    void moveTo(int x, int y) { mouse(EMIE_MOUSE_MOVED, x, y); }
    void press(int x, int y) { mouse(EMIE_LMOUSE_PRESSED_DOWN, x, y); }
    void release(int x, int y) { mouse(EMIE_LMOUSE_LEFT_UP, x, y); }
    // Moves to (x, y), presses and releases there.
    void click(int x, int y) {
        moveTo(x, y);
        press(x, y);
        release(x, y);
    }

    // Panel layout on the 1280 x 720 test screen (the stage fills it).
    float rowStep() const { return play.buttonSkin()->height() + 2.f; }
    // A point inside the button whose top-left corner is at (x, y).
    void clickButtonAt(float x, float y) { click(int(x) + 5, int(y) + 5); }
    void clickPlay() { clickButtonAt(0.f, 0.f); }
    void clickRewind() { clickButtonAt(play.buttonSkin()->width() + 2.f, 0.f); }
    void clickRec() { clickButtonAt(0.f, rowStep()); }
    void clickStop() { clickButtonAt(0.f, rowStep() * 0.5f); }
    void clickSave() { clickButtonAt(0.f, 720.f - rowStep()); }
    void clickReset() { clickButtonAt(0.f, rowStep() * 5.f); }
    // Screen pixel of a scene position.
    static int px(float sceneUnits) { return int(sceneUnits * 80.f); }

    static IrrlichtDevice* device;
    static Application* app;
    MainState state;
    // What the tests read and change of the state: the same declared interface the editor uses.
    StateAccess play{state};
    bool initialised = false;
    fs::path oldCwd;
    fs::path folder;
};

inline IrrlichtDevice* MainStateTest::device = nullptr;
inline Application* MainStateTest::app = nullptr;

}  // namespace state_test
