// export_test_tool: helpers of the export's end-to-end tests.
//   scene FOLDER FRAMES   writes FOLDER/data/actors/: flat-coloured actors whose tracks move,
//                         turn and scale during the first two thirds of FRAMES frames and
//                         then hold still (so the player, resting on the last frame, shows
//                         the same picture as the video's last frame)
//   compare A B W H TOL   compares two raw RGB24 pictures of W x H pixels the way video
//                         keeps them: brightness per pixel, colour per 8 x 8 block; exit 0
//                         when (nearly) all of both are within TOL
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "actors/ActorDataFile.h"

using namespace irr;

namespace {

// Share of the pixels whose brightness may differ by more than the tolerance (the ringing
// of lossy video along sharp edges).
constexpr double MAX_BRIGHTNESS_SHARE = 0.001;
// Size of the blocks whose mean colours are compared, and the share of them that may differ
// by more than the tolerance (colour edges that video smears at half resolution).
constexpr int COLOUR_BLOCK = 8;
constexpr double MAX_COLOUR_SHARE = 0.01;
// Share of the animation during which the actors move.
constexpr double MOVING_SHARE = 2.0 / 3.0;

// One test actor: a flat picture and where it goes.
struct TestActor {
    const char* name;
    u32 width, height, argb;
    float x0, y0, x1, y1;   // scene units, start and end
    float turn;             // radians turned by the end
    float scale1;           // scale factor at the end
};

const TestActor ACTORS[] = {
    {"a_red", 160, 120, 0xFFD02020, 2.f, 2.f, 11.f, 6.f, 0.8f, 1.5f},
    {"b_green", 100, 200, 0xFF20B040, 14.f, 5.f, 4.f, 3.f, -1.2f, 0.6f},
    {"c_yellow", 240, 60, 0xFFE0D010, 8.f, 8.f, 8.f, 1.5f, 3.1f, 1.f},
};

int writeScene(const std::string& folder, int frames) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    if (!device) return 1;
    video::IVideoDriver* driver = device->getVideoDriver();
    const std::string actors = folder + "/data/actors/";
    const int moving = int(frames * MOVING_SHARE);
    for (const TestActor& a : ACTORS) {
        video::IImage* picture =
            driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(a.width, a.height));
        picture->fill(video::SColor(a.argb));
        const std::string png = actors + a.name + ".png";
        const bool written = driver->writeImageToFile(picture, png.c_str());
        picture->drop();
        if (!written) {
            std::fprintf(stderr, "cannot write %s\n", png.c_str());
            device->drop();
            return 1;
        }
        std::vector<ActorPose> poses;
        for (int i = 0; i < frames; ++i) {
            const float t = i >= moving ? 1.f : float(i) / float(moving);
            ActorPose p;
            p.position.set(a.x0 + (a.x1 - a.x0) * t, a.y0 + (a.y1 - a.y0) * t);
            p.rotation = a.turn * t;
            const float s = 1.f + (a.scale1 - 1.f) * t;
            p.scale.set(s, s);
            poses.push_back(p);
        }
        const std::vector<uint8_t> bytes = encodeActorData(poses, false, false);
        std::ofstream out(actors + a.name + ".data", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out.good()) {
            device->drop();
            return 1;
        }
    }
    device->drop();
    return 0;
}

std::vector<unsigned char> readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Brightness of pixel p (HD video weights), in 0 .. 255.
double luma(const std::vector<unsigned char>& x, size_t p) {
    return 0.2126 * x[p * 3] + 0.7152 * x[p * 3 + 1] + 0.0722 * x[p * 3 + 2];
}

int compare(const char* a, const char* b, int w, int h, int tolerance) {
    const std::vector<unsigned char> x = readAll(a), y = readAll(b);
    const size_t size = size_t(w) * size_t(h) * 3;
    if (w <= 0 || h <= 0 || x.size() != size || y.size() != size) {
        std::fprintf(stderr, "compare: sizes %zu and %zu, expected %zu\n", x.size(), y.size(), size);
        return 2;
    }
    // Brightness, pixel by pixel (video keeps it at full resolution).
    long brightOff = 0;
    for (size_t p = 0; p < size_t(w) * h; ++p)
        if (std::fabs(luma(x, p) - luma(y, p)) > tolerance) ++brightOff;
    // Colour, as the mean of each block (video keeps it at half resolution).
    long blocks = 0, colourOff = 0;
    for (int by = 0; by + COLOUR_BLOCK <= h; by += COLOUR_BLOCK) {
        for (int bx = 0; bx + COLOUR_BLOCK <= w; bx += COLOUR_BLOCK) {
            long sum[2][3] = {};
            for (int py = by; py < by + COLOUR_BLOCK; ++py) {
                for (int px = bx; px < bx + COLOUR_BLOCK; ++px) {
                    const size_t p = (size_t(py) * w + px) * 3;
                    for (int c = 0; c < 3; ++c) {
                        sum[0][c] += x[p + c];
                        sum[1][c] += y[p + c];
                    }
                }
            }
            int d = 0;
            for (int c = 0; c < 3; ++c)
                d = std::max(d, int(std::labs(sum[0][c] - sum[1][c]) / (COLOUR_BLOCK * COLOUR_BLOCK)));
            ++blocks;
            if (d > tolerance) ++colourOff;
        }
    }
    const double brightShare = double(brightOff) / (double(w) * h);
    const double colourShare = double(colourOff) / double(blocks);
    std::printf("compare: %.4f %% of pixels differ in brightness, %.4f %% of %dx%d blocks in "
                "colour, by more than %d\n",
                brightShare * 100.0, colourShare * 100.0, COLOUR_BLOCK, COLOUR_BLOCK, tolerance);
    return brightShare <= MAX_BRIGHTNESS_SHARE && colourShare <= MAX_COLOUR_SHARE ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "scene" && argc == 4) return writeScene(argv[2], std::atoi(argv[3]));
    if (command == "compare" && argc == 7)
        return compare(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
    std::fprintf(stderr, "usage: export_test_tool scene FOLDER FRAMES | compare A B W H TOL\n");
    return 2;
}
