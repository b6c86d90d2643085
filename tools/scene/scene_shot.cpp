// scene_shot: works on X window dumps (xwd) of the program playing the bundled scene.
//   scene_shot png SHOT.xwd OUT.png      writes the dump as a PNG (the README's screenshot)
//   scene_shot check SHOT.xwd STAGE.jpg  checks that the frame shows the scene: the backdrop,
//                                        and the actors over it, in their colours, where they stand
// The stage is the 1280 x 720 area centred in the dump. Exit code 0 when the check passes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/PngFile.h"
#include "tools/scene/JpegFile.h"
#include "tools/scene/SceneModel.h"

using namespace scene;

namespace {

// An RGB picture, 3 bytes per pixel, rows top to bottom.
struct Rgb8 {
    int w = 0, h = 0;
    std::vector<uint8_t> px;
    const uint8_t* at(int x, int y) const { return &px[(size_t(y) * size_t(w) + size_t(x)) * 3]; }
};

// Bytes of the fixed part of an XWD header: 25 big-endian 32-bit fields.
constexpr size_t kXwdHeaderFields = 25;
constexpr uint32_t kXwdVersion = 7;
constexpr uint32_t kZPixmap = 2;
// Size of one colour map entry in the dump.
constexpr size_t kXwdColourSize = 12;
// The largest dump side accepted.
constexpr uint32_t kMaxSide = 16384;

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// The shift of a colour mask's lowest set bit.
int maskShift(uint32_t m) {
    int s = 0;
    while (m && !(m & 1)) m >>= 1, ++s;
    return s;
}

// Reads a 24- or 32-bit TrueColor ZPixmap dump, as xwd writes it; false on anything else.
bool readXwd(const char* path, Rgb8& out) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (f.size() < kXwdHeaderFields * 4) return false;
    uint32_t h[kXwdHeaderFields];
    for (size_t i = 0; i < kXwdHeaderFields; ++i) h[i] = be32(&f[i * 4]);
    const uint32_t headerSize = h[0], version = h[1], format = h[2], width = h[4], height = h[5];
    const uint32_t byteOrder = h[7], bpp = h[11], bytesPerLine = h[12];
    const uint32_t rMask = h[14], gMask = h[15], bMask = h[16], colours = h[19];
    if (version != kXwdVersion || format != kZPixmap || (bpp != 32 && bpp != 24)) return false;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return false;
    const size_t start = size_t(headerSize) + size_t(colours) * kXwdColourSize;
    const size_t bytes = bpp / 8;
    if (bytesPerLine < width * bytes || start > f.size() || (f.size() - start) / bytesPerLine < height) return false;
    out.w = int(width);
    out.h = int(height);
    out.px.assign(size_t(width) * height * 3, 0);
    const int rs = maskShift(rMask), gs = maskShift(gMask), bs = maskShift(bMask);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = &f[start + size_t(y) * bytesPerLine];
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + size_t(x) * bytes;
            uint32_t v = 0;
            for (size_t k = 0; k < bytes; ++k) v |= uint32_t(p[byteOrder == 0 ? k : bytes - 1 - k]) << (8 * k);
            uint8_t* o = &out.px[(size_t(y) * width + x) * 3];
            o[0] = uint8_t((v & rMask) >> rs);
            o[1] = uint8_t((v & gMask) >> gs);
            o[2] = uint8_t((v & bMask) >> bs);
        }
    }
    return true;
}

bool readJpeg(const char* path, Rgb8& out) { return readJpegRgb(path, out.w, out.h, out.px); }

bool writePng(const char* path, const Rgb8& img) { return pngfile::write(path, img.w, img.h, 3, img.px.data()); }

// Pixels of one palette colour found in a part of the stage, and where their middle is.
struct Found {
    long count = 0;
    double sumX = 0, sumY = 0;
    double meanX() const { return count ? sumX / double(count) : -1; }
    double meanY() const { return count ? sumY / double(count) : -1; }
};

// How far a pixel may be from a palette colour (per channel) and still count as it.
constexpr int kColourTolerance = 14;
// A pixel differs from the backdrop when its channels differ by more than this in total.
constexpr int kBackdropDifference = 60;
// ...and matches it when they differ by at most this.
constexpr int kBackdropMatch = 30;

bool near(const uint8_t* p, Rgb c) {
    return std::abs(p[0] - int((c >> 16) & 0xFF)) <= kColourTolerance &&
           std::abs(p[1] - int((c >> 8) & 0xFF)) <= kColourTolerance && std::abs(p[2] - int(c & 0xFF)) <= kColourTolerance;
}

