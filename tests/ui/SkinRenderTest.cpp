// The button skin drawn through the real renderer and OpenGL driver (under Xvfb), read back
// from the frame: each state shows its own picture at the widget's corner, transparent parts
// show the background, and a pass that is not drawing leaves the frame untouched.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "render/Image.h"
#include "render/Renderer2D.h"
#include "tests/common/TestDevice.h"
#include "ui/ButtonSkin.h"
#include "ui/UiContext.h"

namespace {

constexpr int FRAME_W = 320;
constexpr int FRAME_H = 240;
// Light blue, as behind the scene.
const irr::video::SColor BACKGROUND(255, 170, 200, 240);
// Largest per-channel difference accepted between a drawn and an expected pixel.
constexpr int TOLERANCE = 3;

struct Rgb {
    int r, g, b;
};

// Clears the frame, lets draw put things through the renderer, and reads the back buffer
// before the swap (top row first).
std::vector<unsigned char> renderFrame(irr::IrrlichtDevice* device, Renderer2D& renderer,
                                       const std::function<void()>& draw) {
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    driver->beginScene(true, false, BACKGROUND);
    renderer.beginFrame();
    draw();
    renderer.endFrame();
    std::vector<unsigned char> bottomUp(size_t(FRAME_W) * FRAME_H * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, FRAME_W, FRAME_H, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    driver->endScene();
    std::vector<unsigned char> rows(bottomUp.size());
    for (int y = 0; y < FRAME_H; ++y)
        std::copy_n(&bottomUp[size_t(FRAME_H - 1 - y) * FRAME_W * 4], FRAME_W * 4,
                    &rows[size_t(y) * FRAME_W * 4]);
    return rows;
}

Rgb at(const std::vector<unsigned char>& frame, int x, int y) {
    const unsigned char* p = &frame[(size_t(y) * FRAME_W + size_t(x)) * 4];
    return {p[0], p[1], p[2]};
}

// The picture's pixel put over the background with its alpha.
Rgb over(irr::video::IImage* picture, int x, int y) {
    const irr::video::SColor c = picture->getPixel(irr::u32(x), irr::u32(y));
    const float a = float(c.getAlpha()) / 255.f;
    auto mix = [a](irr::u32 fg, irr::u32 bg) { return int(float(fg) * a + float(bg) * (1 - a) + 0.5f); };
    return {mix(c.getRed(), BACKGROUND.getRed()), mix(c.getGreen(), BACKGROUND.getGreen()),
            mix(c.getBlue(), BACKGROUND.getBlue())};
}

bool near(const Rgb& p, const Rgb& q) {
    return std::abs(p.r - q.r) <= TOLERANCE && std::abs(p.g - q.g) <= TOLERANCE &&
           std::abs(p.b - q.b) <= TOLERANCE;
}

std::string str(const Rgb& p) {
    return std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b);
}

}  // namespace

TEST(SkinRender, EachButtonStateShowsItsPictureAtTheWidgetCorner) {
    irr::IrrlichtDevice* device = testing_support::createTestDevice(FRAME_W, FRAME_H);
    TUMELORA_REQUIRE_DEVICE(device);
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    ASSERT_EQ(driver->getScreenSize().Width, irr::u32(FRAME_W));
    {
        Renderer2D renderer(device, DEFAULT_QUAD_CAPACITY);
        const char* names[4] = {"button.png", "button-hot.png", "button-active.png",
                                "button-hot-active.png"};
        Image* images[4] = {};
        irr::video::IImage* pictures[4] = {};
        for (int i = 0; i < 4; ++i) {
            const std::string path = std::string(TUMELORA_SOURCE_DIR) + "/data/" + names[i];
            images[i] = renderer.loadImage(path.c_str(), 0xFFFFFFFFu);
            pictures[i] = driver->createImageFromFile(path.c_str());
            ASSERT_NE(images[i], nullptr) << names[i];
            ASSERT_NE(pictures[i], nullptr) << names[i];
        }
        ButtonSkin skin(nullptr, images[0], images[1], images[2], images[3]);
        const int x0 = 20, y0 = 30;
        std::vector<Rgb> samples[4];
        for (int state = 0; state < 4; ++state) {
            const auto frame = renderFrame(device, renderer, [&] {
                UiContext ui;
                ui.beginPass(0, 0, true);
                skin.draw(ui, state, float(x0), float(y0), 0, 0, nullptr, nullptr);
            });
            // Sample rows and columns across the whole picture, edges and corners included.
            for (int py = 0; py < 40; py += 3)
                for (int px = 0; px < 144; px += 7) {
                    const Rgb got = at(frame, x0 + px, y0 + py);
                    samples[state].push_back(got);
                    const Rgb want = over(pictures[state], px, py);
                    ASSERT_TRUE(near(got, want)) << names[state] << " at " << px << "," << py
                                                 << ": " << str(got) << " vs " << str(want);
                }
            // Around the widget the background is untouched.
            EXPECT_TRUE(near(at(frame, x0 - 1, y0 + 20), over(pictures[0], 0, 0)));
            EXPECT_TRUE(near(at(frame, x0 + 144, y0 + 20), over(pictures[0], 0, 0)));
            EXPECT_TRUE(near(at(frame, x0 + 70, y0 + 40), over(pictures[0], 0, 0)));
        }
        // The four states look different from one another on screen.
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j) {
                size_t differing = 0;
                for (size_t k = 0; k < samples[i].size(); ++k)
                    if (!near(samples[i][k], samples[j][k])) ++differing;
                EXPECT_GT(differing, samples[i].size() / 20) << "states " << i << " and " << j;
            }
        // The corner of the rounded face is transparent: the background shows.
        EXPECT_EQ(pictures[0]->getPixel(0, 0).getAlpha(), 0u);

        // Not a drawing pass: the frame stays the background everywhere.
        const auto blank = renderFrame(device, renderer, [&] {
            UiContext ui;
            ui.beginPass(0, 0, false);
            skin.draw(ui, 0, float(x0), float(y0), 0, 0, nullptr, nullptr);
        });
        for (int py = 0; py < FRAME_H; py += 5)
            for (int px = 0; px < FRAME_W; px += 5)
                ASSERT_TRUE(near(at(blank, px, py), {170, 200, 240})) << px << "," << py;

        for (int i = 0; i < 4; ++i) {
            delete images[i];
            pictures[i]->drop();
        }
    }
    device->drop();
}