// Counts the pixels of colour c within the stage rectangle [x0, x1) x [y0, y1).
Found findColour(const Rgb8& shot, int ox, int oy, Rgb c, int x0, int y0, int x1, int y1) {
    Found r;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (near(shot.at(ox + x, oy + y), c)) {
                ++r.count;
                r.sumX += x;
                r.sumY += y;
            }
    return r;
}

int check(const Rgb8& shot, const Rgb8& stage) {
    if (shot.w < kStageW || shot.h < kStageH || stage.w != kStageW || stage.h != kStageH) {
        std::fprintf(stderr, "scene_shot: a %dx%d frame or a %dx%d backdrop cannot hold the stage\n", shot.w,
                     shot.h, stage.w, stage.h);
        return 1;
    }
    const int ox = (shot.w - kStageW) / 2, oy = (shot.h - kStageH) / 2;
    long same = 0, differ = 0;
    for (int y = 0; y < kStageH; ++y)
        for (int x = 0; x < kStageW; ++x) {
            const uint8_t* a = shot.at(ox + x, oy + y);
            const uint8_t* b = stage.at(x, y);
            const int d = std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
            if (d <= kBackdropMatch) ++same;
            if (d > kBackdropDifference) ++differ;
        }
    const double all = double(kStageW) * kStageH;
    const double sameShare = double(same) / all, differShare = double(differ) / all;
    // The dancer dances around the middle of the stage; the speakers stand at its sides.
    const Found shirt = findColour(shot, ox, oy, kShirt, 0, 0, kStageW, kStageH);
    const Found trousers = findColour(shot, ox, oy, kTrousers, 0, 0, kStageW, kStageH);
    const Found speakerL = findColour(shot, ox, oy, kSpeaker, 0, 300, kStageW / 2, kStageH);
    const Found speakerR = findColour(shot, ox, oy, kSpeaker, kStageW / 2, 300, kStageW, kStageH);
    std::printf("backdrop matched %.1f%%, changed %.1f%%; shirt %ld px at (%.0f, %.0f), trousers %ld px at "
                "(%.0f, %.0f); speakers %ld px at (%.0f, %.0f) and %ld px at (%.0f, %.0f)\n",
                100 * sameShare, 100 * differShare, shirt.count, shirt.meanX(), shirt.meanY(), trousers.count,
                trousers.meanX(), trousers.meanY(), speakerL.count, speakerL.meanX(), speakerL.meanY(),
                speakerR.count, speakerR.meanX(), speakerR.meanY());

    // Limits: a quarter of the stage still shows the backdrop, and at least a twentieth is
    // covered by actors; each checked part of the cast shows a good patch of its colour.
    constexpr double kMinBackdropShare = 0.25, kMinChangedShare = 0.05;
    constexpr long kMinShirt = 1500, kMinTrousers = 1500, kMinSpeaker = 6000;
    bool ok = true;
    auto expect = [&ok](bool cond, const char* what) {
        if (!cond) {
            std::fprintf(stderr, "scene_shot: %s\n", what);
            ok = false;
        }
    };
    expect(sameShare >= kMinBackdropShare, "the backdrop is not showing");
    expect(differShare >= kMinChangedShare, "nothing is drawn over the backdrop");
    expect(shirt.count >= kMinShirt, "the dancer's shirt is missing");
    expect(trousers.count >= kMinTrousers, "the dancer's trousers are missing");
    expect(shirt.meanX() > 400 && shirt.meanX() < 880 && shirt.meanY() > 300 && shirt.meanY() < 600,
           "the dancer's shirt is not in the middle of the stage");
    expect(trousers.meanY() > shirt.meanY(), "the dancer's legs are not below the shirt");
    expect(speakerL.count >= kMinSpeaker && speakerL.meanX() > 200 && speakerL.meanX() < 400,
           "the left speaker is missing");
    expect(speakerR.count >= kMinSpeaker && speakerR.meanX() > 880 && speakerR.meanX() < 1080,
           "the right speaker is missing");
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "png") != 0 && std::strcmp(argv[1], "check") != 0)) {
        std::fprintf(stderr, "usage: scene_shot png SHOT.xwd OUT.png | scene_shot check SHOT.xwd STAGE.jpg\n");
        return 2;
    }
    Rgb8 shot;
    if (!readXwd(argv[2], shot)) {
        std::fprintf(stderr, "scene_shot: %s is not a true-colour window dump\n", argv[2]);
        return 1;
    }
    if (std::strcmp(argv[1], "png") == 0) {
        if (writePng(argv[3], shot)) return 0;
        std::fprintf(stderr, "scene_shot: cannot write %s\n", argv[3]);
        return 1;
    }
    Rgb8 stage;
    if (!readJpeg(argv[3], stage)) {
        std::fprintf(stderr, "scene_shot: cannot read %s\n", argv[3]);
        return 1;
    }
    return check(shot, stage);
}
